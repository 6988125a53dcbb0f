; Tidemeter's per-user installer: no elevation, one folder under the user's local programs folder, a
; Start-menu shortcut and an entry in the user's list of installed programs. The user's settings and
; usage history live elsewhere (%APPDATA%\Tidemeter) and survive upgrades; the uninstaller removes
; them only when asked to.
;
; Built by scripts/release.sh:
;   makensis -DGENERATED=<build>/generated -DEXE=<Tidemeter.exe> -DICON=<app.ico> -DOUTDIR=<folder> tidemeter.nsi
;
; Silent use: "Tidemeter-<version>-setup.exe /S" installs (and restarts a copy it had to end);
; "uninstall.exe /S" removes the program and keeps the data; add /RemoveData to remove that too.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include "${GENERATED}/version.nsh"

!define PRODUCT "Tidemeter"
!define PUBLISHER "Tidemeter"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tidemeter"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define CONTROLLER_CLASS "Tidemeter.Controller"
; The controller's dashboard-button message (WM_APP + 12) with the exit code 3 ends the program the way
; its own Exit does: settings and usage are saved first.
!define MSG_DASHBOARD_BUTTON 0x800C
!define BUTTON_EXIT 3
!define SYNCHRONIZE 0x00100000
!define WAIT_SECONDS 15
!define DATA "$APPDATA\Tidemeter"

Name "${PRODUCT}"
OutFile "${OUTDIR}\Tidemeter-${VERSION}-setup.exe"
InstallDir "$LOCALAPPDATA\Programs\Tidemeter"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails hide
ShowUninstDetails hide
SpaceTexts none

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright 2026 the Tidemeter developers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Tidemeter.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Tidemeter"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_PAGE_HEADER_SUBTEXT "Choose what to remove besides the program."
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Ends every running copy of the program in this session and waits until its process is gone, so that
; its files can be replaced and its last save is on disk. Sets $R9 to 1 when a copy was running.
!macro END_RUNNING_PROGRAM un
Function ${un}EndRunningProgram
    Push $0
    Push $1
    Push $2
    Push $3
    StrCpy $R9 0
    StrCpy $3 0
    ${Do}
        FindWindow $0 "${CONTROLLER_CLASS}"
        ${If} $0 = 0
            ${Break}
        ${EndIf}
        StrCpy $R9 1
        DetailPrint "Ending the running Tidemeter..."
        StrCpy $1 0
        System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1) i'
        System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2'
        System::Call 'user32::PostMessageW(p r0, i ${MSG_DASHBOARD_BUTTON}, p ${BUTTON_EXIT}, p 0)'
        ; The window goes first; the process follows once it has saved its files.
        StrCpy $1 0
        ${DoWhile} $1 < ${WAIT_SECONDS}0
            IsWindow $0 0 window_gone
            Sleep 100
            IntOp $1 $1 + 1
        ${Loop}
        window_gone:
        ${If} $2 != 0
            System::Call 'kernel32::WaitForSingleObject(p r2, i ${WAIT_SECONDS}000) i .r1'
            System::Call 'kernel32::CloseHandle(p r2)'
        ${EndIf}
        IntOp $3 $3 + 1
        ${If} $3 >= 3
            FindWindow $0 "${CONTROLLER_CLASS}"
            ${If} $0 <> 0
                MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
                    "Tidemeter is still running. Close it from its tray icon, then choose Retry." \
                    /SD IDCANCEL IDRETRY retry
                Abort "Tidemeter is still running."
                retry:
                StrCpy $3 0
            ${EndIf}
        ${EndIf}
    ${Loop}
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro END_RUNNING_PROGRAM ""
!insertmacro END_RUNNING_PROGRAM "un."

Section "Tidemeter" SecProgram
    SectionIn RO
    SetShellVarContext current
    Call EndRunningProgram
    SetOutPath "$INSTDIR"
    SetOverwrite on
    File "/oname=Tidemeter.exe" "${EXE}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "$SMPROGRAMS\Tidemeter.lnk" "$INSTDIR\Tidemeter.exe" "" "$INSTDIR\Tidemeter.exe" 0 \
        SW_SHOWNORMAL "" "Internet speed monitor"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tidemeter.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    !if "${HOMEPAGE}" != ""
        WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "${HOMEPAGE}"
    !endif
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"

    ; A silent upgrade puts back the copy it ended, quietly; an interactive one offers "Start Tidemeter".
    ${If} ${Silent}
    ${AndIf} $R9 = 1
        Exec '"$INSTDIR\Tidemeter.exe" --minimized'
    ${EndIf}
SectionEnd

Section "un.Tidemeter" SecUnProgram
    SectionIn RO
    SetShellVarContext current
    Call un.EndRunningProgram
    Delete "$INSTDIR\Tidemeter.exe"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Tidemeter.lnk"
    DeleteRegValue HKCU "${RUN_KEY}" "Tidemeter"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

; Off unless the user ticks it (or passes /RemoveData), so a silent uninstall keeps the data.
Section /o "un.My settings and usage history" SecUnData
    SetShellVarContext current
    Delete "${DATA}\settings.json"
    Delete "${DATA}\settings.json.tmp"
    Delete "${DATA}\settings.json.corrupt"
    Delete "${DATA}\usage.json"
    Delete "${DATA}\usage.json.tmp"
    Delete "${DATA}\usage.json.corrupt"
    Delete "${DATA}\warnings.json"
    Delete "${DATA}\warnings.json.tmp"
    Delete "${DATA}\warnings.json.corrupt"
    RMDir "${DATA}"
SectionEnd

Function un.onInit
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/RemoveData" $1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecUnData}
    ${EndIf}
FunctionEnd
