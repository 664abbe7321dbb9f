#include "schema.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace Line {

namespace {

// A line's record as a person is told of it, in their language.
struct RecordText
{
    Q_DECLARE_TR_FUNCTIONS(Line::Record)
};

// Each version's step from the one before; a later version appends its own.
// The values of a row are a JSON object of the plan's keys ("lip":
// "10.0.0.1"), as the CSV plan gives them, written as the log writes them.
const char *const Migrations[] = {
    // 1: lines, their rows, the stations that write them, every attempt.
    R"sql(
CREATE SCHEMA velmora;
REVOKE ALL ON SCHEMA velmora FROM PUBLIC;

CREATE TABLE velmora.meta (key text PRIMARY KEY, value text NOT NULL);

CREATE TABLE velmora.lines (
    id serial PRIMARY KEY,
    name text NOT NULL UNIQUE CHECK (name ~ '^[A-Za-z0-9][A-Za-z0-9._-]{0,63}$'),
    keys text[] NOT NULL,
    reuse text[] NOT NULL DEFAULT '{}',
    allow_duplicates boolean NOT NULL DEFAULT false,
    allow_odd_addresses boolean NOT NULL DEFAULT false,
    plan_file text NOT NULL DEFAULT '',
    loaded_at timestamptz NOT NULL DEFAULT now(),
    loaded_by text NOT NULL DEFAULT session_user
);

CREATE TABLE velmora.stations (
    name text PRIMARY KEY CHECK (name ~ '^[A-Za-z0-9][A-Za-z0-9._-]{0,63}$'),
    instance text NOT NULL,
    host text NOT NULL,
    pid integer NOT NULL,
    run_started timestamptz NOT NULL,
    lease_until timestamptz NOT NULL,
    role text NOT NULL DEFAULT session_user
);

-- state: free, claimed (a station's lane has it, nothing written), writing
-- (set down before the device is written), ok, failed (result says how).
CREATE TABLE velmora.rows (
    line_id integer NOT NULL REFERENCES velmora.lines ON DELETE CASCADE,
    row integer NOT NULL CHECK (row >= 1),
    file_line integer NOT NULL DEFAULT 0,
    id text NOT NULL DEFAULT '',
    planned jsonb NOT NULL,
    lip_unique boolean NOT NULL,
    mac_unique boolean NOT NULL,
    sn_unique boolean NOT NULL,
    state text NOT NULL DEFAULT 'free' CHECK (state IN ('free', 'claimed', 'writing', 'ok', 'failed')),
    result text,
    station text,
    lane text,
    token text UNIQUE,
    changed_at timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (line_id, row)
);
CREATE INDEX rows_to_claim ON velmora.rows (line_id, row) WHERE state IN ('free', 'claimed', 'failed');
CREATE INDEX rows_held ON velmora.rows (station) WHERE state IN ('claimed', 'writing');
CREATE INDEX rows_lip ON velmora.rows ((planned->>'lip'));
CREATE INDEX rows_mac ON velmora.rows ((planned->>'mac'));
CREATE INDEX rows_sn ON velmora.rows ((planned->>'sn'));
-- What must never happen, whatever a program does: one address, MAC or
-- serial number held by two devices (unless the plan allowed it).
CREATE UNIQUE INDEX one_device_per_lip ON velmora.rows ((planned->>'lip')) WHERE state = 'ok' AND lip_unique;
CREATE UNIQUE INDEX one_device_per_mac ON velmora.rows ((planned->>'mac')) WHERE state = 'ok' AND mac_unique;
CREATE UNIQUE INDEX one_device_per_sn ON velmora.rows ((planned->>'sn')) WHERE state = 'ok' AND sn_unique;

-- An ok row stays ok: only a person settling a row in doubt changes it.
CREATE FUNCTION velmora.ok_stays_ok() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF OLD.state = 'ok' AND NEW.state <> 'ok' THEN
        RAISE EXCEPTION 'row % of line % is ok already', OLD.row, OLD.line_id USING ERRCODE = 'check_violation';
    END IF;
    RETURN NEW;
END $$;
CREATE TRIGGER ok_stays_ok BEFORE UPDATE ON velmora.rows FOR EACH ROW EXECUTE FUNCTION velmora.ok_stays_ok();

-- Every attempt, as the CSV log has a line for it.
CREATE TABLE velmora.attempts (
    id bigserial PRIMARY KEY,
    line_id integer NOT NULL,
    row integer NOT NULL,
    time timestamptz NOT NULL,
    station text NOT NULL,
    lane text NOT NULL,
    token text NOT NULL,
    result text NOT NULL CHECK (result IN ('ok', 'mismatch', 'refused', 'no-answer', 'skipped', 'writing')),
    detail text NOT NULL DEFAULT '',
    ms integer NOT NULL DEFAULT 0,
    read_back jsonb,
    FOREIGN KEY (line_id, row) REFERENCES velmora.rows ON DELETE CASCADE
);
CREATE UNIQUE INDEX one_ok_per_row ON velmora.attempts (line_id, row) WHERE result = 'ok';
CREATE UNIQUE INDEX one_verdict_per_claim ON velmora.attempts (token) WHERE result <> 'writing';
CREATE INDEX attempts_in_time ON velmora.attempts (line_id, time);

-- A station's run begins: it holds the name while its lease lasts, and the
-- rows its last run had claimed and not written are free again.
CREATE FUNCTION velmora.station_start(p_station text, p_instance text, p_host text, p_pid integer,
                                      p_lease_ms integer, p_take_over boolean) RETURNS text
LANGUAGE plpgsql SECURITY DEFINER SET search_path = velmora, pg_temp AS $$
DECLARE
    held stations;
BEGIN
    SELECT * INTO held FROM stations WHERE name = p_station FOR UPDATE;
    IF FOUND AND held.instance <> p_instance AND held.lease_until > now() AND NOT p_take_over THEN
        RETURN format('%s, pid %s', held.host, held.pid);
    END IF;
    INSERT INTO stations AS s (name, instance, host, pid, run_started, lease_until)
    VALUES (p_station, p_instance, p_host, p_pid, now(), now() + p_lease_ms * interval '1 millisecond')
    ON CONFLICT (name) DO UPDATE SET instance = excluded.instance, host = excluded.host, pid = excluded.pid,
        run_started = excluded.run_started, lease_until = excluded.lease_until, role = session_user;
    UPDATE rows SET state = 'free', station = NULL, lane = NULL, token = NULL, changed_at = now()
    WHERE station = p_station AND state = 'claimed';
    RETURN '';
END $$;

-- False when another instance has taken the name over.
CREATE FUNCTION velmora.station_renew(p_station text, p_instance text, p_lease_ms integer) RETURNS boolean
LANGUAGE plpgsql SECURITY DEFINER SET search_path = velmora, pg_temp AS $$
BEGIN
    PERFORM set_config('synchronous_commit', 'off', true);
    UPDATE stations SET lease_until = now() + p_lease_ms * interval '1 millisecond'
    WHERE name = p_station AND instance = p_instance;
    RETURN FOUND;
END $$;

-- The next row for a station's lane, in row order: a free one, one that
-- failed before this run of the station began, or one claimed by a station
-- whose lease has run out. A lane that holds a claim gets it again (the
-- answer to its last call may have been lost). waiting: rows other stations
-- hold that may come free yet.
CREATE FUNCTION velmora.claim(p_line integer, p_station text, p_instance text, p_lane text,
                              OUT claimed integer, OUT claim_token text, OUT waiting bigint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = velmora, pg_temp AS $$
DECLARE
    started timestamptz;
BEGIN
    PERFORM set_config('synchronous_commit', 'off', true);
    SELECT run_started INTO started FROM stations WHERE name = p_station AND instance = p_instance;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'station % was started again elsewhere', p_station USING ERRCODE = 'VL001';
    END IF;
    SELECT r.row, r.token INTO claimed, claim_token FROM rows r
    WHERE r.line_id = p_line AND r.state = 'claimed' AND r.station = p_station AND r.lane = p_lane
    ORDER BY r.row LIMIT 1;
    IF NOT FOUND THEN
        SELECT r.row INTO claimed FROM rows r
        WHERE r.line_id = p_line
          AND (r.state = 'free'
               OR (r.state = 'failed' AND r.changed_at < started)
               OR (r.state = 'claimed' AND r.station <> p_station
                   AND NOT EXISTS (SELECT 1 FROM stations s WHERE s.name = r.station AND s.lease_until > now())))
        ORDER BY r.row LIMIT 1 FOR UPDATE SKIP LOCKED;
        IF FOUND THEN
            UPDATE rows SET state = 'claimed', station = p_station, lane = p_lane, token = gen_random_uuid()::text,
                            changed_at = now()
            WHERE line_id = p_line AND row = claimed RETURNING token INTO claim_token;
            PERFORM pg_notify('velmora_line_' || p_line, claimed::text);
        END IF;
    END IF;
    SELECT count(*) INTO waiting FROM rows r WHERE r.line_id = p_line AND r.state = 'claimed' AND r.station <> p_station;
END $$;

-- A claimed row goes back, or one whose check found its device without it.
CREATE FUNCTION velmora.release(p_token text) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = velmora, pg_temp AS $$
DECLARE
    released rows;
BEGIN
    PERFORM set_config('synchronous_commit', 'off', true);
    UPDATE rows SET state = 'free', station = NULL, lane = NULL, token = NULL, result = NULL, changed_at = now()
    WHERE token = p_token AND state IN ('claimed', 'failed') RETURNING * INTO released;
    IF FOUND THEN
        PERFORM pg_notify('velmora_line_' || released.line_id, released.row::text);
    END IF;
END $$;

-- Set down before the device is written. False when the claim is gone (its
-- station's lease ran out and another took the row): nothing may be sent.
CREATE FUNCTION velmora.begin_write(p_token text) RETURNS boolean
LANGUAGE plpgsql SECURITY DEFINER SET search_path = velmora, pg_temp AS $$
DECLARE
    written rows;
BEGIN
    UPDATE rows SET state = 'writing', changed_at = now() WHERE token = p_token AND state = 'claimed'
    RETURNING * INTO written;
    IF NOT FOUND THEN
        RETURN EXISTS (SELECT 1 FROM rows WHERE token = p_token AND state = 'writing');
    END IF;
    INSERT INTO attempts (line_id, row, time, station, lane, token, result)
    VALUES (written.line_id, written.row, clock_timestamp(), written.station, written.lane, p_token, 'writing');
    PERFORM pg_notify('velmora_line_' || written.line_id, written.row::text);
    RETURN true;
END $$;

-- The verdict of a claim; once only, so that a verdict sent again (its
-- answer lost, or kept in a station's journal) is taken as it was. 'lost'
-- where the row is no longer the claim's.
CREATE FUNCTION velmora.set_verdict(p_token text, p_result text, p_detail text, p_ms integer, p_time timestamptz,
                                    p_read_back jsonb) RETURNS text
LANGUAGE plpgsql SECURITY DEFINER SET search_path = velmora, pg_temp AS $$
DECLARE
    settled rows;
BEGIN
    IF p_result NOT IN ('ok', 'mismatch', 'refused', 'no-answer', 'skipped') THEN
        RAISE EXCEPTION 'not a verdict: %', p_result USING ERRCODE = 'check_violation';
    END IF;
    IF EXISTS (SELECT 1 FROM attempts WHERE token = p_token AND result <> 'writing') THEN
        RETURN 'yes';
    END IF;
    UPDATE rows SET state = CASE WHEN p_result = 'ok' THEN 'ok' ELSE 'failed' END, result = p_result,
                    changed_at = now()
    WHERE token = p_token AND (state = 'writing' OR (state = 'claimed' AND p_result = 'skipped'))
    RETURNING * INTO settled;
    IF NOT FOUND THEN
        RETURN 'lost';
    END IF;
    INSERT INTO attempts (line_id, row, time, station, lane, token, result, detail, ms, read_back)
    VALUES (settled.line_id, settled.row, p_time, settled.station, settled.lane, p_token, p_result,
            coalesce(p_detail, ''), coalesce(p_ms, 0), p_read_back);
    PERFORM pg_notify('velmora_line_' || settled.line_id, settled.row::text);
    RETURN 'yes';
END $$;

-- A row in doubt (set down as writing by a station that is gone) settled by
-- a person who has checked the device: ok, or free for another device.
CREATE FUNCTION velmora.resolve(p_line integer, p_row integer, p_as text) RETURNS text
LANGUAGE plpgsql SECURITY DEFINER SET search_path = velmora, pg_temp AS $$
DECLARE
    doubtful rows;
    live boolean;
BEGIN
    SELECT * INTO doubtful FROM rows WHERE line_id = p_line AND row = p_row FOR UPDATE;
    IF NOT FOUND THEN
        RETURN 'no such row';
    END IF;
    IF doubtful.state <> 'writing' THEN
        RETURN format('it is %s, not in doubt', doubtful.state);
    END IF;
    SELECT lease_until > now() INTO live FROM stations WHERE name = doubtful.station;
    IF live THEN
        RETURN format('station %s is writing it now', doubtful.station);
    END IF;
    UPDATE rows SET state = CASE WHEN p_as = 'ok' THEN 'ok' ELSE 'free' END,
                    result = CASE WHEN p_as = 'ok' THEN 'ok' ELSE NULL END,
                    station = CASE WHEN p_as = 'ok' THEN station END,
                    lane = CASE WHEN p_as = 'ok' THEN lane END,
                    token = CASE WHEN p_as = 'ok' THEN token END,
                    changed_at = now()
    WHERE line_id = p_line AND row = p_row;
    INSERT INTO attempts (line_id, row, time, station, lane, token, result, detail)
    VALUES (p_line, p_row, clock_timestamp(), doubtful.station, doubtful.lane, doubtful.token,
            CASE WHEN p_as = 'ok' THEN 'ok' ELSE 'mismatch' END,
            format('settled by %s: %s', session_user,
                   CASE WHEN p_as = 'ok' THEN 'the device holds this row' ELSE 'the device does not hold this row' END));
    PERFORM pg_notify('velmora_line_' || p_line, p_row::text);
    RETURN '';
END $$;

DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'velmora_station') THEN
        CREATE ROLE velmora_station NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'velmora_planner') THEN
        CREATE ROLE velmora_planner NOLOGIN;
    END IF;
END $$;
GRANT velmora_station TO velmora_planner;

REVOKE ALL ON ALL FUNCTIONS IN SCHEMA velmora FROM PUBLIC;
GRANT USAGE ON SCHEMA velmora TO velmora_station;
GRANT SELECT ON velmora.meta, velmora.lines, velmora.rows, velmora.stations, velmora.attempts TO velmora_station;
GRANT EXECUTE ON FUNCTION velmora.station_start(text, text, text, integer, integer, boolean),
    velmora.station_renew(text, text, integer), velmora.claim(integer, text, text, text),
    velmora.release(text), velmora.begin_write(text),
    velmora.set_verdict(text, text, text, integer, timestamptz, jsonb) TO velmora_station;
GRANT INSERT ON velmora.lines, velmora.rows TO velmora_planner;
GRANT USAGE ON SEQUENCE velmora.lines_id_seq TO velmora_planner;
GRANT EXECUTE ON FUNCTION velmora.resolve(integer, integer, text) TO velmora_planner;
)sql",
    // 2: velmora_viewer, who may only read (velmora-web); a notification on
    // the channel velmora_lines when a line is loaded, so that a watcher of
    // every line hears of a new one; indexes for finding a device by its id,
    // a row's attempts, and a line's attempts in order.
    R"sql(
DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'velmora_viewer') THEN
        CREATE ROLE velmora_viewer NOLOGIN;
    END IF;
END $$;
GRANT USAGE ON SCHEMA velmora TO velmora_viewer;
GRANT SELECT ON velmora.meta, velmora.lines, velmora.rows, velmora.stations, velmora.attempts TO velmora_viewer;

CREATE FUNCTION velmora.line_loaded() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    PERFORM pg_notify('velmora_lines', NEW.id::text);
    RETURN NEW;
END $$;
CREATE TRIGGER line_loaded AFTER INSERT ON velmora.lines FOR EACH ROW EXECUTE FUNCTION velmora.line_loaded();

CREATE INDEX rows_id ON velmora.rows (id);
CREATE INDEX attempts_of_line ON velmora.attempts (line_id, id);
CREATE INDEX attempts_of_row ON velmora.attempts (line_id, row, id);
)sql",
    // 3: the transaction that recorded each attempt, so that a line's
    // attempts can be followed in the order they were committed: ids are
    // given when an attempt is inserted, and a lower one can commit after a
    // higher one was read. The attempts of earlier versions, all committed,
    // come first (0), by id; setting the default apart rewrites no row.
    R"sql(
ALTER TABLE velmora.attempts ADD COLUMN xact xid8 NOT NULL DEFAULT '0';
ALTER TABLE velmora.attempts ALTER COLUMN xact SET DEFAULT pg_current_xact_id();
CREATE INDEX attempts_in_commit_order ON velmora.attempts (line_id, xact, id);
)sql",
    // 4: rows in doubt on two devices. A station keeps each "writing" state
    // it was told of, and each verdict, and checks them after the record
    // comes back: a failover to a standby that was behind can have lost
    // them, and given the row to another station meanwhile. What it cannot
    // set down again is kept here until a person settles it; no station
    // claims such a row meanwhile.
    R"sql(
