#!/usr/bin/env bash
# Build the Qt that Velmora's Windows build links against, with the libraries
# it needs beside Qt, all cross-compiled with MinGW-w64 into one prefix:
#
#   OpenSSL     DLLs, for libpq's TLS
#   libpq       a DLL, for Qt SQL's PostgreSQL driver
#   libqrencode a static library, for QR codes on labels
#   qtbase      trimmed to what Velmora uses: Core, Gui, Widgets, Test, Sql with
#               its PostgreSQL driver only, PrintSupport, the PDF writer, the
#               windows and offscreen platform plugins, the Windows style
#   Qt Serial Port
#
# OpenSSL, libpq, libqrencode, qtbase and Qt Serial Port are Debian's sources,
# fetched as source packages; the host's Qt 6.4.2 (/usr) gives moc, rcc and
# uic, so qtbase's version here must be the host's. Qt Serial Port's upstream
# tarball is taken instead where one is at hand (checked by its SHA-256): an
# archive mirror may list that package's source but not serve its files.
#
#   packaging/windows/build-qt.sh [--serialport TARBALL]
#
# Installs into ${XDG_CACHE_HOME:-$HOME/.cache}/velmora/qt-6.4.2-mingw64 and
# prints that path last. What is there already is reused when the stamp it was
# made with matches the versions and options below, the toolchain file and the
# patch; otherwise it is all built again. Environment: VELMORA_QTSERIALPORT_TARBALL
# (same as --serialport), VELMORA_QT_JOBS (default: the number of cores).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

qt_version=6.4.2
serialport_name=qtserialport-everywhere-src-$qt_version.tar.xz
serialport_sha256=682626d3ae07074df0f707dab880f1eab1c133a04d5bed688a3ec63af305ae89
serialport_url=https://download.qt.io/archive/qt/${qt_version%.*}/$qt_version/submodules/$serialport_name
serialport_tarball=${VELMORA_QTSERIALPORT_TARBALL:-$here/../../../shared/deps/$serialport_name}
if [ "${1:-}" = --serialport ]; then
    serialport_tarball=$2
fi
jobs=${VELMORA_QT_JOBS:-$(nproc)}
triplet=x86_64-w64-mingw32

cache=${XDG_CACHE_HOME:-$HOME/.cache}/velmora
prefix=$cache/qt-$qt_version-mingw64
work=$cache/qt-build
toolchain=$here/mingw-w64.cmake
qtbase_patch=$here/qtbase-6.4.2-trimmed.patch

# libpq talks TLS (sslmode=require, verify-full) and nothing else: OpenSSL
# without the engines, the legacy provider, compression and the ciphers and
# protocols TLS 1.2 and 1.3 do without.
openssl_options=(
    mingw64 shared no-tests no-engine no-legacy no-module no-comp no-ssl3 no-dtls no-srp
    no-idea no-mdc2 no-rc5 no-camellia no-seed no-whirlpool no-sm2 no-sm3 no-sm4 no-aria
)
# Only libpq is built of PostgreSQL; nothing else of the server's is wanted.
libpq_options=(--with-ssl=openssl --without-readline --without-zlib --without-icu)
# libqrencode keeps the lock around its tables' first making: CMake takes
# MinGW's threads for Windows threads, but the pthreads it needs are in the
# runtime (winpthreads) that every program of this compiler links.
qrencode_options=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DWITH_TOOLS=OFF -DWITHOUT_PNG=ON
    -DCMAKE_C_FLAGS=-DHAVE_LIBPTHREAD=1
)
# What Velmora does not use is left out: every module but Core, Gui, Widgets,
# Sql, PrintSupport and Test, every SQL driver but PostgreSQL's, the image
# format plugins, OpenGL and Vulkan, and the tablet support (Debian's repacked
# source lacks wintab.h).
qtbase_options=(
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=ON
    -DQT_HOST_PATH=/usr
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DQT_BUILD_TOOLS_WHEN_CROSSCOMPILING=OFF
    -DFEATURE_sql=ON -DFEATURE_sql_psql=ON -DFEATURE_sql_sqlite=OFF -DFEATURE_sql_odbc=OFF
    -DFEATURE_sql_mysql=OFF -DFEATURE_sql_oci=OFF -DFEATURE_sql_db2=OFF -DFEATURE_sql_ibase=OFF
    -DFEATURE_printsupport=ON -DFEATURE_pdf=ON
    -DFEATURE_network=OFF
    -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF -DFEATURE_dbus=OFF -DFEATURE_icu=OFF
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF
    -DFEATURE_direct2d=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_ico=OFF
    -DFEATURE_textodfwriter=OFF -DFEATURE_textmarkdownreader=OFF
    -DFEATURE_textmarkdownwriter=OFF -DFEATURE_zstd=OFF
    -DFEATURE_sessionmanager=OFF -DFEATURE_testlib_selfcover=OFF
)
qtserialport_options=(-DCMAKE_BUILD_TYPE=Release -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF)

