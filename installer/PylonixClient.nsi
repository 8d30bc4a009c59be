; The Windows installer of PylonixClient, built by ./pylonix build with makensis:
;   makensis -DVERSION=12.000.000.0000 -DBIN=<folder with the programs> -DOUT=<setup.exe> PylonixClient.nsi
;
; Installs the program, the console check and local.ini into
; Program Files (x86)\Pylonix (Program Files on 32-bit Windows), with
; Start-menu and desktop shortcuts and an entry in Programs and Features.
; Runs silently with /S. /SERVER=host /PORT=n /SITE=/path/login.htm go into
; local.ini; an existing local.ini is kept (only the values given are set).
; The uninstaller removes what was installed; the users' logs stay unless
; it is given /PURGE.
; With -DSIGN=<signing script> the uninstaller is signed before it is packed
; and the setup program once it is written.
Unicode true
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "StrFunc.nsh"
${StrStr}

!ifndef VERSION
  !error "VERSION is not defined"
!endif
!ifndef BIN
  !error "BIN is not defined"
!endif
!ifndef OUT
  !define OUT "PylonixClient-Setup-${VERSION}.exe"
!endif

!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1"' = 0
  !finalize '"${SIGN}" "%1"' = 0
!endif

!define PRODUCT "PylonixClient"
!define PUBLISHER "Pylonix"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES\Pylonix"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails nevershow
ShowUninstDetails nevershow
VIProductVersion "12.0.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Writes KEY of [para] in local.ini when the command line ($R0) gives
; OPTION. The value runs to the next " /" or the end, so a path such as
; /SITE=/norvik/login.htm stays whole.
!macro SetIniFromOption OPTION KEY
  ${StrStr} $R1 " $R0" " ${OPTION}"
  ${If} $R1 != ""
    StrLen $R2 " ${OPTION}"
    StrCpy $R1 $R1 "" $R2
    ${StrStr} $R3 $R1 " /"
    StrLen $R4 $R3
    StrLen $R5 $R1
    IntOp $R5 $R5 - $R4
    StrCpy $R1 $R1 $R5
    WriteINIStr "$INSTDIR\local.ini" "para" "${KEY}" $R1
  ${EndIf}
!macroend

Section "Install"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${BIN}\PylonixClient.exe"
  File "${BIN}\PylonixCheck.exe"

  ; local.ini: a new one is empty (the program's defaults) plus what the
  ; command line gives; an existing one keeps every line it has.
  ${IfNot} ${FileExists} "$INSTDIR\local.ini"
    FileOpen $0 "$INSTDIR\local.ini" w
    FileWrite $0 "[para]$\r$\n"
    FileClose $0
  ${EndIf}
  ${GetParameters} $R0
  !insertmacro SetIniFromOption "/SERVER=" "server_addr"
  !insertmacro SetIniFromOption "/PORT=" "server_port"
  !insertmacro SetIniFromOption "/SITE=" "server_website"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Pylonix"
  CreateShortcut "$SMPROGRAMS\Pylonix\${PRODUCT}.lnk" "$INSTDIR\PylonixClient.exe"
  CreateShortcut "$SMPROGRAMS\Pylonix\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\PylonixClient.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\PylonixClient.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$INSTDIR\PylonixClient.exe"
  Delete "$INSTDIR\PylonixCheck.exe"
  Delete "$INSTDIR\local.ini"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: anything the user put there stays.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Pylonix\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\Pylonix\Uninstall ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\Pylonix"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; The logs of the user who uninstalls, only when asked for.
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/PURGE" $R1
  ${IfNot} ${Errors}
    SetShellVarContext current
    RMDir /r "$APPDATA\Pylonix\logs"
  ${EndIf}
SectionEnd
