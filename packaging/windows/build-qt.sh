#!/usr/bin/env bash
# Build the Qt that Velmora's Windows build links against: qtbase and Qt Serial
# Port 6.4.2 cross-compiled with MinGW-w64, trimmed to what Velmora uses (Core,
# Gui, Widgets, Test, SerialPort, the windows and offscreen platform plugins,
# the Windows style). The host's Qt 6.4.2 (/usr) gives moc, rcc and uic, so the
# version here must be the host's.
#
#   packaging/windows/build-qt.sh [--serialport TARBALL]
#
# Installs into ${XDG_CACHE_HOME:-$HOME/.cache}/velmora/qt-6.4.2-mingw64 and
# prints that path last. A Qt already there is reused when the stamp it was
# made with matches the configuration below, the toolchain file and the
# sources; otherwise it is built again. Environment: VELMORA_QTSERIALPORT_TARBALL (same as
# --serialport), VELMORA_QT_JOBS (default: the number of cores).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

qt_version=6.4.2
serialport_sha256=682626d3ae07074df0f707dab880f1eab1c133a04d5bed688a3ec63af305ae89
serialport_tarball=${VELMORA_QTSERIALPORT_TARBALL:-$here/../../../shared/deps/qtserialport-everywhere-src-$qt_version.tar.xz}
if [ "${1:-}" = --serialport ]; then
    serialport_tarball=$2
fi
jobs=${VELMORA_QT_JOBS:-$(nproc)}

cache=${XDG_CACHE_HOME:-$HOME/.cache}/velmora
prefix=$cache/qt-$qt_version-mingw64
work=$cache/qt-build
toolchain=$here/mingw-w64.cmake
qtbase_patch=$here/qtbase-6.4.2-trimmed.patch

# What Velmora does not use is left out: every module but Core, Gui, Widgets
# and Test, the image format plugins, OpenGL and Vulkan, and the tablet
# support (Debian's repacked source lacks wintab.h).
qtbase_options=(
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=ON
    -DQT_HOST_PATH=/usr
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DQT_BUILD_TOOLS_WHEN_CROSSCOMPILING=OFF
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF -DFEATURE_dbus=OFF -DFEATURE_icu=OFF
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF
    -DFEATURE_direct2d=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_ico=OFF
    -DFEATURE_pdf=OFF -DFEATURE_textodfwriter=OFF -DFEATURE_textmarkdownreader=OFF
    -DFEATURE_textmarkdownwriter=OFF -DFEATURE_zstd=OFF
    -DFEATURE_sessionmanager=OFF -DFEATURE_testlib_selfcover=OFF
)
qtserialport_options=(-DCMAKE_BUILD_TYPE=Release -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF)

sha256_of() { sha256sum "$1" | cut -d' ' -f1; }

[ -f "$serialport_tarball" ] || { echo "Qt Serial Port source not found: $serialport_tarball" >&2; exit 1; }
if [ "$(sha256_of "$serialport_tarball")" != "$serialport_sha256" ]; then
    echo "$serialport_tarball: sha256 does not match $serialport_sha256" >&2
    exit 1
fi

host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)
case "$host_qt" in
"$qt_version"+*) ;;
*) echo "The host's Qt (qt6-base-dev ${host_qt:-not installed}) is not $qt_version" >&2; exit 1 ;;
esac

# What the Qt in the cache was made of: versions, options, compilers.
configuration() {
    echo "qtbase $host_qt, qtserialport $serialport_sha256"
    echo "qtbase: ${qtbase_options[*]}"
    echo "qtserialport: ${qtserialport_options[*]}"
    cat "$toolchain" "$qtbase_patch"
    x86_64-w64-mingw32-g++-posix --version | head -n1
}
stamp=$(configuration | sha256sum | cut -d' ' -f1)
if [ -f "$prefix/velmora-qt.stamp" ] && [ "$(cat "$prefix/velmora-qt.stamp")" = "$stamp" ]; then
    echo "Reusing the cross Qt in $prefix" >&2
    echo "$prefix"
    exit 0
fi

# qtbase's source, at the host's exact Debian version, through an apt of our
# own: a deb-src list made from the system's deb entries and a state folder
# under the cache, so the system's apt configuration is left alone. apt checks
# the archive's signatures and the files' hashes.
fetch_qtbase() {
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
    local apt_options=(
        -o Dir::Etc::SourceList="$list" -o Dir::Etc::SourceParts="$parts"
        -o Dir::State="$apt" -o Dir::State::Lists="$apt/lists" -o Dir::State::status="$apt/status"
        -o Dir::Cache="$apt" -o Dir::Cache::Archives="$apt/archives"
        -o Debug::NoLocking=1
    )
    apt-get "${apt_options[@]}" update -qq
    mkdir -p "$work/src"
    (cd "$work/src" && apt-get "${apt_options[@]}" source -qq "qt6-base=$host_qt")
}

echo "Building Qt $qt_version for Windows in $prefix (this takes a while)" >&2
rm -rf "$prefix" "$work"
mkdir -p "$work"
fetch_qtbase
qtbase_src=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)
[ -d "$qtbase_src" ] || { echo "apt-get source gave no qtbase source folder" >&2; exit 1; }
patch -d "$qtbase_src" -p1 --quiet <"$qtbase_patch"
tar -xJf "$serialport_tarball" -C "$work/src"

# The toolchain file goes with the Qt it built: Qt's own qt.toolchain.cmake loads it.
mkdir -p "$prefix/lib/cmake"
cp "$toolchain" "$prefix/lib/cmake/velmora-mingw-w64.cmake"

cmake -G Ninja -S "$qtbase_src" -B "$work/qtbase" \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/velmora-mingw-w64.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "${qtbase_options[@]}"
cmake --build "$work/qtbase" -j "$jobs"
cmake --install "$work/qtbase"

cmake -G Ninja -S "$work/src/qtserialport-everywhere-src-$qt_version" -B "$work/qtserialport" \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
    "${qtserialport_options[@]}"
cmake --build "$work/qtserialport" -j "$jobs"
cmake --install "$work/qtserialport"

echo "$stamp" >"$prefix/velmora-qt.stamp"
rm -rf "$work"
echo "$prefix"
