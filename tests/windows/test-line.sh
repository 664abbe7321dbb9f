#!/usr/bin/env bash
# velmora-cli.exe under Wine as a station of a line, against a throwaway
# PostgreSQL 15 server of this host's reached over TLS (sslmode=verify-full):
# the Linux velmora-cli makes the record and loads the plan; the Windows
# station provisions it on two COM ports mapped to velmora-sim, joined
# midway by a Linux station; every row ends ok once, and the devices hold
# what the record says they hold.
#
#   tests/windows/test-line.sh WINDOWS_BUILD LINUX_BUILD
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
source "$here/postgres.sh"
trap 'pg_stop; cleanup' EXIT
windows_cli=$(cd "$1" && pwd)/bin/velmora-cli.exe
linux_bin=$2/bin
rows=40

check "a PostgreSQL server with TLS starts" pg_start
record() {  # record CA_FOLDER: the record's URL, the CA's certificate in that folder
    echo "postgresql://velmora@127.0.0.1:$PGPORT/postgres?sslmode=verify-full&sslrootcert=$1/ca.crt"
}
linux_record=$(record "$pg_tls")
windows_record=$(record "Z:$pg_tls")
# Each station keeps its journal in a state folder of its own.
export XDG_STATE_HOME=$work/state

"$linux_bin/velmora-cli" plan --count $rows lip=10.0.0.1 sn=1 >"$work/plan.csv"
check "line init and line load from Linux" \
    bash -c "'$linux_bin/velmora-cli' line init --record '$linux_record' &&
             '$linux_bin/velmora-cli' line load '$work/plan.csv' --record '$linux_record' --line win"

start_sim a && start_sim b
wine_start
wine_map_ports COM1="$(sim_port a)" COM2="$(sim_port b)"

(cd "$work" && exec timeout 120 "$WINE" "$windows_cli" batch --record "$windows_record" --line win --station win \
    --port COM1 --port COM2 --no-prompt) >"$work/win.out" 2>&1 &
windows_station=$!
# The Linux station joins once the Windows one has written a row.
for _ in $(seq 600); do
    grep -q '^\[1/' "$work/win.out" 2>/dev/null && break
    sleep 0.1
done
"$linux_bin/velmora-cli" batch --record "$linux_record" --line win --station linux --simulate --no-prompt \
    >"$work/linux.out" 2>&1
linux_status=$?
wait "$windows_station"
windows_status=$?
tr -d '\r' <"$work/win.out" >"$work/win.txt"

check "the Windows station ends by itself, exit status 0 (got $windows_status)" [ "$windows_status" = 0 ]
check "the Linux station, exit status 0 (got $linux_status)" [ "$linux_status" = 0 ]
check "the Windows station wrote devices on COM1 and COM2" \
    bash -c "grep -q ' on COM1: ok' '$work/win.txt' && grep -q ' on COM2: ok' '$work/win.txt'"
# A station's summary counts the line when it ends: the one ending last sees
# every row ok, the other may end while a row is still in flight there.
check "its summary counts the line" grep -Eq "; line win: [0-9]+ of $rows rows ok\$" "$work/win.txt"
check "the station ending last counts the whole line" \
    grep -q "; line win: $rows of $rows rows ok\$" "$work/win.txt" "$work/linux.out"

"$linux_bin/velmora-cli" line export --record "$linux_record" --line win --out "$work/export.csv"
# time,row,id,line,result,...,station: the ok lines, one per row, by either station.
ok_rows() { awk -F, '$5 == "ok" { print $2 }' "$work/export.csv" | sort -n; }
check "every row ok exactly once" diff <(ok_rows) <(seq $rows)
check "only the two stations did rows" \
    diff <(awk -F, 'NR > 1 && $5 == "ok" { print $NF }' "$work/export.csv" | sort -u | grep -vx linux) <(echo win)
# The last device each port of the Windows station wrote holds what the record
# says it was given (the Linux station's simulated device is on a COM1 too).
last_lip() {
    awk -F, -v port="$1" 'NR == 1 { for (i = 1; i <= NF; i++) column[$i] = i; next }
        $5 == "ok" && $4 == port && $NF == "win" { lip = $column["read_lip"] } END { print lip }' "$work/export.csv"
}
for sim in a:COM1 b:COM2; do
    check "the device on ${sim#*:} holds the LIP the record gives its last row" \
        grep -qx "LIP:$(last_lip "${sim#*:}")" <("$linux_bin/velmora-cli" read --port "$(sim_port "${sim%%:*}")")
done

# A certificate from another CA is refused as the record being unreachable,
# and the message never holds the password.
(cd "$work" && wine_run "$windows_cli" line status --record "$(record "Z:$pg_tls" | sed 's/ca\.crt/other-ca.crt/')") \
    >"$work/refused.out" 2>&1
refused_status=$?
check "a server certificate of another CA: exit status 3 (got $refused_status)" [ "$refused_status" = 3 ]
check "... and the message does not quote the password" bash -c "! grep -qF '$PGPASSWORD' '$work/refused.out'"

finish
