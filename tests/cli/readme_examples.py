"""Runs every custcent example of the README and of the manual (docs/*.md)
and compares the output each shows.

An example is a ```console block: each line starting with "$ " is a command,
run with bash in a fresh directory where build/ is the build tree, with its
standard error joined to its standard output; the lines after it, up to the
next command or the end of the block, are what it must print. Commands in one
block share their directory, so one may write a file that the next reads.
Blocks without a custcent command (other front ends' examples) are skipped.

Centiles come from the processor's vector lanes, which agree with the
one-record method to 1e-11 but may differ in the last digits from one processor
to another: the numbers of a line (in a CSV row, a JSON document or a sentence)
are compared to a tolerance of 1e-9, and the text around them exactly.
"""
import os
import re
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "support"))
from doc_examples import pages  # noqa: E402


def examples(text):
    # A block may be indented under a list item; its lines carry the same indent.
    blocks = re.findall(r"^( *)```console\n(.*?)^\1```", text, re.S | re.M)
    for indent, block in blocks:
        commands = []
        for line in block.splitlines():
            line = line[len(indent):] if line.startswith(indent) else line
            if line.startswith("$ "):
                commands.append([line[2:], []])
            elif commands:
                commands[-1][1].append(line)
        if any("custcent" in command for command, _ in commands):
            yield commands


def number(text):
    try:
        return float(text.replace(",", ".")) if text.count(",") <= 1 else None
    except ValueError:
        return None


def same_fields(got, want, delimiter):
    got_fields, want_fields = got.split(delimiter), want.split(delimiter)
    if len(got_fields) != len(want_fields):
        return False
    for g, w in zip(got_fields, want_fields):
        if g == w:
            continue
        a, b = number(g), number(w)
        if a is None or b is None or abs(a - b) > 1e-9 * max(1.0, abs(b)):
            return False
    return True


NUMBER = re.compile(r"-?\d+(?:[.,]\d+)?(?:e[-+]?\d+)?")


def same_numbers_in_text(got, want):
    """The same text around the numbers, and numbers within the tolerance."""
    got_numbers, want_numbers = NUMBER.findall(got), NUMBER.findall(want)
    if NUMBER.sub("#", got) != NUMBER.sub("#", want) or len(got_numbers) != len(want_numbers):
        return False
    return all(abs(number(g) - number(w)) <= 1e-9 * max(1.0, abs(number(w)))
               for g, w in zip(got_numbers, want_numbers) if number(g) is not None and number(w) is not None)


def same_line(got, want):
    return got == want or any(same_fields(got, want, d) for d in (",", ";", "\t")) or same_numbers_in_text(got, want)


def main():
    readme_path, build_dir = Path(sys.argv[1]), os.path.abspath(sys.argv[2])
    failures, count, counts = 0, 0, {}
    for page in pages(readme_path.parent):
        name = page.relative_to(readme_path.parent)
        for commands in examples(page.read_text(encoding="utf-8")):
            with tempfile.TemporaryDirectory() as work:
                os.symlink(build_dir, os.path.join(work, "build"))
                for command, expected in commands:
                    count += 1
                    counts[name] = counts.get(name, 0) + 1
                    run = subprocess.run(["bash", "-c", command + " 2>&1"], cwd=work, capture_output=True,
                                         text=True, timeout=60)
                    got = run.stdout.rstrip("\n").split("\n") if run.stdout else []
                    want = "\n".join(expected).rstrip("\n").split("\n") if expected else []
                    if len(got) != len(want) or not all(same_line(g, w) for g, w in zip(got, want)):
                        failures += 1
                        print(f"{name}: example differs: $ {command}\n--- shown\n" + "\n".join(want) +
                              "\n--- printed\n" + "\n".join(got) + "\n")
    print(", ".join(f"{name} {n}" for name, n in counts.items()))
    print(f"{count} examples run, {failures} differ")
    if count == 0 or readme_path.name not in map(str, counts):
        print("no examples found in the README")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
