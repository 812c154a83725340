#!/bin/sh
# Names every tracked C or C++ source whose layout differs from .clang-format's,
# and fails if there is one.
set -eu
cd "$1"
unformatted=0
for file in $(git ls-files '*.c' '*.cpp' '*.h' ':!r/src/RcppExports.cpp'); do
    [ -L "$file" ] && continue
    if ! "${CLANG_FORMAT:-clang-format}" --dry-run --Werror "$file" 2>/dev/null; then
        echo "not in the project's layout: $file (clang-format -i $file)"
        unformatted=1
    fi
done
exit $unformatted
