"""The pages whose examples the tests run, and the examples marked in them.

The README and every page of the manual (docs/*.md) may hold examples. A
marked example is the fenced block after a line "<!-- run as NAME -->" (or
"compiled as NAME"); with ", its output below" in the marker, the next fenced
block is what it prints. A name is marked once, on whichever page the example
lives now, so the tests find it wherever it is moved.
"""
import re
from pathlib import Path

MARKER = r"<!-- (?:compiled|run) as {name}(?P<rest>[^>]*)-->"
FENCE = re.compile(r"```[\w+-]*\n(.*?)^```", re.S | re.M)


def pages(top):
    """The README and the manual's pages, in a stable order."""
    top = Path(top)
    return [top / "README.md", *sorted((top / "docs").glob("*.md"))]


def marked_example(top, name):
    """(code, output) of the example marked NAME; output is None unless the
    marker says its output is below. Fails when no page, or more than one,
    marks it."""
    marker = re.compile(MARKER.format(name=re.escape(name)))
    found = []
    for page in pages(top):
        text = page.read_text(encoding="utf-8")
        match = marker.search(text)
        if match:
            found.append((page, text, match))
    if len(found) != 1:
        where = ", ".join(str(page) for page, _, _ in found) or "no page"
        raise LookupError(f"the example {name} must be marked on exactly one page, found on {where}")
    page, text, match = found[0]
    blocks = FENCE.finditer(text, match.end())
    code = next(blocks).group(1)
    if "its output below" not in match.group("rest"):
        return code, None
    return code, next(blocks).group(1)
