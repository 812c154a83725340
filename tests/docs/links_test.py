"""The README and the manual hold together: links, pictures, pages, examples.

    /usr/bin/python3 links_test.py TOP

- every relative link or picture in README.md, CONTRIBUTING.md, CHANGELOG.md and
  docs/*.md leads to a file or folder of the tree, and a "#section" to a heading
  of the page it names (as the repository's web view makes anchors of headings);
- every page of docs/ is linked from the README, so no part of the manual is lost;
- each marked example ("<!-- run as NAME -->", "compiled as") is marked on one page,
  and some test (a build or test file under tests/ or windows/) takes it up by name;
- the README stays a front door: at most 250 lines.
Prints every problem found; the exit status is 1 if there was one.
"""
import re
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "support"))
from doc_examples import pages  # noqa: E402

README_LINES = 250
LINK = re.compile(r"!?\[(?:[^\]\\]|\\.)*\]\(([^()\s]+)(?:\s+\"[^\"]*\")?\)")
FENCED = re.compile(r"^( *)```.*?^\1```", re.S | re.M)
INLINE_CODE = re.compile(r"`[^`\n]*`")
MARKER = re.compile(r"<!-- (?:compiled|run) as ([^\s,>]+)")


def prose(text):
    """The text without code, where a bracket is no link."""
    return INLINE_CODE.sub("", FENCED.sub("", text))


def anchor(heading):
    """The anchor the web view gives a heading: lower case, punctuation other
    than hyphens dropped, spaces as hyphens."""
    text = INLINE_CODE.sub(lambda m: m.group(0)[1:-1], heading.strip()).lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def anchors(path):
    found, seen = set(), {}
    for line in FENCED.sub("", path.read_text(encoding="utf-8")).splitlines():
        match = re.match(r"#{1,6} (.*)", line)
        if match:
            base = anchor(match.group(1))
            n = seen.get(base, 0)
            seen[base] = n + 1
            found.add(base if n == 0 else f"{base}-{n}")
    return found


def check(top):
    problems = []
    documents = [top / "CONTRIBUTING.md", top / "CHANGELOG.md", *pages(top)]
    linked_from_readme = set()
    for document in documents:
        if not document.exists():
            problems.append(f"{document.relative_to(top)} is missing")
            continue
        for target in LINK.findall(prose(document.read_text(encoding="utf-8"))):
            if re.match(r"[a-z]+:", target):
                continue  # http:, https:, mailto:
            path_part, _, section = target.partition("#")
            where = (document.parent / path_part).resolve() if path_part else document
            name = f"{document.relative_to(top)}: ({target})"
            if not where.exists():
                problems.append(f"{name} leads to no file")
                continue
            if top.resolve() not in [where, *where.parents]:
                problems.append(f"{name} leads out of the tree")
            if section and where.suffix == ".md" and section not in anchors(where):
                problems.append(f"{name}: {where.name} has no heading for #{section}")
            if document.name == "README.md" and document.parent == top:
                linked_from_readme.add(where)
    for page in sorted((top / "docs").glob("*.md")):
        if page.resolve() not in linked_from_readme:
            problems.append(f"docs/{page.name} is not linked from the README")
    marked = {}
    for page in pages(top):
        for name in MARKER.findall(page.read_text(encoding="utf-8")):
            marked.setdefault(name, []).append(page.relative_to(top))
    takers = [path.read_text(encoding="utf-8", errors="replace")
              for folder in ("tests", "windows") for path in (top / folder).rglob("*")
              if path.is_file() and (path.name == "CMakeLists.txt" or path.suffix in (".py", ".sh", ".cmake"))]
    for name, where in marked.items():
        if len(where) > 1:
            problems.append(f"the example {name} is marked more than once: {', '.join(map(str, where))}")
        if not any(name in text for text in takers):
            problems.append(f"the example {name} ({where[0]}) is run by no test")
    lines = len((top / "README.md").read_text(encoding="utf-8").splitlines())
    if lines > README_LINES:
        problems.append(f"README.md has {lines} lines: the front door holds at most {README_LINES}; "
                        "move the detail into docs/")
    return problems


def main():
    top = Path(sys.argv[1]).resolve()
    problems = check(top)
    for problem in problems:
        print(problem)
    print(f"{len(problems)} problems in the README and the manual")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
