#!/usr/bin/env bash
# The installer under Wine, silently: what it installs and registers, the
# installed velmora-cli.exe running on its own DLLs, and the uninstaller
# taking all of it away again.
#
#   tests/windows/test-installer.sh SETUP_EXE
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
setup=$1
# The installed programs find their DLLs beside them, not in the build's Qt.
unset WINEPATH

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora'
environment_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
reg_value() { "$WINE" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }

wine_start
dir="$WINEPREFIX/drive_c/Program Files/Velmora"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Velmora"
path_before=$(reg_value "$environment_key" Path)

wine_run "$setup" /S /PATH
status=$?
check "setup /S /PATH: exit status 0 (got $status)" [ "$status" = 0 ]
for file in velmora.exe velmora-cli.exe velmora-bench.exe Qt6Core.dll Qt6SerialPort.dll platforms/qwindows.dll \
    Qt6Sql.dll sqldrivers/qsqlpsql.dll libpq.dll libssl-3-x64.dll libcrypto-3-x64.dll Qt6PrintSupport.dll \
    styles/qwindowsvistastyle.dll libstdc++-6.dll LICENSE.txt uninstall.exe; do
    check "installed: $file" [ -f "$dir/$file" ]
done
check "Start menu: Velmora" [ -f "$menu/Velmora.lnk" ]
check "Start menu: Velmora Bench" [ -f "$menu/Velmora Bench.lnk" ]
check "Start menu: its uninstaller" [ -f "$menu/Uninstall Velmora.lnk" ]
check "Apps & features: Velmora 1.2" [ "$(reg_value "$uninstall_key" DisplayName) $(reg_value "$uninstall_key" DisplayVersion)" = "Velmora 1.2" ]
check "Apps & features: how to uninstall" grep -qi 'uninstall.exe' <(reg_value "$uninstall_key" UninstallString)
check "the PATH has the program folder" grep -qiF 'C:\Program Files\Velmora' <(reg_value "$environment_key" Path)

wine_run "C:\\Program Files\\Velmora\\velmora-cli.exe" --version >"$work/version.out" 2>&1
status=$?
check "installed velmora-cli.exe --version: exit status 0 (got $status)" [ "$status" = 0 ]
check "installed velmora-cli.exe --version: says 1.2" grep -q 'velmora-cli 1.2' "$work/version.out"

wine_run "C:\\Program Files\\Velmora\\uninstall.exe" /S
# The uninstaller goes on from a copy of itself, after this one has returned.
for _ in $(seq 120); do
    [ -e "$dir" ] || break
    sleep 0.5
done
sleep 1
check "uninstalled: the program folder is gone" [ ! -e "$dir" ]
check "uninstalled: the Start-menu entries are gone" [ ! -e "$menu" ]
check "uninstalled: no longer in Apps & features" [ -z "$(reg_value "$uninstall_key" DisplayName)" ]
check "uninstalled: the PATH is as before" [ "$(reg_value "$environment_key" Path)" = "$path_before" ]

finish
