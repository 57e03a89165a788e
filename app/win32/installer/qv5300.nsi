; The QV-5300 installer (NSIS 3, makensis, stock plug-ins only). Installs for the current
; user (the default, no administrator rights, no UAC prompt) or for all users of the
; machine (it then asks for administrator rights, and only then), adds a Start-menu
; shortcut, an entry in "Apps & features", an uninstaller and, when chosen, a shortcut in
; the user's Startup folder that starts logging at sign-in. Nothing is replaced or removed
; while the installed QV-5300.exe runs. Uninstalling removes what was installed and
; nothing else: the settings (HKCU\Software\Tavrin QV-5300) and the logs stay.
; Built by scripts/package-windows, which passes:
;   /DVERSION=1.1.0.0 /DEXE=... /DREADME=... /DICON=... /DOUTFILE=...
; Command line: /S silent; /CurrentUser or /AllUsers (the mode page is then not shown; a
; silent /AllUsers without administrator rights ends with 740, elevation required);
; /STARTLOG selects "Start logging when I sign in"; /D=folder last.
; A 64-bit installer for the 64-bit program.
Target amd64-unicode
SetCompressor /SOLID lzma
; Asks for nothing: elevation is requested only for an all-users install (ElevateIfNeeded).
RequestExecutionLevel user

!define PRODUCT "QV-5300"
!define COMPANY "Tavrin"
!define PROGRAM "QV-5300.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavrin QV-5300"
!define ERROR_ELEVATION_REQUIRED 740
!define RUNNING_TEXT "${PRODUCT} is running. Close it (Exit, or the close box) wherever it runs, \
also in other users' sessions, then press Retry.$\r$\n$\r$\nCancel changes nothing."

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${COMPANY}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} installer"
VIAddVersionKey "LegalCopyright" "Tavrin - Division of Orvex, Inc."

!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include nsDialogs.nsh
!include MUI2.nsh

Var Mode        ; "CurrentUser" or "AllUsers"
Var ModeGiven   ; 1 when the command line chose the mode: its page is skipped
Var DirGiven    ; 1 when /D= chose the folder
Var ModePage.AllUsers
Var ModePage.CurrentUser

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
Page custom ModePageShow ModePageLeave
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Waits, before anything is changed, until the installed program file is not running.
; A running program file cannot be opened for writing (Windows holds its image), so this
; finds a copy started from this folder by any user, in any session, of any version.
; Cancel (and silent mode) aborts with nothing changed; the exit code is then 2.
!macro WAIT_UNTIL_NOT_RUNNING
    ${Do}
        ${IfNot} ${FileExists} "$INSTDIR\${PROGRAM}"
            ${Break}
        ${EndIf}
        ClearErrors
        FileOpen $R0 "$INSTDIR\${PROGRAM}" a
        ${IfNot} ${Errors}
            FileClose $R0
            ${Break}
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${RUNNING_TEXT}" /SD IDCANCEL IDRETRY +3
        DetailPrint "Nothing was changed: $INSTDIR\${PROGRAM} is running."
        Abort
    ${Loop}
!macroend

Section "${PRODUCT} (required)" SecProgram
    SectionIn RO
    !insertmacro WAIT_UNTIL_NOT_RUNNING
    SetOutPath "$INSTDIR"
    File "/oname=${PROGRAM}" "${EXE}"
    File "/oname=README.txt" "${README}"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${PROGRAM}"
    ; SHCTX: HKCU for the current user, HKLM for all users, as chosen.
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    ; In KiB, as "Apps & features" reads it: the files of the folder, not below it.
    ${GetSize} "$INSTDIR" "/S=0K /G=0" $R0 $R1 $R2
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $R0
    ; The sign-in shortcut is the installing user's own, whoever the program is for; the
    ; next section makes it again when the option stays chosen.
    SetShellVarContext current
    Delete "$SMSTARTUP\${PRODUCT}.lnk"
    Call ApplyShellContext
SectionEnd

Section /o "Start logging when I sign in" SecSignIn
    SetShellVarContext current
    CreateShortcut "$SMSTARTUP\${PRODUCT}.lnk" "$INSTDIR\${PROGRAM}" "/startlog"
    Call ApplyShellContext
SectionEnd

Section "Uninstall"
    !insertmacro WAIT_UNTIL_NOT_RUNNING
    ; Only the files installed: a log kept in this folder keeps the folder too.
    Delete "$INSTDIR\${PROGRAM}"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    SetShellVarContext current
    Delete "$SMSTARTUP\${PRODUCT}.lnk"
    ; Last, so that an entry is left for as long as something else is.
    Call un.ApplyShellContext
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd

Function ApplyShellContext
    ${If} $Mode == AllUsers
        SetShellVarContext all
    ${Else}
        SetShellVarContext current
    ${EndIf}
FunctionEnd

; The shell context and, unless /D= chose it, the folder of $Mode: where an earlier
; installation in that mode is, else the mode's programs folder.
Function ApplyMode
    Call ApplyShellContext
    ${If} $DirGiven == 1
        Return
    ${EndIf}
    ${If} $Mode == AllUsers
        StrCpy $INSTDIR "$PROGRAMFILES64\${COMPANY}\${PRODUCT}"
    ${Else}
        GetKnownFolderPath $INSTDIR {5CD7AEE2-2219-4A67-B85D-6C9CE15660CB} ; UserProgramFiles
        ${If} $INSTDIR == ""
            StrCpy $INSTDIR "$LOCALAPPDATA\Programs"
        ${EndIf}
        StrCpy $INSTDIR "$INSTDIR\${COMPANY}\${PRODUCT}"
    ${EndIf}
    ReadRegStr $R0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $R0 != ""
        StrCpy $INSTDIR $R0
    ${EndIf}
