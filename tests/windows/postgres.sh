# Sourced by the Windows tests: a throwaway PostgreSQL 15 server of this
# host's, on 127.0.0.1 and a free TCP port, with password authentication and
# TLS on a certificate for 127.0.0.1 from a throwaway CA.
#
#   pg_start   start it; exports what libpq reads to reach it (PGHOST, PGPORT,
#              PGUSER, PGDATABASE, PGPASSWORD) and sets pg_tls, the folder of
#              its CA's certificate (ca.crt) and another CA's (other-ca.crt)
#   pg_stop    stop it and delete its folder, its log kept in $work
pg_bin=/usr/lib/postgresql/15/bin
pg_dir=
pg_tls=

# PostgreSQL will not run as root: as root, the server is nobody's.
as_server() {
    if [ "$(id -u)" = 0 ]; then
        runuser -u nobody -- "$@"
    else
        "$@"
    fi
}

# tls_ca NAME: a CA of its own, NAME.crt and NAME.key in $pg_tls.
tls_ca() {
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
        -subj "/CN=Velmora test $1" -keyout "$pg_tls/$1.key" -out "$pg_tls/$1.crt" 2>/dev/null
}

pg_start() {
    pg_dir=$(mktemp -d "${TMPDIR:-/tmp}/velmora-pg.XXXXXX")
    pg_tls=$pg_dir/tls
    mkdir "$pg_tls"
    tls_ca ca && tls_ca other-ca || return 1
    openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=127.0.0.1 \
        -keyout "$pg_tls/server.key" -out "$pg_tls/server.csr" 2>/dev/null &&
        openssl x509 -req -in "$pg_tls/server.csr" -CA "$pg_tls/ca.crt" -CAkey "$pg_tls/ca.key" \
            -CAcreateserial -days 2 -extfile <(echo subjectAltName=IP:127.0.0.1) \
            -out "$pg_tls/server.crt" 2>/dev/null || return 1
    chmod 600 "$pg_tls/server.key"

    # The password goes to initdb in a file, to the clients in PGPASSWORD: on no command line.
    PGPASSWORD=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
    (umask 077 && echo "$PGPASSWORD" >"$pg_dir/password")
    [ "$(id -u)" = 0 ] && chown -R nobody:nogroup "$pg_dir"
    (cd "$pg_dir" && as_server "$pg_bin/initdb" -D data -U velmora --pwfile=password \
        --auth=scram-sha-256 -E UTF8 --no-locale >initdb.log 2>&1) || { cat "$pg_dir/initdb.log"; return 1; }
    rm "$pg_dir/password"
    echo 'host all velmora 127.0.0.1/32 scram-sha-256' >"$pg_dir/data/pg_hba.conf"

    # A port found free may be taken before the server binds it: then another.
    local options
    for _ in 1 2 3 4 5; do
        PGPORT=$((20000 + RANDOM % 40000))
        options="-c listen_addresses=127.0.0.1 -p $PGPORT -c unix_socket_directories=$pg_dir"
        options+=" -c ssl=on -c ssl_cert_file=$pg_tls/server.crt -c ssl_key_file=$pg_tls/server.key"
        if (cd "$pg_dir" && as_server "$pg_bin/pg_ctl" -D data -l server.log -w -t 60 -o "$options" start \
            >/dev/null); then
            export PGHOST=127.0.0.1 PGPORT PGUSER=velmora PGDATABASE=postgres PGPASSWORD
            pg_options=$options  # for a start again after a stop (pg_crash, pg_start_again)
            return 0
        fi
    done
    cat "$pg_dir/server.log"
    return 1
}

# As a crash would, and started again on the same port.
pg_crash() {
    (cd "$pg_dir" && as_server "$pg_bin/pg_ctl" -D data -m immediate -w stop >/dev/null 2>&1)
}
pg_start_again() {
    (cd "$pg_dir" && as_server "$pg_bin/pg_ctl" -D data -l server.log -w -t 60 -o "$pg_options" start >/dev/null)
}

pg_stop() {
    [ -n "$pg_dir" ] || return 0
    (cd "$pg_dir" && as_server "$pg_bin/pg_ctl" -D data -m fast -w stop >/dev/null 2>&1)
    cp "$pg_dir/server.log" "$work/postgres.log" 2>/dev/null
    rm -rf "$pg_dir"
    pg_dir=
}
