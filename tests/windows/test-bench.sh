#!/usr/bin/env bash
# velmora-bench.exe under Wine (offscreen), started from its command line as
# a fixture would start it, over Wine's COM ports mapped to velmora-sim: its
# log must say what velmora-cli batch's says on Linux for the same plan and
# devices, and the bytes on the line must be the same.
#
#   tests/windows/test-bench.sh WINDOWS_BUILD LINUX_BUILD
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
windows_bench=$(cd "$1" && pwd)/bin/velmora-bench.exe
linux_bin=$2/bin

wine_start
start_sim w1
start_sim w2 --fail
wine_map_ports COM1="$(sim_port w1)" COM2="$(sim_port w2)"
start_sim l1
start_sim l2 --fail
"$linux_bin/velmora-cli" plan --count 4 id=B-1 lip=10.0.0.1 sn=1 >"$work/plan.csv"

# A log without its time and port columns: what was asked and what came back.
values() { tr -d '\r' <"$1" | cut -d, -f2,3,5- ; }

# same_as_linux NAME EXPECTED_STATUS COM SIM_W SIM_L: the plan on one port, by both.
same_as_linux() {
    local name=$1 expected=$2 com=$3 windows_sim=$4 linux_sim=$5
    local before_w before_l
    before_w=$(sim_frames "$windows_sim" | wc -l)
    before_l=$(sim_frames "$linux_sim" | wc -l)
    (cd "$work" && QT_QPA_PLATFORM=offscreen wine_run "$windows_bench" plan.csv --log "$name.w.csv" \
        --port "$com" --no-prompt --start --quit-when-done >"$name.w.out" 2>&1) &
    local bench=$!
    # Four verdicts, then a few seconds to quit.
    for _ in $(seq 600); do
        [ "$(grep -cv ',writing,' "$work/$name.w.csv" 2>/dev/null)" = 5 ] && break
        sleep 0.1
    done
    for _ in $(seq 50); do
        kill -0 "$bench" 2>/dev/null || break
        sleep 0.1
    done
    local status_w="no exit: still running when done, stopped"
    if kill -0 "$bench" 2>/dev/null; then
        "$WINESERVER" -k >/dev/null 2>&1
        wait "$bench"
        wine_server_start
    else
        wait "$bench"
        status_w=$?
    fi
    check "$name: quits when done, exit status $expected under Wine (got $status_w)" [ "$status_w" = "$expected" ]
    "$linux_bin/velmora-cli" batch "$work/plan.csv" --log "$work/$name.l.csv" --no-prompt \
        --port "$(sim_port "$linux_sim")" >"$work/$name.l.out" 2>&1
    local status_l=$?
    sleep 0.3  # the last frame's log line
    check "$name: exit status the same from velmora-cli on Linux (got $status_l)" [ "$status_l" = "$expected" ]
    check "$name: the log says what velmora-cli's says" diff <(values "$work/$name.w.csv") <(values "$work/$name.l.csv")
    check "$name: the same bytes on the line as from Linux" \
        diff <(sim_frames "$windows_sim" | tail -n +"$((before_w + 1))") \
        <(sim_frames "$linux_sim" | tail -n +"$((before_l + 1))")
}

same_as_linux batch 0 COM1 w1 l1
check "batch: every row ok, on COM1" [ "$(grep -c ',COM1,ok,' "$work/batch.w.csv")" = 4 ]
same_as_linux refused 1 COM2 w2 l2
check "refused: every row refused" [ "$(grep -c ',COM2,refused,' "$work/refused.w.csv")" = 4 ]

# --simulate: two devices served inside velmora-bench.exe, no COM port at all.
(cd "$work" && QT_QPA_PLATFORM=offscreen wine_run "$windows_bench" plan.csv --log simulated.csv --simulate 2 \
    --no-prompt --start --quit-when-done >simulated.out 2>&1) &
simulated=$!
for _ in $(seq 600); do
    kill -0 "$simulated" 2>/dev/null || break
    sleep 0.1
done
status="no exit: still running after 60 s, stopped"
if kill -0 "$simulated" 2>/dev/null; then
    "$WINESERVER" -k >/dev/null 2>&1
    wait "$simulated"
else
    wait "$simulated"
    status=$?
fi
check "--simulate 2: quits when done, exit status 0 (got $status)" [ "$status" = 0 ]
check "--simulate 2: every row ok, on the lanes sim1 and sim2" \
    [ "$(tr -d '\r' <"$work/simulated.csv" | grep -cE '^[^,]*,[1-4],B-[1-4],sim[12],ok,')" = 4 ]

finish
