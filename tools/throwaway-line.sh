# Sourced by the line's demo and benchmark: a work folder, a throwaway
# PostgreSQL 15 server of this host's holding a record (tests/windows/postgres.sh;
# PGPASSWORD exported), simulated devices on ptys, all removed at the end.
# Needs bin (the build's bin folder) and here (the checkout).
#
#   throwaway_record      start it; sets record, a URL of it with the TLS checked
#   start_sims N          N velmora-sim --baud 115200; their ptys in ports
work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-line.XXXXXX")
source "$here/tests/windows/postgres.sh"
pids=()
finish() {
    kill "${pids[@]}" 2>/dev/null
    pg_stop
    rm -rf "$work"
}
trap finish EXIT
# Each station keeps its journal here, not in the user's state folder.
export XDG_STATE_HOME=$work/state

throwaway_record() {
    pg_start >/dev/null || return 1
    record="postgresql://velmora@127.0.0.1:$PGPORT/postgres?sslmode=verify-full&sslrootcert=$pg_tls/ca.crt"
    "$bin/velmora-cli" line init --record "$record" >/dev/null
}

start_sims() {
    local first=${#pids[@]} i
    for i in $(seq "$1"); do
        "$bin/velmora-sim" --baud 115200 >"$work/sim-$((first + i)).log" 2>&1 &
        pids+=($!)
    done
    ports=()
    for i in $(seq "$1"); do
        until grep -q '^Simulated device on ' "$work/sim-$((first + i)).log"; do sleep 0.05; done
        ports+=("$(sed -n 's/^Simulated device on //p' "$work/sim-$((first + i)).log")")
    done
}
