#!/usr/bin/env bash
# A production line on this machine: a throwaway PostgreSQL 15 server, a line
# of 300 devices loaded into it, three stations of four simulated devices each
# provisioning it at once, and line status --watch until they are done.
#
#   tools/line-demo.sh BUILD_FOLDER
set -uo pipefail
bin=$(cd "$1" && pwd)/bin
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-linedemo.XXXXXX")
source "$here/tests/windows/postgres.sh"
stations=()
finish() {
    kill "${stations[@]}" "${watch:-}" 2>/dev/null
    pg_stop
    rm -rf "$work"
}
trap finish EXIT
export XDG_STATE_HOME=$work/state
echo "Starting a throwaway PostgreSQL server..."
pg_start >/dev/null || exit 1
record="postgresql://velmora@127.0.0.1:$PGPORT/postgres?sslmode=verify-full&sslrootcert=$pg_tls/ca.crt"
cli=$bin/velmora-cli
"$cli" line init --record "$record"
"$cli" plan --count 300 lip=10.50.0.1 >"$work/plan.csv"
"$cli" line load "$work/plan.csv" --record "$record" --line demo
for station in bench-1 bench-2 bench-3; do
    # --simulate serves one device in-process; four lanes here are four velmora-sim ptys.
    ports=()
    for lane in 1 2 3 4; do
        "$bin/velmora-sim" --baud 115200 >"$work/$station-$lane.log" 2>&1 &
        stations+=($!)
    done
    for lane in 1 2 3 4; do
        until grep -q '^Simulated device on ' "$work/$station-$lane.log"; do sleep 0.05; done
        ports+=(--port "$(sed -n 's/^Simulated device on //p' "$work/$station-$lane.log")")
    done
    "$cli" batch --record "$record" --line demo --station "$station" --no-prompt "${ports[@]}" \
        >"$work/$station.out" 2>&1 &
    stations+=($!)
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
