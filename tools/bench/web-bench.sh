#!/usr/bin/env bash
# velmora-web beside a line at full speed, on a throwaway PostgreSQL 15 server:
#   - four stations with 4 lanes each (velmora-sim --baud 115200) without the
#     server, then on another line with the server and 200 event streams open
#     on that line: the stations' devices/s each way; each verdict's recorded
#     time against when each stream read it, and when the first did (95th
#     percentile); the server's CPU over the run (/proc/PID/stat); its LISTEN
#     connections (pg_stat_activity);
#   - GET /api/v1/lines/NAME on a line of 100,000 rows, and how soon its page
#     shows the counts in headless Chromium (tools/bench/web-page-time.py).
#
#   tools/bench/web-bench.sh BUILD_FOLDER
set -uo pipefail
bin=$(cd "$1" && pwd)/bin
here=$(cd "$(dirname "$0")/../.." && pwd)
source "$here/tools/throwaway-line.sh"
throwaway_record || exit 1
viewer_record || exit 1
lanes=16
# 150 devices a lane: runs of about 10 s, long enough that the host's other
# load does not swing the rates by more than the difference measured.
per_lane=150
rows=$((lanes * per_lane))
streams=200
start_sims $lanes
port_options() { for port in "$@"; do printf -- '--port\n%s\n' "$port"; done; }
now_ms() { date +%s%3N; }
rate() { awk -v rows="$1" -v ms="$2" 'BEGIN { printf "%.1f", rows * 1000 / ms }'; }
plan() { "$bin/velmora-cli" plan --count "$3" lip="$2" >"$work/$1.csv"; }
load() { "$bin/velmora-cli" line load "$work/$1.csv" --record "$record" --line "$1" >/dev/null; }
# cpu_ticks PID: the user and system clock ticks the process has used.
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
# backend_ticks: those of the server's connections to the record (its
# PostgreSQL backends), summed.
backend_ticks() {
    local pid sum=0
    for pid in $(psql -Atc "SELECT pid FROM pg_stat_activity WHERE usename = 'viewer'"); do
        sum=$((sum + $(cpu_ticks "$pid")))
    done
    echo $sum
}

# four_stations LINE: 4 stations x 4 lanes on LINE, in the background; their pids in stations.
four_stations() {
    local s options
    stations=()
    for s in 0 1 2 3; do
        mapfile -t options < <(port_options "${ports[@]:$((s * 4)):4}")
        "$bin/velmora-cli" batch --record "$record" --line "$1" --station "$1-$s" --no-prompt "${options[@]}" \
            >"$work/$1-$s.log" 2>&1 &
        stations+=($!)
    done
}

