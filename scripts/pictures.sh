#!/usr/bin/env bash
# Builds custcent and draws the two pictures of docs/charts.md with it, as a user
# would: the growth chart of one birth (docs/growth-chart.png) and the cohort
# summary of 20,000 made-up births (docs/cohort-summary.png). Needs no
# display: custcent draws on Qt's offscreen platform.
#   scripts/pictures.sh [OUTPUT_DIR]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-"$top/docs"}
"$top/scripts/build.sh" "$top/build" -DWRENFIELD_WITH_QT=ON -DWRENFIELD_BENCH=ON
mkdir -p "$out"
custcent="$top/build/cli/custcent"

"$custcent" chart --bwt 2450 --gest 39+2 --wt 58 --ht 157 --sex Female --eth Indian --par 0 \
  -o "$out/growth-chart.png"
echo "saved $out/growth-chart.png"

# Made-up births whose weights do not depend on their gestation: a standard
# cannot fit them, which is what the summary is for showing.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out=$(cd "$out" && pwd)
"$top/build/bench/make_births" 20000 > "$work/births.csv"
(cd "$work" && "$custcent" batch --quiet births.csv -o centiles.csv --summary "$out/cohort-summary.png")
echo "saved $out/cohort-summary.png"