CREATE TABLE velmora.doubts (
    id bigserial PRIMARY KEY,
    line_id integer NOT NULL,
    row integer NOT NULL,
    station text NOT NULL,
    lane text NOT NULL,
    token text NOT NULL UNIQUE,
    written_at timestamptz NOT NULL,
    result text,
    other_station text NOT NULL,
    other_lane text NOT NULL,
    other_at timestamptz NOT NULL,
    found_at timestamptz NOT NULL DEFAULT now(),
    settled_at timestamptz,
    settled_as text,
    settled_by text,
    FOREIGN KEY (line_id, row) REFERENCES velmora.rows ON DELETE CASCADE
);
CREATE INDEX doubts_open ON velmora.doubts (line_id, row) WHERE settled_at IS NULL;
GRANT SELECT ON velmora.doubts TO velmora_station, velmora_viewer;

CREATE OR REPLACE FUNCTION velmora.claim(p_line integer, p_station text, p_instance text, p_lane text,
                              OUT claimed integer, OUT claim_token text, OUT waiting bigint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = velmora, pg_temp AS $$
DECLARE
    started timestamptz;
BEGIN
    PERFORM set_config('synchronous_commit', 'off', true);
    SELECT run_started INTO started FROM stations WHERE name = p_station AND instance = p_instance;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'station % was started again elsewhere', p_station USING ERRCODE = 'VL001';
    END IF;
    SELECT r.row, r.token INTO claimed, claim_token FROM rows r
    WHERE r.line_id = p_line AND r.state = 'claimed' AND r.station = p_station AND r.lane = p_lane
    ORDER BY r.row LIMIT 1;
    IF NOT FOUND THEN
        SELECT r.row INTO claimed FROM rows r
        WHERE r.line_id = p_line
          AND (r.state = 'free'
               OR (r.state = 'failed' AND r.changed_at < started)
               OR (r.state = 'claimed' AND r.station <> p_station
                   AND NOT EXISTS (SELECT 1 FROM stations s WHERE s.name = r.station AND s.lease_until > now())))
          AND NOT EXISTS (SELECT 1 FROM doubts d WHERE d.line_id = r.line_id AND d.row = r.row AND d.settled_at IS NULL)
        ORDER BY r.row LIMIT 1 FOR UPDATE SKIP LOCKED;
        IF FOUND THEN
            UPDATE rows SET state = 'claimed', station = p_station, lane = p_lane, token = gen_random_uuid()::text,
                            changed_at = now()
            WHERE line_id = p_line AND row = claimed RETURNING token INTO claim_token;
            PERFORM pg_notify('velmora_line_' || p_line, claimed::text);
        END IF;
    END IF;
    SELECT count(*) INTO waiting FROM rows r WHERE r.line_id = p_line AND r.state = 'claimed' AND r.station <> p_station;
END $$;

-- A "writing" state (and the verdict after it, p_result, where there was
-- one) that the station was told of and the record no longer has. Set down
-- again where the row is still the claim's, or free, or claimed with
-- nothing written yet; where another device has been written with the row
-- meanwhile, the row is in doubt on both. outcome: 'held' (nothing was
-- lost), 'restored', 'doubt', or 'gone' (no such row).
CREATE FUNCTION velmora.restore_writing(p_line integer, p_row integer, p_token text, p_station text, p_lane text,
                                        p_time timestamptz, p_result text,
                                        OUT outcome text, OUT other_station text, OUT other_lane text,
                                        OUT other_at timestamptz)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = velmora, pg_temp AS $$
DECLARE
    held rows;
BEGIN
    SELECT * INTO held FROM rows WHERE line_id = p_line AND row = p_row FOR UPDATE;
    IF NOT FOUND THEN
        outcome := 'gone';
        RETURN;
    END IF;
    SELECT d.other_station, d.other_lane, d.other_at INTO other_station, other_lane, other_at
    FROM doubts d WHERE d.token = p_token;
    IF FOUND THEN
        UPDATE doubts SET result = coalesce(p_result, result) WHERE token = p_token;
        outcome := 'doubt';
        RETURN;
    END IF;
    IF (held.token = p_token AND held.state <> 'claimed')
       OR EXISTS (SELECT 1 FROM attempts WHERE token = p_token AND result <> 'writing') THEN
        outcome := 'held';
        RETURN;
    END IF;
    IF held.token IS DISTINCT FROM p_token
       AND (held.state = 'ok' OR EXISTS (SELECT 1 FROM attempts a WHERE a.line_id = p_line AND a.row = p_row
                                         AND a.token = held.token AND a.result = 'writing')) THEN
        other_station := coalesce(held.station, '');
        other_lane := coalesce(held.lane, '');
        SELECT min(a.time) INTO other_at FROM attempts a
        WHERE a.line_id = p_line AND a.row = p_row AND a.token = held.token AND a.result = 'writing';
        other_at := coalesce(other_at, held.changed_at);
        INSERT INTO doubts (line_id, row, station, lane, token, written_at, result, other_station, other_lane, other_at)
        VALUES (p_line, p_row, p_station, p_lane, p_token, p_time, p_result, other_station, other_lane, other_at);
        PERFORM pg_notify('velmora_line_' || p_line, p_row::text);
        outcome := 'doubt';
        RETURN;
    END IF;
    UPDATE rows SET state = 'writing', result = NULL, station = p_station, lane = p_lane, token = p_token,
                    changed_at = now()
    WHERE line_id = p_line AND row = p_row;
    IF NOT EXISTS (SELECT 1 FROM attempts a WHERE a.line_id = p_line AND a.row = p_row AND a.token = p_token) THEN
        INSERT INTO attempts (line_id, row, time, station, lane, token, result)
        VALUES (p_line, p_row, p_time, p_station, p_lane, p_token, 'writing');
    END IF;
    PERFORM pg_notify('velmora_line_' || p_line, p_row::text);
    outcome := 'restored';
END $$;

-- A row in doubt settled by a person who has checked its devices: one
-- written by a station that is gone, or one written on two devices. ok: a
-- device holds the row (and the other of two has been cleared); free: none
-- does, and the row goes to another device.
CREATE OR REPLACE FUNCTION velmora.resolve(p_line integer, p_row integer, p_as text) RETURNS text
LANGUAGE plpgsql SECURITY DEFINER SET search_path = velmora, pg_temp AS $$
DECLARE
    doubtful rows;
    lost doubts;
    live boolean;
    settling text;
BEGIN
    SELECT * INTO doubtful FROM rows WHERE line_id = p_line AND row = p_row FOR UPDATE;
    IF NOT FOUND THEN
        RETURN 'no such row';
    END IF;
    SELECT * INTO lost FROM doubts WHERE line_id = p_line AND row = p_row AND settled_at IS NULL ORDER BY id LIMIT 1;
    IF doubtful.state <> 'writing' AND lost.id IS NULL THEN
        RETURN format('it is %s, not in doubt', doubtful.state);
    END IF;
    IF doubtful.state IN ('claimed', 'writing') THEN
        SELECT lease_until > now() INTO live FROM stations WHERE name = doubtful.station;
        IF live THEN
            RETURN format('station %s is writing it now', doubtful.station);
        END IF;
    END IF;
    IF doubtful.state = 'ok' AND p_as <> 'ok' THEN
        RETURN format('it is ok on station %s, %s: clear the other device, then settle it as ok',
                      doubtful.station, doubtful.lane);
    END IF;
    UPDATE doubts SET settled_at = now(), settled_as = p_as, settled_by = session_user
    WHERE line_id = p_line AND row = p_row AND settled_at IS NULL;
    IF doubtful.state = 'ok' THEN
        PERFORM pg_notify('velmora_line_' || p_line, p_row::text);
        RETURN '';
    END IF;
    -- The verdict goes to a claim that has none yet.
    settling := CASE WHEN doubtful.state = 'writing' THEN doubtful.token ELSE lost.token END;
    UPDATE rows SET state = CASE WHEN p_as = 'ok' THEN 'ok' ELSE 'free' END,
                    result = CASE WHEN p_as = 'ok' THEN 'ok' ELSE NULL END,
                    station = CASE WHEN p_as = 'ok' THEN coalesce(station, lost.station) END,
                    lane = CASE WHEN p_as = 'ok' THEN coalesce(lane, lost.lane) END,
                    token = CASE WHEN p_as = 'ok' THEN coalesce(token, settling) END,
                    changed_at = now()
    WHERE line_id = p_line AND row = p_row;
    INSERT INTO attempts (line_id, row, time, station, lane, token, result, detail)
    VALUES (p_line, p_row, clock_timestamp(),
            CASE WHEN settling = lost.token THEN lost.station ELSE doubtful.station END,
            CASE WHEN settling = lost.token THEN lost.lane ELSE doubtful.lane END, settling,
            CASE WHEN p_as = 'ok' THEN 'ok' ELSE 'mismatch' END,
            format('settled by %s: %s', session_user,
                   CASE WHEN p_as = 'ok' THEN 'the device holds this row' ELSE 'the device does not hold this row' END));
    PERFORM pg_notify('velmora_line_' || p_line, p_row::text);
    RETURN '';
END $$;

-- A line's counts by state, station and lane (line status, every web
-- event) read from this index alone, not from the rows and their values:
-- on 100,000 rows a sixth of the time.
CREATE INDEX rows_by_state ON velmora.rows (line_id, state, station, lane);

