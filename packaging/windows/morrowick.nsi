; The Morrowick installer: mwservice.exe as an automatically started service and
; COM server, the configurator with its log-on start and Start-menu entry, the
; local group whose members may change the service, and the uninstall entry.
;
; Built by CMake (target windows-installer) with these defines:
;   VERSION        four numbers, the project's version
;   OUTFILE        the setup program to write
;   MWSERVICE_EXE  MWCONFIG_EXE  MWGROUP_EXE  the programs of the build
;   MW_64BIT       the programs are 64-bit
;
; Command line of the setup program (besides NSIS's own /S and /D=FOLDER):
;   /USERS=a,DOMAIN\b  the accounts put into the group instead of the user
;                      logged on to the session
; and of the uninstaller:
;   /REMOVESETTINGS    also remove the settings file, the log and the list of
;                      undeleted files (kept otherwise)

Unicode true
!ifdef MW_64BIT
    Target amd64-unicode
!else
    Target x86-unicode
!endif
SetCompressor /SOLID lzma
ManifestSupportedOS all
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"

!define PRODUCT "Morrowick"
!define GROUP "Morrowick"
!define SERVICE "mwservice"
!define PUBLISHER "Morrowick"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Morrowick"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Morrowick Configurator"
!define SHORTCUT "$SMPROGRAMS\Morrowick Configurator.lnk"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
!ifdef MW_64BIT
    InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
    InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

Var Users          ; /USERS=..., empty for the session's user
Var InstalledDir   ; the folder of an installed build, empty when there is none

; --- pages ---------------------------------------------------------------

!define MUI_ABORTWARNING
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipDirectoryOnUpgrade
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start the Morrowick Configurator"
!define MUI_FINISHPAGE_RUN_FUNCTION StartConfigurator
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; --- helpers -------------------------------------------------------------

; Removes a program file, also while it runs: a running program cannot be
; deleted but can be renamed, and the renamed file goes at the next restart.
; Sets the error flag when the file is still there.
!macro RemoveProgram FILE
    ClearErrors
    Delete "${FILE}"
    ${If} ${FileExists} "${FILE}"
        Delete "${FILE}.old"
        Rename "${FILE}" "${FILE}.old"
        Delete /REBOOTOK "${FILE}.old"
    ${EndIf}
    ClearErrors
    ${If} ${FileExists} "${FILE}"
        SetErrors
    ${EndIf}
!macroend

; Ends the installation with a message (the only answer in silent mode) and
; exit code 2.
!macro Fail TEXT
    DetailPrint "${TEXT}"
    MessageBox MB_OK|MB_ICONSTOP "${TEXT}" /SD IDOK
    SetErrorLevel 2
    Abort "${TEXT}"
!macroend

; --- installation --------------------------------------------------------

Function .onInit
!ifdef MW_64BIT
    SetRegView 64
!endif
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/USERS=" $Users
    ${If} ${Errors}
        StrCpy $Users ""
    ${ElseIf} $Users == ""
        ; "/USERS=" with nothing after it is a slip, not a request for nobody.
        MessageBox MB_OK|MB_ICONSTOP "/USERS= names no user." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    ; An upgrade stays where the installed build is: its settings live beside it.
    ReadRegStr $InstalledDir HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $InstalledDir != ""
    ${AndIf} ${FileExists} "$InstalledDir\mwservice.exe"
        StrCpy $INSTDIR $InstalledDir
    ${Else}
        StrCpy $InstalledDir ""
    ${EndIf}
FunctionEnd

Function SkipDirectoryOnUpgrade
    ${If} $InstalledDir != ""
        Abort
    ${EndIf}
FunctionEnd

; Started through the shell, so it runs as the desktop's user without this
; installer's elevation: its group membership, not the installer's rights,
; must decide what it may change.
Function StartConfigurator
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\mwconfig.exe"'
FunctionEnd

Section "Morrowick" SecMain
    SectionIn RO

    ; The group comes first: a bad /USERS list ends the installation before
    ; anything else has changed.
    InitPluginsDir
    SetOutPath "$PLUGINSDIR"
    File "/oname=mwgroup.exe" "${MWGROUP_EXE}"
    ${If} $Users == ""
        nsExec::ExecToLog '"$PLUGINSDIR\mwgroup.exe" "${GROUP}"'
    ${Else}
        nsExec::ExecToLog '"$PLUGINSDIR\mwgroup.exe" "${GROUP}" "$Users"'
    ${EndIf}
    Pop $0
    ${If} $0 != 0
        !insertmacro Fail "Could not set up the local group ${GROUP} (error $0); nothing was installed."
    ${EndIf}

    ; An upgrade: the installed service stops and unregisters (the program
    ; waits for it to end) before its files are replaced.
    ${If} ${FileExists} "$INSTDIR\mwservice.exe"
        DetailPrint "Stopping and unregistering the installed service"
        nsExec::ExecToLog '"$INSTDIR\mwservice.exe" -UnregServer /quiet'
        Pop $0
        ${If} $0 != 0
            DetailPrint "The installed service did not unregister cleanly (code $0)"
        ${EndIf}
    ${EndIf}

    SetOutPath "$INSTDIR"
    !insertmacro RemoveProgram "$INSTDIR\mwservice.exe"
    ${If} ${Errors}
        !insertmacro Fail "Could not replace $INSTDIR\mwservice.exe."
    ${EndIf}
    File "/oname=mwservice.exe" "${MWSERVICE_EXE}"
    ; A user's configurator may still run during an upgrade.
    !insertmacro RemoveProgram "$INSTDIR\mwconfig.exe"
    ${If} ${Errors}
        !insertmacro Fail "Could not replace $INSTDIR\mwconfig.exe."
    ${EndIf}
    File "/oname=mwconfig.exe" "${MWCONFIG_EXE}"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The entry before the registration: should that fail, the list of
    ; programs can still remove what was copied.
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\mwconfig.exe",0'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"

    DetailPrint "Registering the service"
    nsExec::ExecToLog '"$INSTDIR\mwservice.exe" -Service /quiet'
    Pop $0
    ${If} $0 != 0
        !insertmacro Fail "Could not register the service (mwservice.exe -Service: $0)."
    ${EndIf}

    ; Every user's log-on starts the configurator in the tray: the service is
    ; the machine's, and a per-user entry would land in the elevated account's
    ; hive, which need not be the desktop's user, and could not be removed for
    ; the other users at uninstallation.
    WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\mwconfig.exe" /hide'
    SetShellVarContext all
    CreateShortcut "${SHORTCUT}" "$INSTDIR\mwconfig.exe"

    ; Started now, so a silent installation cleans on schedule without waiting
    ; for a restart or a first client. Not fatal: the first client starts it.
    nsExec::ExecToLog '"$SYSDIR\net.exe" start ${SERVICE}'
    Pop $0
SectionEnd

; --- uninstallation ------------------------------------------------------

Section "un.Morrowick" SecUnMain
    SectionIn RO
    ${If} ${FileExists} "$INSTDIR\mwservice.exe"
        DetailPrint "Stopping and unregistering the service"
        nsExec::ExecToLog '"$INSTDIR\mwservice.exe" -UnregServer /quiet'
        Pop $0
        ${If} $0 != 0
            DetailPrint "The service did not unregister cleanly (code $0)"
        ${EndIf}
    ${EndIf}

    !insertmacro RemoveProgram "$INSTDIR\mwservice.exe"
    !insertmacro RemoveProgram "$INSTDIR\mwconfig.exe"
    Delete "$INSTDIR\uninstall.exe"

    DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
    SetShellVarContext all
    Delete "${SHORTCUT}"
SectionEnd

Section /o "un.Remove the settings and the log" SecRemoveSettings
    Delete "$INSTDIR\settings.mwk"
    Delete "$INSTDIR\mwservice.log"
    Delete "$INSTDIR\mwservice.log.1"
    Delete "$INSTDIR\undeleted.tmp"
    Delete "$INSTDIR\.mwtmp-*"
SectionEnd

; The entry goes last: an uninstallation that stops half-way stays in the list
; of programs and can be run again, and a script waiting for the entry to go
; knows the work is done.
Section "-un.Entry"
    ; Gone only when empty: the settings stay unless asked for above.
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

; After the sections, whose numbers it needs.
Function un.onInit
!ifdef MW_64BIT
    SetRegView 64
!endif
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVESETTINGS" $1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecRemoveSettings}
    ${EndIf}
FunctionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecRemoveSettings} "Also remove the service's settings file, its log and the list of files it could not delete."
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END