# new_line KIND: a line of its own for the next run, its name in line.
run=0
new_line() {
    run=$((run + 1))
    line=$1-$run
    plan "$line" "10.$((4 + run)).0.1" $rows && load "$line"
}
# host_ticks: the clock ticks of all the host's cores, busy and in all.
host_ticks() { awk '/^cpu / { print $2 + $3 + $4 + $7 + $8 + $9, $2 + $3 + $4 + $5 + $6 + $7 + $8 + $9 }' /proc/stat; }
# stations_run: the four stations on that line; their devices/s in run_rate,
# and how busy the host's cores were meanwhile in run_busy (%).
stations_run() {
    local start busy total
    start=$(now_ms)
    read -r busy total < <(host_ticks)
    four_stations "$line"
    [[ $line = with-* ]] && sample_connections
    wait "${stations[@]}"
    took=$(($(now_ms) - start))
    run_rate=$(rate $rows $took)
    run_busy=$(host_ticks | awk -v busy="$busy" -v total="$total" '{ printf "%d", ($1 - busy) * 100 / ($2 - total) }')
}
# The server's connections to the record, a few seconds into a run: its LISTEN
# connection is the one named "velmora-web events".
sample_connections() {
    sleep 2
    listens=$(psql -Atc "SELECT count(*) FROM pg_stat_activity
                         WHERE usename = 'viewer' AND application_name = 'velmora-web events'")
    connections=$(psql -Atc "SELECT count(*) FROM pg_stat_activity WHERE usename = 'viewer'")
}

# Rounds of a run without the server, then one with it and its streams, so
# that the other load of the host weighs on both alike.
rounds=3
ratios=() ticks=0 client_ticks=0 backend_total=0 with_ms=0
: >"$work/receipts"
for round in $(seq $rounds); do
    new_line without
    stations_run
    without_rate=$run_rate without_busy=$run_busy
    new_line with
    start_web || exit 1
    web_pid=${pids[-1]}
    web=${web%/}
    rm -f "$work/stop"
    # The streams' client stands for browsers on other hosts: niced, it takes
    # less from the stations here, and can only make the latency look longer.
    nice -n 10 /usr/bin/python3 "$here/tools/bench/web-streams.py" 127.0.0.1 "${web##*:}" "$line" $streams 600 \
        "$work/stop" "$work/receipts-$round" >"$work/streams-$round.out" 2>&1 &
    client=$!
    for _ in $(seq 300); do grep -q ready "$work/streams-$round.out" && break; sleep 0.1; done
    open=$(curl -s "$web/api/v1/server")
    before=$(cpu_ticks "$web_pid") client_before=$(cpu_ticks "$client") backend_before=$(backend_ticks)
    stations_run
    ticks=$((ticks + $(cpu_ticks "$web_pid") - before)) with_ms=$((with_ms + took))
    client_ticks=$((client_ticks + $(cpu_ticks "$client") - client_before))
    backend_total=$((backend_total + $(backend_ticks) - backend_before))
    ratios+=("$(awk -v a="$run_rate" -v b="$without_rate" 'BEGIN { printf "%+.1f", (a / b - 1) * 100 }')")
    echo "round $round: $without_rate devices/s without velmora-web, $run_rate with it ($streams streams said" \
        "$open; ${listens} LISTEN connection(s) among its $connections to the record); the host's cores" \
        "$without_busy % busy without, $run_busy % with"
    # The last verdicts' events leave at most 2 s later (the line's activity).
    sleep 2
    touch "$work/stop"
    wait $client
    grep -v '^ready$' "$work/streams-$round.out"
    cat "$work/receipts-$round" >>"$work/receipts"
    kill "$web_pid"
    wait "$web_pid" 2>/dev/null
done
psql -Atc "SELECT a.id, round(extract(epoch FROM a.time) * 1000), l.name, a.result FROM velmora.attempts a
           JOIN velmora.lines l ON l.id = a.line_id WHERE l.name LIKE 'with-%' AND a.result <> 'writing'" \
    | tr '|' ' ' >"$work/verdicts"
# percentiles: of the numbers on stdin, sorted.
percentiles() {
    awk '{ ms[NR] = $1 } END { if (NR == 0) { print "none"; exit }
                               i = int(NR * 0.95); if (i < 1) i = 1
                               printf "p95 %d ms, median %d ms, max %d ms", ms[i], ms[int((NR + 1) / 2)], ms[NR] }'
}
latency=$(awk 'NR == FNR { committed[$1] = $2; next }
               $1 in committed { print $2 - committed[$1] }' "$work/verdicts" "$work/receipts" | sort -n | percentiles)
# The first stream to read a verdict read it about when the server wrote it;
# the rest waited on the client too, which reads the streams one by one.
first_read=$(awk 'NR == FNR { committed[$1] = $2; next }
                  $1 in committed && (!($1 in first) || $2 < first[$1]) { first[$1] = $2 }
                  END { for (id in first) print first[id] - committed[id] }' "$work/verdicts" "$work/receipts" \
    | sort -n | percentiles)
receipts=$(awk 'NR == FNR { verdict[$1]; next } $1 in verdict' "$work/verdicts" "$work/receipts" | wc -l)
expected=$(wc -l <"$work/verdicts")
# Each verdict fewer than every stream read: its id, line, result, and how many read it.
missed=$(awk -v streams=$streams 'NR == FNR { read[$1] = 0; what[$1] = $3 " " $4; next }
                                  $1 in read { read[$1]++ }
                                  END { for (id in read) if (read[id] < streams) printf "%s, %s, read by %d; ", id, what[id], read[id] }' \
    "$work/verdicts" "$work/receipts")
[ -z "$missed" ] || echo "verdicts not every stream read: $missed"
echo "4 stations x 4 lanes, $rows devices, with velmora-web and $streams streams against without:" \
    "${ratios[*]} % (median $(printf '%s\n' "${ratios[@]}" | sort -g | sed -n 2p) %; wanted >= -5 %)"
echo "verdict's recorded time to each stream's read: $latency, $receipts receipts of $((expected * streams))" \
    "expected (wanted p95 <= 300 ms); to the first stream's read: $first_read"
# share TICKS: those ticks as a percentage of one core over the runs with the
# server. Its record's backends and the streams' client share the host's cores
# with the stations too: together they are what the stations lose.
share() { awk -v ticks="$1" -v hz="$(getconf CLK_TCK)" -v ms="$with_ms" 'BEGIN { printf "%.1f", ticks / hz * 100000 / ms }'; }
echo "velmora-web: $(share $ticks) % of one core over the runs with it (wanted <= 10); its record's backends:" \
    "$(share $backend_total) %; the streams' client: $(share $client_ticks) %"

start_web || exit 1
web=${web%/}
plan big 10.16.0.1 100000 && load big
times=()
for _ in 1 2 3 4 5 6 7; do
    times+=("$(curl -sf -o "$work/big.json" -w '%{time_total}' "$web/api/v1/lines/big" \
        | awk '{ printf "%d", $1 * 1000 }')")
done
"$bin/velmora-cli" line status --json --record "$record" --line big >"$work/big-cli.json"
same=$(/usr/bin/python3 -c 'import json, sys; print(json.load(open(sys.argv[1])) == json.load(open(sys.argv[2])))' \
    "$work/big.json" "$work/big-cli.json")
echo "GET /api/v1/lines/big, 100,000 rows: $(printf '%s\n' "${times[@]}" | sort -n | sed -n 4p) ms median of 7," \
    "best $(printf '%s\n' "${times[@]}" | sort -n | head -1) ms (wanted < 50); equal to line status --json: $same"
mapfile -t page < <(PYTHONPATH=$here/tools /usr/bin/python3 "$here/tools/bench/web-page-time.py" "$web" big 6)
echo "/lines/big in headless Chromium, 100,000 rows: counts shown ${page[0]:-never} ms after the navigation began" \
    "the first time, $(printf '%s\n' "${page[@]:1}" | sort -n | sed -n 3p) ms median of the next 5 (wanted < 1000)"
