#!/usr/bin/env bash
# velmora-cli.exe under Wine, over Wine's COM ports mapped to velmora-sim
# (the Linux program) on its pseudo-terminals. Each command runs twice: the
# Windows program against one simulator, the Linux one against a twin; their
# output, exit status and the bytes each simulator received must be the same.
# First, with no COM port mapped, --simulate's device served in-process; last,
# batch's prompt answered in a console (on a pseudo-terminal), stopped there
# by Ctrl-C, and answered from a pipe.
#
#   tests/windows/test-cli.sh WINDOWS_BUILD LINUX_BUILD
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
windows_cli=$(cd "$1" && pwd)/bin/velmora-cli.exe
linux_bin=$2/bin

wine_start

# --simulate: the device served in velmora-cli.exe itself, before any COM port
# is mapped; the same output as the Linux program's --simulate (on a pty).
simulated() {
    local name=$1
    shift
    wine_run "$windows_cli" --simulate "$@" >"$work/$name.w.out" 2>"$work/$name.w.err"
    local status_w=$?
    "$linux_bin/velmora-cli" --simulate "$@" >"$work/$name.l.out" 2>"$work/$name.l.err"
    check "$name: exit status 0 under Wine (got $status_w)" [ "$status_w" = 0 ]
    check "$name: nothing on stderr under Wine" [ ! -s "$work/$name.w.err" ]
    check "$name: the same output as on Linux" diff <(tr -d '\r' <"$work/$name.w.out") "$work/$name.l.out"
}
simulated simulate-read read
check "--simulate read: the simulated device's values" grep -q '^LIP:10.20.30.40$' <(tr -d '\r' <"$work/simulate-read.w.out")
simulated simulate-set-all-verify set-all --verify lip=10.1.2.3 t1=45 gateway=10.1.2.254
check "--simulate set-all --verify: verified" grep -q '^verified: ' <(tr -d '\r' <"$work/simulate-set-all-verify.w.out")
wine_run "$windows_cli" --simulate scan >"$work/simulate-scan.w.out" 2>"$work/simulate-scan.w.err"
status=$?
check "--simulate scan: exit status 0 under Wine (got $status)" [ "$status" = 0 ]
check "--simulate scan: finds the simulated device on COM1" \
    grep -q '^COM1 (simulated device): LIP 10.20.30.40, MAC 02:56:4d:00:00:01, SN 17$' <(tr -d '\r' <"$work/simulate-scan.w.out")

# velmora.exe --simulate starts its device and its window, and keeps running.
windows_gui=$(dirname "$windows_cli")/velmora.exe
QT_QPA_PLATFORM=offscreen wine_run "$windows_gui" --simulate >"$work/gui.out" 2>"$work/gui.err" &
gui_pid=$!
sleep 5
check "velmora.exe --simulate: still running after 5 s" kill -0 "$gui_pid"
check "velmora.exe --simulate: no error" [ ! -s "$work/gui.err" ]
kill "$gui_pid" 2>/dev/null
wait "$gui_pid" 2>/dev/null

# COM1, COM2: answering devices; COM3 refuses every frame; COM4 never answers.
start_sim w1
start_sim w2
start_sim w3 --fail
start_sim w4 --silent
for n in 1 2 3 4; do
    sim_port "w$n" >"$work/w$n.port"
done
wine_map_ports COM1="$(cat "$work/w1.port")" COM2="$(cat "$work/w2.port")" \
    COM3="$(cat "$work/w3.port")" COM4="$(cat "$work/w4.port")"
start_sim l1
start_sim l3 --fail
start_sim l4 --silent

# same_as_linux NAME EXPECTED_STATUS COM SIM_W SIM_L ARGS...: runs ARGS with
# --port COM under Wine and with --port <pty of SIM_L> on Linux.
same_as_linux() {
    local name=$1 expected=$2 com=$3 windows_sim=$4 linux_sim=$5
    shift 5
    local before_w before_l
    before_w=$(sim_frames "$windows_sim" | wc -l)
    before_l=$(sim_frames "$linux_sim" | wc -l)
    wine_run "$windows_cli" "$@" --port "$com" >"$work/$name.w.out" 2>"$work/$name.w.err"
    local status_w=$?
    "$linux_bin/velmora-cli" "$@" --port "$(sim_port "$linux_sim")" >"$work/$name.l.out" 2>"$work/$name.l.err"
    local status_l=$?
    sleep 0.3  # the last frame's log line
    check "$name: exit status $expected under Wine (got $status_w)" [ "$status_w" = "$expected" ]
    check "$name: exit status the same on Linux (got $status_l)" [ "$status_l" = "$expected" ]
    check "$name: the same output as on Linux" diff <(tr -d '\r' <"$work/$name.w.out") "$work/$name.l.out"
    check "$name: the same bytes on the line as from Linux" \
        diff <(sim_frames "$windows_sim" | tail -n +"$((before_w + 1))") \
        <(sim_frames "$linux_sim" | tail -n +"$((before_l + 1))")
}

