; The Windows installer of Velmora, made by packaging/windows/package.sh:
;   makensis -DVERSION=1.2 -DSTAGE=<folder of the portable build> -DOUTFILE=<setup.exe> velmora.nsi
; Installs for every user under Program Files, with Start-menu entries and an
; uninstaller listed in Apps & features. velmora-cli goes on the system PATH
; when its component is chosen, or with /PATH on the command line (silent
; installs: setup.exe /S /PATH). /S installs silently, as does the uninstaller.
; A 64-bit installer, as the programs are (it also runs where Wine has no 32-bit part).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include WinMessages.nsh
!include x64.nsh

!define APP "Velmora"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora"
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${APP}"
InstallDirRegKey HKLM "Software\${APP}" "InstallDir"
BrandingText "${APP} ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${APP}"
VIAddVersionKey "FileDescription" "${APP} ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "The Velmora developers"
VIAddVersionKey "LegalCopyright" "MIT licence"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\velmora.exe"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Velmora (required)" SecProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    File /r "${STAGE}/*"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    SetShellVarContext all
    CreateDirectory "$SMPROGRAMS\${APP}"
    CreateShortcut "$SMPROGRAMS\${APP}\${APP}.lnk" "$INSTDIR\velmora.exe"
    CreateShortcut "$SMPROGRAMS\${APP}\${APP} Bench.lnk" "$INSTDIR\velmora-bench.exe"
    CreateShortcut "$SMPROGRAMS\${APP}\Uninstall ${APP}.lnk" "$INSTDIR\uninstall.exe"

    WriteRegStr HKLM "Software\${APP}" "InstallDir" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${APP}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Velmora developers"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\velmora.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "velmora-cli on the PATH" SecPath
    ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
    ; NSIS strings hold at most ${NSIS_MAX_STRLEN} characters: a PATH that
    ; long would come back cut, so it is left as it is.
    StrLen $1 "$0;$INSTDIR"
    ${If} $1 >= ${NSIS_MAX_STRLEN}
        DetailPrint "The PATH is too long to extend; add $INSTDIR to it by hand."
        MessageBox MB_ICONEXCLAMATION "The PATH is too long to extend: add $INSTDIR to it by hand." /SD IDOK
        Goto done
    ${EndIf}
    ${WordFind} "$0" "$INSTDIR" "E#" $2
    ${IfNot} ${Errors}
        Goto done  ; there already
    ${EndIf}
    ${If} $0 == ""
        WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$INSTDIR"
    ${Else}
        WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$0;$INSTDIR"
    ${EndIf}
    WriteRegDWORD HKLM "Software\${APP}" "OnPath" 1
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=2000
    done:
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "The window (velmora), batch provisioning in a window (velmora-bench) and the command line (velmora-cli)."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecPath} "Lets a command prompt start velmora-cli from any folder."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_ICONSTOP "Velmora needs 64-bit Windows." /SD IDOK
        Abort
    ${EndIf}
    SetRegView 64
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/PATH" $1
    ${IfNot} ${Errors}
        SectionSetFlags ${SecPath} ${SF_SELECTED}
    ${EndIf}
FunctionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "Uninstall"
    ReadRegDWORD $0 HKLM "Software\${APP}" "OnPath"
    ${If} $0 == 1
        ReadRegStr $1 HKLM "${ENVIRONMENT_KEY}" "Path"
        StrLen $2 $1
        ${If} $2 < ${NSIS_MAX_STRLEN}
            ${un.WordReplace} "$1" ";$INSTDIR" "" "+" $1
            ${un.WordReplace} "$1" "$INSTDIR" "" "+" $1
            WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$1"
            SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=2000
        ${EndIf}
    ${EndIf}

    SetShellVarContext all
    Delete "$SMPROGRAMS\${APP}\${APP}.lnk"
    Delete "$SMPROGRAMS\${APP}\${APP} Bench.lnk"
    Delete "$SMPROGRAMS\${APP}\Uninstall ${APP}.lnk"
    RMDir "$SMPROGRAMS\${APP}"

    ; Only what the installer put there: the files of the portable build.
    !include "${FILELIST}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"

    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "Software\${APP}"
SectionEnd
