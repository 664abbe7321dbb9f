#!/usr/bin/env bash
# What the Qt and libraries built for Windows add, under Wine: tst_libraries.exe
# against a throwaway PostgreSQL 15 server of this host's (password
# authentication; TLS, sslmode=verify-full), its PDFs read back by pdftotext.
#
#   tests/windows/test-libraries.sh WINDOWS_BUILD
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
source "$here/postgres.sh"
trap 'pg_stop; cleanup' EXIT
program=$(cd "$1" && pwd)/tests/tst_libraries.exe

check "tst_libraries.exe is built (the cross Qt has Qt SQL and Qt PrintSupport, libqrencode is found)" \
    [ -f "$program" ]
[ -f "$program" ] || { finish; exit; }
check "a PostgreSQL server with TLS starts" pg_start
wine_start
mkdir "$work/pdf"
# On the windows platform, as on Windows: its fonts (Wine's, the host's) make
# the PDFs' text. The offscreen platform's would come from Qt's lib/fonts, which
# Qt no longer ships.
VELMORA_PG_TLS="Z:$pg_tls" VELMORA_PDF_DIR="Z:$work/pdf" QT_QPA_PLATFORM=windows \
    "$here/wine-run" "$program" >"$work/tst_libraries.out" 2>&1
status=$?
sed 's/^/    /' "$work/tst_libraries.out"
check "tst_libraries under Wine: QPSQL plain and over TLS, PDF, QR codes (exit status $status)" [ "$status" = 0 ]
for writer in QPdfWriter QPrinter; do
    check "pdftotext reads back the PDF of $writer" \
        grep -q "^Velmora label from $writer\$" <(pdftotext "$work/pdf/$writer.pdf" - 2>&1)
done

finish
