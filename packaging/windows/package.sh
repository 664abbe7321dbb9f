#!/usr/bin/env bash
# Puts the cross-built programs together with what they need to run on
# Windows, and wraps them up:
#
#   packaging/windows/package.sh BUILD_DIR QT_PREFIX
#
# BUILD_DIR/velmora-<version>-win64/      the portable folder
# BUILD_DIR/velmora-<version>-win64.zip   that folder, zipped
# BUILD_DIR/velmora-<version>-win64-setup.exe   the NSIS installer
#
# Only what the programs load goes in: the DLLs they import (Qt's, the MinGW
# runtime, libpq and OpenSSL's), and the plugins of the Qt modules among them.
# A DLL that a program or plugin imports and that is neither deployed nor part
# of Windows fails the packaging.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
qt=$2
source "$build/windows.env"  # version=

triplet=x86_64-w64-mingw32
name=velmora-$version-win64
stage=$build/$name
rm -rf "$stage" "$build/$name.zip" "$build/$name-setup.exe"
mkdir -p "$stage"

cp "$build/bin/velmora.exe" "$build/bin/velmora-cli.exe" "$build/bin/velmora-bench.exe" "$stage/"
runtime_dirs=("$qt/bin" "$(dirname "$($triplet-g++-posix -print-file-name=libstdc++-6.dll)")" "/usr/$triplet/lib")

imports() { $triplet-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'; }
# Part of every Windows Velmora runs on (matched without regard to case, less
# the .dll or, for the print spooler, .drv).
is_system_dll() {
    grep -qixE 'api-ms-win-.*|advapi32|authz|bcrypt|cfgmgr32|comctl32|comdlg32|crypt32|d3d11|d3d9|dwmapi|dwrite|dxgi|gdi32|imm32|kernel32|mpr|msvcrt|netapi32|ntdll|ole32|oleaut32|secur32|setupapi|shcore|shell32|shlwapi|user32|userenv|uxtheme|version|winmm|winspool|ws2_32|wtsapi32' \
        <<<"${1%.*}"
}

# The plugins a Qt module loads, which no import names: they go where the
# module goes. (Qt PrintSupport has its Windows printing inside its DLL.)
module_plugins=(
    Qt6Gui.dll=platforms/qwindows.dll
    Qt6Widgets.dll=styles/qwindowsvistastyle.dll
    Qt6Sql.dll=sqldrivers/qsqlpsql.dll
)
deploy_plugins_of() {
    local entry plugin
    for entry in "${module_plugins[@]}"; do
        [ "${entry%%=*}" = "$1" ] || continue
        plugin=${entry#*=}
        mkdir -p "$stage/$(dirname "$plugin")"
        cp "$qt/plugins/$plugin" "$stage/$plugin"
        pending+=("$stage/$plugin")
    done
}

# file_named DIR NAME: DIR's file of that name, in whatever case (as Windows
# finds it: libpq's import library names LIBPQ.dll).
file_named() { find "$1" -maxdepth 1 -type f -iname "$2" -print -quit | grep .; }

# Follows the imports from the programs and plugins down, copying each DLL found.
pending=("$stage"/*.exe)
while [ ${#pending[@]} -gt 0 ]; do
    file=${pending[0]}
    pending=("${pending[@]:1}")
    while read -r dll; do
        [ -z "$dll" ] && continue
        is_system_dll "$dll" && continue
        [ -n "$(file_named "$stage" "$dll")" ] && continue
        found=
        for dir in "${runtime_dirs[@]}"; do
            found=$(file_named "$dir" "$dll") && break
        done
        if [ -z "$found" ]; then
            echo "$(basename "$file") needs $dll, which is neither part of Windows nor found to deploy" >&2
            exit 1
        fi
        cp "$found" "$stage/"
        pending+=("$stage/$(basename "$found")")
        deploy_plugins_of "$(basename "$found")"
    done < <(imports "$file")
done
find "$stage" -name '*.exe' -o -name '*.dll' | xargs $triplet-strip --strip-unneeded

# Text files with Windows line ends, so that Notepad shows them as written.
sed 's/$/\r/' "$here/../../LICENSE" >"$stage/LICENSE.txt"
sed 's/$/\r/' "$here/readme-windows.txt" >"$stage/README.txt"

(cd "$build" && zip -qr9 "$name.zip" "$name")

# The uninstaller deletes what the installer put there, and nothing else.
filelist=$build/uninstall-files.nsh
(
    cd "$stage"
    find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|Delete "$INSTDIR\\&"|'
    find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|RMDir "$INSTDIR\\&"|'
) >"$filelist"
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$build/$name-setup.exe" \
    -DICON="$build/velmora.ico" -DFILELIST="$filelist" "$here/velmora.nsi"

for file in "$build/$name.zip" "$build/$name-setup.exe"; do
    echo "Built $file ($(du -h "$file" | cut -f1))"
done
