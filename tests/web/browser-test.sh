#!/usr/bin/env bash
# velmora-web in a real browser: a throwaway PostgreSQL server with a line
# of 120 devices (one of them with a hostile id, one row in doubt), roles
# for the server, a station and a planner, simulated devices for two
# stations, velmora-web on a free port, and browser_test.py driving Debian's
# Chromium through chromedriver.
#
#   tests/web/browser-test.sh BUILD_FOLDER
set -uo pipefail
bin=$(cd "$1" && pwd)/bin
here=$(cd "$(dirname "$0")/../.." && pwd)
source "$here/tools/throwaway-line.sh"
throwaway_record || exit 1
viewer_record || exit 1
# The stations' role has the owner's password, which libpq finds in
# PGPASSWORD; the planner's is typed into the page.
export PLANNER_PASSWORD=planner-$RANDOM$RANDOM
psql -q -v ON_ERROR_STOP=1 <<SQL || exit 1
CREATE ROLE bench LOGIN PASSWORD '$PGPASSWORD' IN ROLE velmora_station;
CREATE ROLE planner LOGIN PASSWORD '$PLANNER_PASSWORD' IN ROLE velmora_planner;
SQL
{
    echo 'id,lip,mac'
    for n in $(seq 120); do
        id=W-$n
        [ "$n" = 5 ] && id='<img src=x onerror=alert(1)>'
        printf '%s,10.70.%d.%d,02:70:00:00:%02x:%02x\n' "$id" $((n / 250)) $((n % 250 + 1)) $((n / 256)) $((n % 256))
    done
} >"$work/plan.csv"
"$bin/velmora-cli" line load "$work/plan.csv" --record "$record" --line web >/dev/null || exit 1
# Row 120 set down as written by a station that is gone: in doubt.
psql -q -v ON_ERROR_STOP=1 <<'SQL' || exit 1
INSERT INTO velmora.stations VALUES ('gone', 'x', 'host', 1, now(), now() - interval '1 hour');
UPDATE velmora.rows SET state = 'writing', station = 'gone', lane = 'COM9', token = 'gone-120' WHERE row = 120;
SQL
export RECORD=$record
export BENCH_RECORD=${record/velmora@/bench@}
start_sims 4
export PORTS="${ports[*]}" VELMORA_CLI=$bin/velmora-cli
start_web || exit 1
export WEB=$web
PYTHONPATH=$here/tools /usr/bin/python3 "$here/tests/web/browser_test.py"