REVOKE ALL ON FUNCTION velmora.restore_writing(integer, integer, text, text, text, timestamptz, text) FROM PUBLIC;
GRANT EXECUTE ON FUNCTION velmora.restore_writing(integer, integer, text, text, text, timestamptz, text)
    TO velmora_station;
)sql",
};

constexpr int MigrationCount = int(sizeof Migrations / sizeof *Migrations);
static_assert(MigrationCount == SchemaVersion, "one migration per version");

bool exec(QSqlQuery &query, const QString &sql, QString *error)
{
    if (query.exec(sql))
        return true;
    *error = query.lastError().text();
    return false;
}

} // namespace

int schemaVersion(QSqlDatabase &db, QString *error)
{
    QSqlQuery query(db);
    if (!exec(query, QStringLiteral("SELECT to_regclass('velmora.meta') IS NOT NULL"), error) || !query.next())
        return -1;
    if (!query.value(0).toBool())
        return 0;
    if (!exec(query, QStringLiteral("SELECT value FROM velmora.meta WHERE key = 'schema_version'"), error))
        return -1;
    return query.next() ? query.value(0).toInt() : 0;
}

QString newerSchemaMessage(int version)
{
    return RecordText::tr("the record is of version %1, newer than this program's %2: use a newer velmora-cli")
        .arg(version).arg(SchemaVersion);
}

