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

# viewer_record: a role that can only read (velmora_viewer) with the owner's
# password, for velmora-web; its URL in viewer_record. The record's server
# then takes logins of every role over TCP, not only the owner's.
viewer_record() {
    echo 'host all all 127.0.0.1/32 scram-sha-256' >>"$pg_dir/data/pg_hba.conf"
    as_server "$pg_bin/pg_ctl" -D "$pg_dir/data" reload >/dev/null
    psql -q -v ON_ERROR_STOP=1 -c "CREATE ROLE viewer LOGIN PASSWORD '$PGPASSWORD' IN ROLE velmora_viewer" || return 1
    viewer_record=${record/velmora@/viewer@}
}

# start_web: velmora-web on a free port of the loopback, as the viewer; its
# address in web.
start_web() {
    "$bin/velmora-web" --record "$viewer_record" --listen 127.0.0.1:0 >"$work/web.out" 2>&1 &
    pids+=($!)
    local _
    for _ in $(seq 300); do
        grep -q 'http://' "$work/web.out" && break
        sleep 0.1
    done
    web=$(grep -o 'http://[^ ]*' "$work/web.out") || { cat "$work/web.out"; return 1; }
}
