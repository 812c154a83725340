#!/usr/bin/env bash
# Builds the calculator and saves a picture of its window, as it opens with
# the default inputs, to docs/calculator-window.png (or the file given).
# Needs no display: the window is drawn on Qt's offscreen platform.
#   scripts/screenshot.sh [FILE.png]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-"$top/docs/calculator-window.png"}
"$top/scripts/build.sh" "$top/build"
mkdir -p "$(dirname "$out")"
QT_QPA_PLATFORM=offscreen "$top/build/ui/qt/wrenfield-calculator" --screenshot "$out"
echo "saved $out"
