#!/usr/bin/env bash
# Builds the project and opens the calculator window.
#   scripts/run.sh              the window when a display is available, else
#                               the form as text and how to open the window
#   scripts/run.sh ARGS...      custcent ARGS... (for example: calc --help)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/build.sh" "$top/build"

if [ $# -gt 0 ]; then
  exec "$top/build/cli/custcent" "$@"
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$top/build/ui/qt/wrenfield-calculator"
fi

"$top/build/cli/custcent" form
cat >&2 <<HINT

No display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so the form is
shown as text. To open the calculator window, run this command again on a
desktop, or over "ssh -X", or on a virtual screen:
    xvfb-run -a bash scripts/run.sh
To picture the window without a display: bash scripts/screenshot.sh
To pick entries from here: bash scripts/run.sh form --click Combobwt=3000
HINT
