# Sourced by the Windows tests: a Wine prefix of this run's own, in a
# temporary folder, and what Windows programs of the cross build need to find
# there. Needs VELMORA_QT_MINGW (the cross Qt's prefix).
#
#   wine_start          create the prefix (wineboot, about 10 s)
#   wine_map_port COMn DEVICE   COMn opens DEVICE (a pty of velmora-sim)
#   wine_run PROGRAM [ARGS...]  run a Windows program, with the QT_* variables set here
#   wine_stop           end the prefix's wineserver and delete the prefix
WINE=${WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
WINESERVER=${WINESERVER:-$(command -v wineserver || echo /usr/lib/wine/wineserver)}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer is asked for.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

: "${VELMORA_QT_MINGW:?must name the prefix of the cross-built Qt}"
mingw_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
# The DLLs of Qt and of the MinGW runtime, for programs run from the build folder
# (which find Qt's plugins beside those DLLs, in the cross Qt's prefix).
export WINEPATH="Z:$VELMORA_QT_MINGW/bin;Z:$mingw_runtime;Z:/usr/x86_64-w64-mingw32/lib"

# The prefix's wineserver stays until wine_stop, its messages (an object dump
# when it is stopped) kept out of the tests' output.
wine_server_start() {
    "$WINESERVER" -p >/dev/null 2>&1
}

wine_start() {
    WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/velmora-wine.XXXXXX")
    export WINEPREFIX
    wine_server_start
    "$WINE" wineboot -i >/dev/null 2>&1
}

# Wine reads HKLM\Software\Wine\Ports when it starts; a dosdevices/comN link
# alone is put back to /dev/ttyS(N-1) then.
wine_map_port() {
    "$WINE" reg add 'HKLM\Software\Wine\Ports' /v "$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1
    "$WINESERVER" -k >/dev/null 2>&1
    "$WINESERVER" -w
    wine_server_start
}

# Wine hands no QT_* variable of the host to a Windows program (they would
# steer the host's Qt), but WINEQT_X as QT_X: QT_QPA_PLATFORM=offscreen
# given to a test reaches the Qt inside Wine, which would else take its
# windows platform, and fail without a display.
wine_run() {
    local name qt_variables=()
    for name in $(compgen -e | grep '^QT_'); do
        qt_variables+=("WINE$name=${!name}")
    done
    env "${qt_variables[@]}" "$WINE" "$@"
}

wine_stop() {
    [ -n "${WINEPREFIX:-}" ] || return 0
    "$WINESERVER" -k >/dev/null 2>&1
    "$WINESERVER" -w >/dev/null 2>&1
    rm -rf "$WINEPREFIX"
    unset WINEPREFIX
}