FunctionEnd

; For an all-users install without administrator rights, starts this setup again through
; UAC with /AllUsers. $R9: "here" (go on in this process), "started" (the elevated copy
; runs; quit) or "refused" (no rights given).
Function ElevateIfNeeded
    StrCpy $R9 here
    UserInfo::GetAccountType
    Pop $R0
    ${If} $Mode != AllUsers
    ${OrIf} $R0 == Admin
        Return
    ${EndIf}
    StrCpy $R9 refused
    ${If} ${Silent}
        SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
        Return
    ${EndIf}
    StrCpy $R1 "/AllUsers"
    ${If} ${SectionIsSelected} ${SecSignIn}
        StrCpy $R1 "$R1 /STARTLOG"
    ${EndIf}
    ClearErrors
    ExecShell "runas" "$EXEPATH" "$R1"
    ${If} ${Errors}
        MessageBox MB_OK|MB_ICONEXCLAMATION "Installing for all users needs administrator rights. \
Choose $\"Only for me$\" to install without them."
    ${Else}
        StrCpy $R9 started
    ${EndIf}
FunctionEnd

Function .onInit
    ${If} $INSTDIR != ""
        StrCpy $DirGiven 1
    ${EndIf}
    ; An earlier installation for all users, and none for this user, is updated in place.
    StrCpy $Mode CurrentUser
    ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $R1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $R0 != ""
    ${AndIf} $R1 == ""
        StrCpy $Mode AllUsers
    ${EndIf}
    ${GetParameters} $R2
    ClearErrors
    ${GetOptions} $R2 "/AllUsers" $R3
    ${IfNot} ${Errors}
        StrCpy $Mode AllUsers
        StrCpy $ModeGiven 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $R2 "/CurrentUser" $R3
    ${IfNot} ${Errors}
        StrCpy $Mode CurrentUser
        StrCpy $ModeGiven 1
    ${EndIf}
    ; Chosen when asked for, or when this user's sign-in shortcut is there already.
    SetShellVarContext current
    ClearErrors
    ${GetOptions} $R2 "/STARTLOG" $R3
    ${IfNot} ${Errors}
    ${OrIf} ${FileExists} "$SMSTARTUP\${PRODUCT}.lnk"
        !insertmacro SelectSection ${SecSignIn}
    ${EndIf}
    ${If} $ModeGiven == 1
        Call ElevateIfNeeded
        ${If} $R9 != here
            Quit
        ${EndIf}
    ${EndIf}
    Call ApplyMode
FunctionEnd

Function ModePageShow
    ${If} $ModeGiven == 1
        Abort
    ${EndIf}
    !insertmacro MUI_HEADER_TEXT "Choose Users" "Choose for whom to install ${PRODUCT}."
    nsDialogs::Create 1018
    Pop $R0
    ${NSD_CreateLabel} 0 0 100% 20u "Install ${PRODUCT} only for you, or for every user of this computer."
    Pop $R0
    ${NSD_CreateRadioButton} 10u 28u -10u 12u "&Only for me (no administrator rights needed)"
    Pop $ModePage.CurrentUser
    ${NSD_CreateRadioButton} 10u 46u -10u 12u "For &all users of this computer (needs administrator rights)"
    Pop $ModePage.AllUsers
    ${If} $Mode == AllUsers
        ${NSD_Check} $ModePage.AllUsers
    ${Else}
        ${NSD_Check} $ModePage.CurrentUser
    ${EndIf}
    nsDialogs::Show
FunctionEnd

Function ModePageLeave
    ${NSD_GetState} $ModePage.AllUsers $R0
    ${If} $R0 == ${BST_CHECKED}
        StrCpy $Mode AllUsers
    ${Else}
        StrCpy $Mode CurrentUser
    ${EndIf}
    Call ElevateIfNeeded
    ${If} $R9 == started
        Quit
    ${ElseIf} $R9 == refused
        Abort
    ${EndIf}
    Call ApplyMode
FunctionEnd

; Installed for all users when the machine's entry names this folder; removing that needs
; administrator rights, asked for through UAC (a silent run without them ends with 740).
Function un.onInit
    StrCpy $Mode CurrentUser
    ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $R0 == $INSTDIR
        StrCpy $Mode AllUsers
    ${EndIf}
    Call un.ApplyShellContext
    UserInfo::GetAccountType
    Pop $R1
    ${If} $Mode == CurrentUser
    ${OrIf} $R1 == Admin
        Return
    ${EndIf}
    ${If} ${Silent}
        SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
        Quit
    ${EndIf}
    ClearErrors
    ExecShell "runas" "$EXEPATH" "_?=$INSTDIR"
    ${If} ${Errors}
        MessageBox MB_OK|MB_ICONEXCLAMATION "Removing ${PRODUCT} for all users needs administrator rights."
    ${EndIf}
    Quit
FunctionEnd

Function un.ApplyShellContext
    ${If} $Mode == AllUsers
        SetShellVarContext all
    ${Else}
        SetShellVarContext current
    ${EndIf}
FunctionEnd
