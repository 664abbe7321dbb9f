#!/usr/bin/env bash
# A line's record against the CSV log, and its commands on a big line, on a
# throwaway PostgreSQL 15 server of this host's, reached over TLS (verify-full):
#   - one station with 16 lanes, the record against the CSV log (devices/s);
#   - four stations with 4 lanes each against one station with 16, one line;
#   - line load of 100,000 rows, and line status on that line;
#   - four stations with 4 lanes each through five 5 s crashes of the
#     server: what each costs the run, and how soon after the server is
#     back the first verdict is committed.
# Each lane is a velmora-sim --baud 115200 process; devices/s is the rows of
# the run over its wall time, from start to exit.
#
#   tools/bench/line-bench.sh BUILD_FOLDER
set -uo pipefail
bin=$(cd "$1" && pwd)/bin
here=$(cd "$(dirname "$0")/../.." && pwd)
source "$here/tools/throwaway-line.sh"
throwaway_record || exit 1
lanes=16
per_lane=60
start_sims $lanes
port_options() { for port in "$@"; do printf -- '--port\n%s\n' "$port"; done; }

now_ms() { date +%s%3N; }
rate() { awk -v rows="$1" -v ms="$2" 'BEGIN { printf "%.1f", rows * 1000 / ms }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# plan NAME FIRST_LIP ROWS: a plan of its own addresses, for a line of its own.
plan() { "$bin/velmora-cli" plan --count "$3" lip="$2" >"$work/$1.csv"; }
load() { "$bin/velmora-cli" line load "$work/$1.csv" --record "$record" --line "$1" >/dev/null; }
rows=$((lanes * per_lane))

plan csv 10.1.0.1 $rows
start=$(now_ms)
mapfile -t options < <(port_options "${ports[@]}")
"$bin/velmora-cli" batch "$work/csv.csv" --log "$work/csv-log.csv" --no-prompt "${options[@]}" >/dev/null 2>&1
csv_rate=$(rate $rows $(($(now_ms) - start)))

plan one 10.2.0.1 $rows && load one
start=$(now_ms)
"$bin/velmora-cli" batch --record "$record" --line one --station one --no-prompt "${options[@]}" >/dev/null 2>&1
one_rate=$(rate $rows $(($(now_ms) - start)))
echo "1 station x $lanes lanes, $rows devices: CSV log $csv_rate devices/s, record $one_rate devices/s" \
    "(record/CSV $(ratio "$one_rate" "$csv_rate"); wanted >= 0.90)"

plan four 10.3.0.1 $rows && load four
start=$(now_ms)
stations=()
for s in 0 1 2 3; do
    mapfile -t options < <(port_options "${ports[@]:$((s * 4)):4}")
    "$bin/velmora-cli" batch --record "$record" --line four --station "four-$s" --no-prompt "${options[@]}" \
        >/dev/null 2>&1 &
    stations+=($!)
done
wait "${stations[@]}"
four_rate=$(rate $rows $(($(now_ms) - start)))
echo "4 stations x 4 lanes, $rows devices: $four_rate devices/s" \
    "(against 1 x 16: $(ratio "$four_rate" "$one_rate"); wanted >= 0.85)"

# The same four stations on a line of about 70 s of their work, the server
# crashed (pg_ctl -m immediate) five times for 5 s each, 3 s after the start
# and 3 s after each return.
outage_rows=$(awk -v rate="$four_rate" 'BEGIN { printf "%d", rate * 70 }')
plan outages 10.4.0.1 "$outage_rows" && load outages
start=$(now_ms)
stations=()
for s in 0 1 2 3; do
    mapfile -t options < <(port_options "${ports[@]:$((s * 4)):4}")
    "$bin/velmora-cli" batch --record "$record" --line outages --station "outages-$s" --no-prompt "${options[@]}" \
        >"$work/outages-$s.log" 2>&1 &
    stations+=($!)
done
latencies=()
down=0  # from each crash to the server's accepting connections again
for _ in 1 2 3 4 5; do
    sleep 3
    crashed=$(now_ms)
    pg_crash
    sleep 5
    pg_start_again || { echo "the server did not start again"; break; }
    down=$((down + $(now_ms) - crashed))
    back=$(psql -Atc "SELECT clock_timestamp()")
    first=
    for _ in $(seq 100); do
        first=$(psql -Atc "SELECT round(extract(epoch FROM min(r.changed_at) - '$back'::timestamptz) * 1000)
                           FROM velmora.rows r JOIN velmora.lines l ON l.id = r.line_id
                           WHERE l.name = 'outages' AND r.state IN ('ok', 'failed') AND r.changed_at > '$back'")
        [ -n "$first" ] && break
        sleep 0.1
    done
    latencies+=("${first:-none}")
done
codes=
for pid in "${stations[@]}"; do wait "$pid"; codes+="$? "; done
took=$(($(now_ms) - start))
expected=$(awk -v rows="$outage_rows" -v rate="$four_rate" 'BEGIN { printf "%d", rows * 1000 / rate }')
median=$(printf '%s\n' "${latencies[@]}" | sort -n | sed -n 3p)
echo "4 stations x 4 lanes, $outage_rows devices, five 5 s crashes of the server: $took ms against $expected ms" \
    "without; each crash cost $(((took - expected) / 5)) ms (wanted <= 6000), the server down $((down / 5)) ms of it;" \
    "exit statuses $codes(wanted 0)"
echo "first verdict committed after the server is back: ${latencies[*]} ms; median $median ms (wanted <= 1000)"

plan big 10.16.0.1 100000
start=$(now_ms)
load big || echo "line load of 100,000 rows failed"
echo "line load, 100,000 rows: $(($(now_ms) - start)) ms (wanted < 5000)"
best=
for _ in 1 2 3 4 5; do
    start=$(now_ms)
    "$bin/velmora-cli" line status --record "$record" --line big >/dev/null
    took=$(($(now_ms) - start))
    [ -z "$best" ] || [ "$took" -lt "$best" ] && best=$took
done
echo "line status, 100,000 rows: best of 5 $best ms, the program's start included (wanted < 100)"
