# Sourced by the Windows tests: checks that count, a work folder, simulated
# devices (velmora-sim of the Linux build in $linux_bin) and a Wine prefix,
# all removed at the end.
here=${here:-$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)}
source "$here/wine-env.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-wintest.XXXXXX")
passed=0
failed=0
sim_pids=()

cleanup() {
    for pid in "${sim_pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    wine_stop
    [ "$failed" = 0 ] && rm -rf "$work"
}
trap cleanup EXIT

# check DESCRIPTION COMMAND...: a check passes when COMMAND succeeds.
check() {
    local description=$1
    shift
    if "$@" >"$work/check.out" 2>&1; then
        passed=$((passed + 1))
        echo "PASS: $description"
    else
        failed=$((failed + 1))
        echo "FAIL: $description"
        sed 's/^/    /' "$work/check.out" | head -n 20
    fi
}

# finish: the summary, and the exit status of the whole script.
finish() {
    echo "$(basename "$0"): $passed passed, $failed failed"
    [ "$failed" = 0 ] || echo "(what the programs wrote is kept in $work)"
    [ "$failed" = 0 ]
}

# start_sim NAME [velmora-sim options]: a simulated device logging each frame's bytes.
start_sim() {
    local name=$1
    shift
    "$linux_bin/velmora-sim" --bytes "$@" >"$work/sim-$name.log" 2>&1 &
    sim_pids+=($!)
    for _ in $(seq 50); do
        grep -q '^Simulated device on ' "$work/sim-$name.log" && return 0
        sleep 0.1
    done
    echo "velmora-sim $name did not start" >&2
    return 1
}

sim_port() { sed -n 's/^Simulated device on //p' "$work/sim-$1.log"; }
# The frames a simulator received, one a line: bytes, then what it made of them.
sim_frames() { grep -v -e '^Simulated device on ' -e '^Connect with: ' "$work/sim-$1.log"; }

# wine_map_ports COMn=DEVICE...: all at once, then one restart of the wineserver.
wine_map_ports() {
    local mapping
    for mapping in "$@"; do
        "$WINE" reg add 'HKLM\Software\Wine\Ports' /v "${mapping%%=*}" /t REG_SZ /d "${mapping#*=}" /f \
            >/dev/null 2>&1
    done
    "$WINESERVER" -k >/dev/null 2>&1
    "$WINESERVER" -w
    wine_server_start
}