same_as_linux read 0 COM1 w1 l1 read
check "read: the device's values came over COM1" grep -q '^LIP:10.20.30.40$' <(tr -d '\r' <"$work/read.w.out")
same_as_linux set-all-verify 0 COM1 w1 l1 set-all --verify lip=10.1.2.3 t1=45 gateway=10.1.2.254
check "set-all --verify: verified" grep -q '^verified: ' <(tr -d '\r' <"$work/set-all-verify.w.out")
same_as_linux read-json 0 COM1 w1 l1 read --json
same_as_linux refused 1 COM3 w3 l3 set lip=10.9.9.9
same_as_linux silent 3 COM4 w4 l4 read --timeout 300 --retries 1
check "silent: the frame was sent twice (one retry)" [ "$(sim_frames w4 | grep -c READ)" -ge 2 ]

# A batch of 20 rows on two ports at once.
"$linux_bin/velmora-cli" plan --count 20 lip=10.0.0.1 sn=1 >"$work/plan.csv"
cp "$work/plan.csv" "$work/batch-plan.csv"
(cd "$work" && wine_run "$windows_cli" batch batch-plan.csv --log batch-log.csv --port COM1 --port COM2 \
    --no-prompt >batch.out 2>batch.err)
status=$?
check "batch: exit status 0 (got $status)" [ "$status" = 0 ]
check "batch: 20 rows ok" grep -q '^20 rows: 20 ok, 0 mismatch, 0 no answer, 0 skipped' <(tr -d '\r' <"$work/batch.err")
check "batch: 20 ok lines in the log" [ "$(grep -c ',ok,' "$work/batch-log.csv")" = 20 ]
check "batch: rows went to COM1" grep -q ',COM1[ ,]' "$work/batch-log.csv"
check "batch: rows went to COM2" grep -q ',COM2[ ,]' "$work/batch-log.csv"
check "batch: the last row's values on a device" grep -q 'SET ALL LIP:10.0.0.20 ' \
    <(sim_frames w1; sim_frames w2)
# Run again, the log says every row is done: nothing is written.
(cd "$work" && wine_run "$windows_cli" batch batch-plan.csv --log batch-log.csv --port COM1 --port COM2 \
    --no-prompt >batch2.out 2>batch2.err)
status=$?
check "batch again: exit status 0 (got $status)" [ "$status" = 0 ]
check "batch again: no row written twice" [ "$(grep -c ',ok,' "$work/batch-log.csv")" = 20 ]

# batch's prompt answered in a console: velmora-cli.exe on Wine's console,
# which a pseudo-terminal (script) gives it, keys typed as each question shows.
"$linux_bin/velmora-cli" plan --count 3 lip=10.0.1.1 sn=1 >"$work/prompt-plan.csv"
# What the console of NAME shows, without its escape sequences and spaces (it
# moves the cursor over those).
console_text() { sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' "$work/$1.out" | tr -d ' \r\n'; }
# in_console NAME KEYS...: the batch, logging to NAME-log.csv, with the Nth
# KEYS (printf's escapes) typed once question N is on the console; its status.
in_console() {
    local name=$1 question=0 keys
    shift
    mkfifo "$work/$name.keys"
    (cd "$work" && exec timeout 60 script -qec "'$WINE' '$windows_cli' batch prompt-plan.csv \
        --log $name-log.csv --port COM1" /dev/null <"$name.keys" >"$name.out" 2>&1) &
    local pid=$!
    exec 3>"$work/$name.keys"
    for keys in "$@"; do
        question=$((question + 1))
        for _ in $(seq 200); do
            console_text "$name" | grep -q "Connectdevice${question}of3" && break
            sleep 0.1
        done
        printf "$keys" >&3
    done
    exec 3>&-
    wait "$pid"
}
in_console console '\r' 's\r' 'q\r'
status=$?
check "batch in a console: q stops, exit status 1 (got $status)" [ "$status" = 1 ]
check "batch in a console: Enter wrote row 1, s skipped row 2, row 3 left" \
    diff <(cut -d, -f2,5 "$work/console-log.csv") <(printf 'row,result\n1,writing\n1,ok\n2,skipped\n')
check "batch in a console: the summary" \
    grep -q '3rows:1ok,0mismatch,0noanswer,1skipped,1left' <(console_text console)
# Ctrl-C reaches the program as a console event. Wine 8.0 gives no other:
# GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT) fails there with
# ERROR_INVALID_HANDLE, and closing a wineconsole window ends its programs
# with no CTRL_CLOSE_EVENT.
in_console ctrl-c '\r' '\003'
status=$?
check "batch in a console: Ctrl-C stops as SIGINT does, exit status 130 (got $status)" [ "$status" = 130 ]
check "batch in a console: after Ctrl-C, row 1 logged and the summary" \
    grep -q '3rows:1ok,0mismatch,0noanswer,0skipped,2left' <(console_text ctrl-c)

# The same prompt answered from a pipe of cmd's: one Enter, then the end of input stops the batch.
(cd "$work" && wine_run cmd /c "echo.| Z:${windows_cli//\//\\} batch prompt-plan.csv --log pipe-log.csv --port COM1" \
    >pipe.out 2>pipe.err)
status=$?
check "batch from a pipe: the end of input stops, exit status 1 (got $status)" [ "$status" = 1 ]
check "batch from a pipe: Enter wrote row 1, nothing more" \
    diff <(cut -d, -f2,5 "$work/pipe-log.csv") <(printf 'row,result\n1,writing\n1,ok\n')
check "batch from a pipe: says why it stopped" grep -q '^velmora-cli: stdin has ended: stopping' <(tr -d '\r' <"$work/pipe.err")

finish
