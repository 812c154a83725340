#!/usr/bin/python3
"""What a shared library exports, held against the headers installed with it.

    exported_symbols.py [--count] [--headers DIR] [--prefix START]... LIBRARY...

For each library: every name `nm -D --defined-only` lists must
  - not be an instance of a standard library template (std::, __gnu_cxx::),
  - start with one of the allowed prefixes (a C name such as wf_, or a C++
    namespace such as wrenfield::, after "vtable for" and its kind), and
  - with --headers, be declared in a header under DIR: the function's or
    variable's own name, or for a class's member, vtable or type information
    the class's name, appears there as a word.
With --count only the counts are printed (total, standard library instances,
by namespace) and nothing is checked.
Exit status 0 when every library keeps to that, 1 when one does not.
"""
import argparse
import collections
import pathlib
import re
import subprocess
import sys

SPECIAL = re.compile(r"^(vtable|VTT|typeinfo name|typeinfo|construction vtable|guard variable|"
                     r"non-virtual thunk|virtual thunk|covariant return thunk|reference temporary #\d+) "
                     r"(for|to) ")
STANDARD = ("std::", "__gnu_cxx::", "__cxxabiv1::")


def exported(library):
    """(raw, demangled) for every defined dynamic symbol, version suffix removed."""
    out = subprocess.run(["nm", "-D", "--defined-only", library], check=True, capture_output=True,
                         text=True).stdout
    raw = []
    for line in out.splitlines():
        fields = line.split()
        # (An absolute symbol of value 0 is a version's name, not a symbol.)
        if len(fields) >= 3 and fields[1] != "A":
            raw.append(re.sub(r"@.*$", "", fields[2]))
    demangled = subprocess.run(["c++filt"], input="\n".join(raw), check=True, capture_output=True,
                               text=True).stdout.splitlines()
    return list(zip(raw, demangled))


def strip_special(name):
    return re.sub(r"\[abi:[a-z0-9]+\]", "", SPECIAL.sub("", name))


def without_template_arguments(text):
    out, depth = "", 0
    for c in text:
        if c == "<":
            depth += 1
        elif c == ">":
            depth -= 1
        elif depth == 0:
            out += c
    return out


def entity(demangled):
    """The qualified name of what a symbol is or belongs to, without template
    arguments, parameters or the return type a function template's name
    starts with: 'void std::__detail::f<int>(char*)' -> 'std::__detail::f'."""
    name = without_template_arguments(strip_special(demangled))
    name = name.split("(", 1)[0] if not name.startswith("operator") else name
    return name.split(" ")[-1] if " " in name.strip() else name.strip()


def top_level_split(qualified):
    """'a::b<c::d>::e' -> ['a', 'b<c::d>', 'e'] (no split inside <> or ())."""
    parts, depth, current, i = [], 0, "", 0
    while i < len(qualified):
        c = qualified[i]
        if c in "<(":
            depth += 1
        elif c in ">)":
            depth -= 1
        if depth == 0 and qualified.startswith("::", i):
            parts.append(current)
            current = ""
            i += 2
            continue
        current += c
        i += 1
    parts.append(current)
    return parts


def declared_name(demangled):
    """The word a header must hold for this symbol: a function's or variable's
    own name, or the class's name for its constructors, destructors,
    operators, vtable and type information."""
    special = SPECIAL.match(demangled) is not None
    name = strip_special(demangled)
    # Drop the parameter list and qualifiers after it.
    depth = 0
    for i, c in enumerate(name):
        if c == "<":
            depth += 1
        elif c == ">":
            depth -= 1
        elif c == "(" and depth == 0 and not name[:i].endswith("operator"):
            name = name[:i]
            break
    parts = top_level_split(name)
    last = re.sub(r"<.*$", "", parts[-1])
    owner = re.sub(r"<.*$", "", parts[-2]) if len(parts) > 1 else None
    if special or last.startswith("~") or last.startswith("operator") or (owner and last == owner):
        return owner if not special else last
    return last


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("libraries", nargs="+")
    parser.add_argument("--headers", type=pathlib.Path)
    parser.add_argument("--prefix", action="append", default=[])
    parser.add_argument("--count", action="store_true")
    args = parser.parse_args()

    words = None
    if args.headers:
        text = "\n".join(p.read_text(errors="replace") for p in args.headers.rglob("*.h"))
        words = set(re.findall(r"[A-Za-z_][A-Za-z0-9_]*", text))
        # What Q_OBJECT declares, and the runtime's exported names for the
        # platform's names (WF_COM_EXPORTED_AS(SysAllocString) declares
        # WfSysAllocString).
        if "Q_OBJECT" in words:
            words |= {"staticMetaObject", "metaObject", "qt_metacast", "qt_metacall"}
        words |= {"Wf" + name for name in re.findall(r"WF_COM_EXPORTED_AS\((\w+)\)", text)}

    failed = False
    for library in args.libraries:
        symbols = exported(library)
        standard = [d for _, d in symbols if entity(d).startswith(STANDARD)]
        if args.count:
            spaces = collections.Counter()
            for _, d in symbols:
                parts = entity(d).split("::")
                spaces["::".join(parts[:2]) + "::" if len(parts) > 2 else (parts[0] + "::" if len(parts) > 1 else "(C names)")] += 1
            print(f"{library}: {len(symbols)} exported, {len(standard)} standard library instances")
            for space, n in spaces.most_common():
                print(f"  {n:5d}  {space}")
            continue
        problems = []
        for raw, d in symbols:
            plain = strip_special(d)
            if entity(d).startswith(STANDARD):
                problems.append(f"a standard library instance: {d}")
            elif args.prefix and not any(plain.startswith(p) or raw.startswith(p) for p in args.prefix):
                problems.append(f"outside {', '.join(args.prefix)}: {d}")
            elif words is not None:
                name = declared_name(d)
                if name not in words:
                    problems.append(f"not declared in an installed header ({name}): {d}")
        for p in problems:
            print(f"{library}: {p}")
        print(f"{library}: {len(symbols)} exported, {len(problems)} against the rules")
        failed |= bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
