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
# Only what the programs load goes in: the Qt DLLs they import, the windows
# platform plugin, the Windows style, and the MinGW runtime. A DLL that a
# program or plugin imports and that is neither deployed nor part of Windows
# fails the packaging.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
qt=$2
source "$build/windows.env"  # version=

triplet=x86_64-w64-mingw32
name=velmora-$version-win64
stage=$build/$name
rm -rf "$stage" "$build/$name.zip" "$build/$name-setup.exe"
mkdir -p "$stage/platforms" "$stage/styles"

cp "$build/bin/velmora.exe" "$build/bin/velmora-cli.exe" "$build/bin/velmora-bench.exe" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
runtime_dirs=("$qt/bin" "$(dirname "$($triplet-g++-posix -print-file-name=libstdc++-6.dll)")" "/usr/$triplet/lib")

imports() { $triplet-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'; }
# Part of every Windows Velmora runs on (matched without regard to case).
is_system_dll() {
    grep -qixE 'api-ms-win-.*|advapi32|authz|bcrypt|cfgmgr32|comctl32|comdlg32|crypt32|d3d11|d3d9|dwmapi|dwrite|dxgi|gdi32|imm32|kernel32|mpr|msvcrt|netapi32|ntdll|ole32|oleaut32|setupapi|shcore|shell32|shlwapi|user32|userenv|uxtheme|version|winmm|ws2_32|wtsapi32' \
        <<<"${1%.[dD][lL][lL]}"
}

# Follows the imports from the programs and plugins down, copying each DLL found.
pending=("$stage"/*.exe "$stage"/platforms/*.dll "$stage"/styles/*.dll)
while [ ${#pending[@]} -gt 0 ]; do
    file=${pending[0]}
    pending=("${pending[@]:1}")
    while read -r dll; do
        [ -z "$dll" ] && continue
        is_system_dll "$dll" && continue
        [ -f "$stage/$dll" ] && continue
        found=
        for dir in "${runtime_dirs[@]}"; do
            [ -f "$dir/$dll" ] && found=$dir/$dll && break
        done
        if [ -z "$found" ]; then
            echo "$(basename "$file") needs $dll, which is neither part of Windows nor found to deploy" >&2
            exit 1
        fi
        cp "$found" "$stage/"
        pending+=("$stage/$dll")
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
