# Sourced by the service benchmarks: reads BUILD_DIR, SECONDS and THREADS
# from their arguments ($1 to $3; SECONDS defaults to $default_seconds),
# starts custcent serve on a free port of 127.0.0.1 and sets `server` (its
# process id), `url` and `log` (its log file); both go when the script ends.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-"$top/build"}
seconds=${2:-$default_seconds}
threads=${3:-$(nproc)}
custcent="$build/cli/custcent"
[ -x "$custcent" ] || { echo "no $custcent: build first (bash scripts/build.sh)" >&2; exit 2; }
command -v wrk >/dev/null || { echo "wrk is missing (apt-get install wrk)" >&2; exit 2; }

log=$(mktemp)
"$custcent" serve --listen 127.0.0.1:0 --threads "$threads" 2>"$log" &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -f "$log"' EXIT
for _ in $(seq 50); do
  url=$(sed -n 's/.*listening on \(http:[^ ]*\).*/\1/p' "$log")
  [ -n "$url" ] && break
  sleep 0.1
done
[ -n "$url" ] || { echo "the service did not start" >&2; cat "$log" >&2; exit 1; }
