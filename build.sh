#!/usr/bin/env bash
# Set up, build and start Velmora, or run its tests, on Debian 12.
#
#   ./build.sh run [velmora options]   install what is missing, build, start
#                                      velmora (with a simulated device unless
#                                      options are given)
#   ./build.sh test                    install what is missing, build twice
#                                      (plain, and with ASan+UBSan), run every
#                                      test, build and check the package; build
#                                      the fuzz targets with clang, run each for a
#                                      fixed number of inputs from a fixed seed;
#                                      then the Windows build, tested under Wine;
#                                      and print the time of each stage
#   ./build.sh package                 build build/velmora_<version>_<arch>.deb
#   ./build.sh windows                 cross-build for Windows (MinGW-w64; Qt built
#                                      once into ~/.cache/velmora), giving
#                                      build-windows/velmora-<version>-win64.zip
#                                      and build-windows/velmora-<version>-win64-setup.exe
#   ./build.sh fuzz [SECONDS]          explore with every fuzz target, at random, for
#                                      longer (default 600 s each)
#   ./build.sh screenshot              render docs/window.png, docs/bench.png and docs/web.png (and both in Chinese), a page
#                                      of a report and a sheet of labels, headless
#   ./build.sh bench [velmora-timing options]
#                                      time velmora-cli set-all --verify and batch
#                                      against the simulated device, count the
#                                      READs the window loses on a line paced at 115200;
#                                      velmora-bench beside velmora-cli batch on 16 lanes,
#                                      and on a plan of 10,000 rows,
#                                      and kill batches at random moments to check the log;
#                                      a line's record against the CSV log, 4 stations
#                                      against 1, line load and status on 100,000 rows;
#                                      velmora-web with 200 event streams beside 4
#                                      stations, its line's answer on 100,000 rows, and
#                                      how soon Chromium shows that line's page
#   ./build.sh line-demo               a throwaway PostgreSQL, a line of 300 devices,
#                                      three stations on simulated devices, line status --watch
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake make g++ pkg-config qt6-base-dev qt6-serialport-dev libqrencode-dev)
packages+=(poppler-utils zbar-tools)  # the tests read the bench's PDFs back: their text, their QR codes
# A line's shared record: Qt SQL's PostgreSQL driver and libpq; the tests
# start PostgreSQL 15 servers of their own (and a TLS one, with openssl).
packages+=(libqt6sql6-psql libpq-dev postgresql-15 openssl)
# The Debian package: manual pages, and the tools that build and check it.
packages+=(help2man dpkg-dev file man-db desktop-file-utils appstream lintian)
packages+=(clang libclang-rt-14-dev)  # fuzzing: clang and its libFuzzer
packages+=(ccache)                    # compiled objects kept across builds and clones
# The catalogues of translations: Qt Linguist's lupdate and lrelease, their CMake
# files, and Qt's own catalogues (a file dialog's buttons in the user's language).
packages+=(qt6-l10n-tools qt6-tools-dev qt6-translations-l10n)
# A CJK font, as a Chinese technician's PC has: the bench's widths are checked,
# and its screenshot made, with the glyphs its texts are shown in.
packages+=(fonts-noto-cjk)
packages+=(xvfb xauth libqt6gui6)     # a test on a real X server; Qt's xcb platform is in libqt6gui6
# velmora-web: Qt HttpServer (whose CMake files need Qt WebSockets'), Chart.js for
# its pages, and the browser its test drives (Debian's Chromium through
# chromedriver and Selenium, for /usr/bin/python3).
packages+=(qt6-httpserver-dev qt6-websockets-dev libjs-chart.js chromium chromium-driver python3-selenium)
# Windows: the cross compiler, the builds of Qt, OpenSSL, libpq and libqrencode
# (perl for OpenSSL's, bzip2 for PostgreSQL's and qrencode's sources), the
# installer and icon makers, and Wine with what its tests drive (Xvfb, xdotool,
# xclip; ImageMagick for the screenshot; script, of bsdutils, for a console on a
# pseudo-terminal; a PostgreSQL server with a CA made by openssl, and a font
# for Wine to write PDFs with).
windows_packages=(g++-mingw-w64-x86-64-posix ninja-build dpkg-dev xz-utils bzip2 perl)
windows_packages+=(librsvg2-bin icoutils nsis zip)
windows_packages+=(wine64 xvfb xauth xdotool xclip imagemagick bsdutils)
windows_packages+=(postgresql-15 openssl fonts-dejavu-core)
jobs=$(nproc)

# Every build compiles through ccache, whose cache (~/.cache/ccache) outlives
# the build folders and the clone: a path below the clone is hashed relative
# to it, so another clone of the same commit compiles nothing again.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

