#!/usr/bin/env bash
# Builds the project and opens the calculator.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/build.sh" "$top/build"
exec "$top/build/cli/custcent" "${@:-calc}"