bool initSchema(QSqlDatabase &db, QString *done, QString *error, bool *newer, int upTo)
{
    Q_ASSERT(upTo >= 1 && upTo <= SchemaVersion);
    *newer = false;
    if (!db.transaction()) {
        *error = db.lastError().text();
        return false;
    }
    QSqlQuery query(db);
    // Two inits at once take turns.
    bool ok = exec(query, QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('velmora schema'))"), error);
    const int version = ok ? schemaVersion(db, error) : -1;
    ok = ok && version >= 0;
    if (ok && version > upTo) {
        *newer = true;
        *error = newerSchemaMessage(version);
        ok = false;
    }
    for (int step = version + 1; ok && step <= upTo; ++step)
        ok = exec(query, QString::fromUtf8(Migrations[step - 1]), error);
    if (ok && version < upTo) {
        query.prepare(QStringLiteral("INSERT INTO velmora.meta VALUES ('schema_version', :version) "
                                     "ON CONFLICT (key) DO UPDATE SET value = excluded.value"));
        query.bindValue(QStringLiteral(":version"), QString::number(upTo));
        ok = query.exec();
        if (!ok)
            *error = query.lastError().text();
    }
    if (!ok) {
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        *error = db.lastError().text();
        return false;
    }
    *done = version == upTo ? RecordText::tr("the record is of version %1 already").arg(upTo)
            : version == 0  ? RecordText::tr("made the record, version %1").arg(upTo)
                            : RecordText::tr("brought the record from version %1 to %2").arg(version).arg(upTo);
    return true;
}

} // namespace Line