install_missing() {
    local missing=()
    for package in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# build DIR [cmake options...]
build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_WERROR=ON "${launcher[@]}" "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

# The fuzz targets, with clang, in a folder of their own.
build_fuzz() {
    cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVELMORA_WERROR=ON -DVELMORA_FUZZ=ON -DVELMORA_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
    cmake --build build-fuzz -j "$jobs" --target fuzzers
}

# The cross Qt (built once, then taken from its cache), the programs, the
# portable zip and the installer; with tests when asked: build_windows ON|OFF
build_windows() {
    local qt
    qt=$(packaging/windows/build-qt.sh | tail -n1)
    cmake -G Ninja -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE="$PWD/packaging/windows/mingw-w64.cmake" \
        -DCMAKE_PREFIX_PATH="$qt" -DCMAKE_FIND_ROOT_PATH="$qt" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_WERROR=ON -DVELMORA_BUILD_TESTS="$1" "${launcher[@]}" \
        -DCMAKE_CROSSCOMPILING_EMULATOR="/usr/bin/env;VELMORA_QT_MINGW=$qt;$PWD/tests/windows/wine-run" >/dev/null
    cmake --build build-windows -j "$jobs"
    packaging/windows/package.sh build-windows "$qt"
}

# The stages of ./build.sh test, each timed; the times are printed at the end,
# also of a run that failed, so that slow growth is seen.
stage_times=()
stage() {
    local name=$1 start=$SECONDS
    shift
    echo "== $name"
    "$@"
    stage_times+=("$(printf '%5d s  %s' $((SECONDS - start)) "$name")")
}
print_stage_times() {
    local status=$?
    echo "== Stage times"
    printf '%s\n' "${stage_times[@]}"
    [ $status -eq 0 ] || echo "(stopped by a failure after $SECONDS s)"
    printf '%5d s  in all\n' "$SECONDS"
}
linux_tests() {
    build build -DVELMORA_BUILD_TESTS=ON  # also after run, package or screenshot left them off
    ctest --test-dir build --output-on-failure -j "$jobs"
}
package_and_check() {
    cpack --config build/CPackConfig.cmake >/dev/null
    packaging/check-package build
}
asan_tests() {
    build build-asan -DVELMORA_SANITIZE=ON
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir build-asan --output-on-failure -j "$jobs"
}
fuzz_tests() {
    build_fuzz
    ctest --test-dir build-fuzz --output-on-failure -j "$jobs"
}
windows_tests() {
    build_windows ON
    tests/windows/run build-windows build
}

command=${1:-run}
[ $# -gt 0 ] && shift
case "$command" in
windows | test) packages+=("${windows_packages[@]}") ;;
esac
install_missing

case "$command" in
run)
    build build -DVELMORA_BUILD_TESTS=OFF
    [ $# -eq 0 ] && set -- --simulate
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
        echo "No display found: start Velmora from a desktop session (or under xvfb-run)." >&2
        exit 1
    fi
    exec build/bin/velmora "$@"
    ;;
test)
    export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
    trap print_stage_times EXIT
    stage "Linux build and tests" linux_tests
    stage "package" package_and_check
    stage "ASan and UBSan build and tests" asan_tests
    stage "fuzz" fuzz_tests
    stage "Windows build and tests" windows_tests
    ;;
windows)
    build_windows OFF
    ;;
fuzz)
    build_fuzz
    fuzz/run build-fuzz "$@"
    ;;
package)
    build build -DVELMORA_BUILD_TESTS=OFF
    cpack --config build/CPackConfig.cmake >/dev/null
    echo "Built $(ls build/velmora_*.deb)"
    ;;
screenshot)
    build build -DVELMORA_BUILD_TESTS=OFF
    mkdir -p docs
    QT_QPA_PLATFORM=offscreen build/bin/velmora-screenshot docs/window.png
    LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen build/bin/velmora-bench-screenshot docs/bench.png build/report.pdf build/labels.pdf
    LC_ALL=zh_CN.UTF-8 QT_QPA_PLATFORM=offscreen build/bin/velmora-bench-screenshot docs/bench-zh_CN.png
    # A page of the report and a sheet of labels, small enough for the README.
    pdftoppm -png -r 75 -f 1 -l 1 -singlefile build/report.pdf docs/report
    pdftoppm -png -r 75 -f 1 -l 1 -singlefile build/labels.pdf docs/labels
    # velmora-web's line page in headless Chromium, against the line demo's line.
    tools/web-screenshot.sh build docs/web.png docs/web-zh_CN.png
    echo "Wrote docs/window.png, docs/bench.png, docs/bench-zh_CN.png, docs/report.png, docs/labels.png," \
        "docs/web.png and docs/web-zh_CN.png"
    ;;
bench)
    export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
    build build -DVELMORA_BUILD_TESTS=OFF
    build/bin/velmora-timing "$@"
    build/bin/velmora-batch-bench
    build/bin/velmora-window-reads
    QT_QPA_PLATFORM=offscreen build/bin/velmora-bench-timing
    build/bin/velmora-kill-campaign --kills 100
    tools/bench/line-bench.sh build
    tools/bench/web-bench.sh build
    ;;
line-demo)
    build build -DVELMORA_BUILD_TESTS=OFF
    tools/line-demo.sh build
    ;;
*)
    echo "usage: $0 run [velmora options] | test | package | windows | fuzz [SECONDS] | screenshot | bench [options] | line-demo" >&2
    exit 2
    ;;
esac
