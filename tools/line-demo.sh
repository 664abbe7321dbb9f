#!/usr/bin/env bash
# A production line on this machine: a throwaway PostgreSQL 15 server, a line
# of 300 devices loaded into it, three stations of four simulated devices each
# provisioning it at once, velmora-web to watch it in a browser, and line
# status --watch until they are done.
#
#   tools/line-demo.sh BUILD_FOLDER
set -uo pipefail
bin=$(cd "$1" && pwd)/bin
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/tools/throwaway-line.sh"
echo "Starting a throwaway PostgreSQL server..."
throwaway_record || exit 1
viewer_record || exit 1
start_web || exit 1
echo "The line in a browser: open $web"
cli=$bin/velmora-cli
"$cli" plan --count 300 lip=10.50.0.1 >"$work/plan.csv"
"$cli" line load "$work/plan.csv" --record "$record" --line demo
for station in bench-1 bench-2 bench-3; do
    start_sims 4
    mapfile -t options < <(printf -- '--port\n%s\n' "${ports[@]}")
    "$cli" batch --record "$record" --line demo --station "$station" --no-prompt "${options[@]}" \
        >"$work/$station.out" 2>&1 &
    pids+=($!)
done
"$cli" line status --record "$record" --line demo --watch &
watch=$!
until "$cli" line status --record "$record" --line demo | grep -q '^line demo: 300 rows: 300 ok'; do
    sleep 1
done
sleep 1.5  # the watch's last refresh
kill "$watch"
wait "$watch" 2>/dev/null
echo
"$cli" line status --record "$record" --line demo