sha256_of() { sha256sum "$1" | cut -d' ' -f1; }

# Qt Serial Port: the tarball where there is one, else Debian's source of the
# host's version, fetched with the others below.
if [ -f "$serialport_tarball" ]; then
    if [ "$(sha256_of "$serialport_tarball")" != "$serialport_sha256" ]; then
        echo "$serialport_tarball: sha256 does not match $serialport_sha256" >&2
        exit 1
    fi
    serialport_source="tarball $serialport_sha256"
else
    serialport_tarball=
    serialport_source="debian $(dpkg-query -W -f='${Version}' qt6-serialport-dev 2>/dev/null || true)"
fi

host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)
case "$host_qt" in
"$qt_version"+*) ;;
*) echo "The host's Qt (qt6-base-dev ${host_qt:-not installed}) is not $qt_version" >&2; exit 1 ;;
esac

# source_versions PACKAGE: the versions of PACKAGE's source to try, best
# first: the installed one's, while the archive has it (libpq then speaks as
# the host's server does), then what the archive has, newest first. The
# archive's mirror may lack a version's files: the next is tried then.
source_versions() {
    local installed listed
    installed=$(dpkg-query -W -f='${Version}' "$1" 2>/dev/null || true)
    listed=$(apt-cache madison "$1" | awk -F'|' '$3 ~ / Packages *$/ { gsub(/ /, "", $2); print $2 }' |
        sed 's/+b[0-9]*$//')
    [ -n "$listed" ] || { echo "apt knows no version of $1: run apt-get update" >&2; return 1; }
    { grep -xF "$installed" <<<"$listed"; echo "$listed"; } | awk '!seen[$0]++' | paste -sd' '
}
openssl_versions=$(source_versions openssl)
postgresql_versions=$(source_versions postgresql-15)
qrencode_versions=$(source_versions qrencode)

# What the prefix was made of: versions, options, compilers.
configuration() {
    echo "qtbase $host_qt, qtserialport $serialport_source"
    echo "openssl $openssl_versions: ${openssl_options[*]}"
    echo "postgresql-15 $postgresql_versions: ${libpq_options[*]}"
    echo "qrencode $qrencode_versions: ${qrencode_options[*]}"
    echo "qtbase: ${qtbase_options[*]}"
    echo "qtserialport: ${qtserialport_options[*]}"
    cat "$toolchain" "$qtbase_patch"
    $triplet-g++-posix --version | head -n1
}
stamp=$(configuration | sha256sum | cut -d' ' -f1)
if [ -f "$prefix/velmora-qt.stamp" ] && [ "$(cat "$prefix/velmora-qt.stamp")" = "$stamp" ]; then
    echo "Reusing the cross Qt in $prefix" >&2
    echo "$prefix"
    exit 0
fi

# Debian's sources come through an apt of our own: a deb-src list made from
# the system's deb entries and a state folder under the cache, so the system's
# apt configuration is left alone. apt checks the archive's signatures and the
# files' hashes.
apt_options=()
apt_init() {
    local apt=$cache/apt
    mkdir -p "$apt/lists/partial" "$apt/archives/partial" "$apt/etc"
    : >"$apt/status"
    local list=$apt/etc/sources.list
    {
        [ -f /etc/apt/sources.list ] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list
        for sources in /etc/apt/sources.list.d/*.list; do
            [ -f "$sources" ] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$sources"
        done
    } >"$list"
    local parts=$apt/etc/sources.list.d
    rm -rf "$parts" && mkdir -p "$parts"
    for sources in /etc/apt/sources.list.d/*.sources; do
        [ -f "$sources" ] || continue
        sed 's/^Types:.*/Types: deb-src/' "$sources" >"$parts/$(basename "$sources")"
    done
    apt_options=(
        -o Dir::Etc::SourceList="$list" -o Dir::Etc::SourceParts="$parts"
        -o Dir::State="$apt" -o Dir::State::Lists="$apt/lists" -o Dir::State::status="$apt/status"
        -o Dir::Cache="$apt" -o Dir::Cache::Archives="$apt/archives"
        -o Debug::NoLocking=1
    )
    apt-get "${apt_options[@]}" update -qq
}

# fetch_source PACKAGE VERSIONS [upstream]: unpacks the first of VERSIONS the
# archive gives of PACKAGE's source into $work/src/PACKAGE and prints the
# version. With "upstream", a version whose Debian part cannot be fetched is
# taken from its upstream tarball alone (apt has checked that one's hash):
# for a package whose Debian changes leave the library as upstream has it.
fetch_source() {
    local package=$1 versions=$2 fallback=${3:-} version dir=$work/src/$1
    for version in $versions; do
        rm -rf "$dir" && mkdir -p "$dir"
        if (cd "$dir" && apt-get "${apt_options[@]}" source -qq "$package=$version" >&2); then
            echo "$version"
            return 0
        fi
        local upstream=("$dir/${package}_${version%-*}".orig.tar.*)
        if [ "$fallback" = upstream ] && [ -f "${upstream[0]}" ]; then
            echo "$package $version: Debian's part of the source is not to be had; its upstream tarball alone" >&2
            tar -xf "${upstream[0]}" -C "$dir"
            echo "$version"
            return 0
        fi
        echo "$package $version: its source is not to be had from the archive; trying the next version" >&2
    done
    echo "No version of $package's source could be fetched (tried: $versions)" >&2
    return 1
}

# source_dir PACKAGE: the folder fetch_source unpacked it into.
source_dir() {
    find "$work/src/$1" -mindepth 1 -maxdepth 1 -type d | head -n1 | grep . \
        || { echo "no source folder of $1 in $work/src/$1" >&2; return 1; }
}

# logged NAME COMMAND...: COMMAND's output (the warnings of other projects'
# code) goes to $work/NAME.log, shown in part when COMMAND fails.
logged() {
    local log=$work/$1.log
    shift
    "$@" >>"$log" 2>&1 || { tail -n 40 "$log" >&2; echo "failed: $* (log: $log)" >&2; return 1; }
}

build_openssl() {
    local src
    src=$(source_dir openssl)
    (cd "$src" && logged openssl env CC=$triplet-gcc-posix AR=$triplet-ar RANLIB=$triplet-ranlib \
        RC=$triplet-windres ./Configure "${openssl_options[@]}" --prefix="$prefix" --libdir=lib)
    logged openssl make -C "$src" -j "$jobs" build_libs
    logged openssl make -C "$src" install_dev install_runtime_libs
}

# libpq, with the parts of PostgreSQL it is made of (src/port, src/common,
# the headers): its DLL and import library, and the headers a client includes.
build_libpq() {
    local src build=$work/postgresql
    src=$(source_dir postgresql-15)
    mkdir -p "$build"
    (cd "$build" && logged libpq env PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" "$src/configure" \
        --host=$triplet --prefix="$prefix" CC=$triplet-gcc-posix \
        --with-includes="$prefix/include" --with-libraries="$prefix/lib" "${libpq_options[@]}")
    logged libpq make -C "$build/src/interfaces/libpq" -j "$jobs"
    logged libpq make -C "$build/src/interfaces/libpq" install
    logged libpq make -C "$build/src/include" install
    # The server's headers, and a second copy of the DLL, are of no use to a client.
    rm -rf "$prefix/include/postgresql" "$prefix/lib/libpq.dll"
}

build_qrencode() {
    local src
    src=$(source_dir qrencode)
    logged qrencode cmake -G Ninja -S "$src" -B "$work/qrencode" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_INSTALL_PREFIX="$prefix" "${qrencode_options[@]}"
    logged qrencode cmake --build "$work/qrencode" -j "$jobs"
    logged qrencode cmake --install "$work/qrencode"
}

# qtbase, its PostgreSQL driver on the libpq just built.
build_qtbase() {
    local src
    src=$(source_dir qt6-base)
    patch -d "$src" -p1 --quiet <"$qtbase_patch"
    # The toolchain file goes with the Qt it built: Qt's own qt.toolchain.cmake loads it.
    mkdir -p "$prefix/lib/cmake"
    cp "$toolchain" "$prefix/lib/cmake/velmora-mingw-w64.cmake"
    cmake -G Ninja -S "$src" -B "$work/qtbase" \
        -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/velmora-mingw-w64.cmake" \
        -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" "${qtbase_options[@]}"
    cmake --build "$work/qtbase" -j "$jobs"
    cmake --install "$work/qtbase"
}

# Qt Serial Port's source, from the tarball or from the archive; when neither
# can be had, the ways to give it.
fetch_qtserialport() {
    if [ -n "$serialport_tarball" ]; then
        mkdir -p "$work/src/qt6-serialport"
        tar -xJf "$serialport_tarball" -C "$work/src/qt6-serialport"
    elif ! fetch_source qt6-serialport "${serialport_source#debian }" >/dev/null; then
        cat >&2 <<EOF
Qt Serial Port's source could not be had. Give it either way:
  - Debian's source package qt6-serialport ${serialport_source#debian }, the host's
    version, from an archive whose deb-src entries serve its files;
  - Qt's own tarball $serialport_name, SHA-256
    $serialport_sha256,
    from $serialport_url,
    put in $(cd "$here/../../.." && pwd)/shared/deps/ or named by
    VELMORA_QTSERIALPORT_TARBALL=FILE (or --serialport FILE).
EOF
        return 1
    fi
}

build_qtserialport() {
    local src
    src=$(source_dir qt6-serialport)
    cmake -G Ninja -S "$src" -B "$work/qtserialport" \
        -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
        "${qtserialport_options[@]}"
    cmake --build "$work/qtserialport" -j "$jobs"
    cmake --install "$work/qtserialport"
}

echo "Building Qt $qt_version for Windows in $prefix, once: about 30 minutes on two cores; later builds reuse it" >&2
rm -rf "$prefix" "$work"
mkdir -p "$work/src"
apt_init
fetch_qtserialport  # first: the one source that may need a person to give it
fetch_source qt6-base "$host_qt" >/dev/null
openssl_version=$(fetch_source openssl "$openssl_versions")
postgresql_version=$(fetch_source postgresql-15 "$postgresql_versions")
# Debian's changes to qrencode are to its command-line tool.
qrencode_version=$(fetch_source qrencode "$qrencode_versions" upstream)
build_openssl
build_libpq
build_qrencode
build_qtbase
build_qtserialport
printf 'qtbase %s\nopenssl %s\npostgresql-15 %s\nqrencode %s\n' \
    "$host_qt" "$openssl_version" "$postgresql_version" "$qrencode_version" >"$prefix/velmora-sources.txt"
echo "$stamp" >"$prefix/velmora-qt.stamp"
rm -rf "$work"
echo "$prefix"
