; An installer engineer's own script, with the qvnsis package unpacked into qvnsis\ beside it (kept
; with the script, as NSIS users keep plug-ins): the package's README's first lines, then a small
; install and uninstall. The end-to-end test builds it with an NSIS that has no qvnsis of its own.
!define QVNSIS_PLUGINDIR "qvnsis\Plugins"
!addincludedir "qvnsis\Include"
Unicode true
!ifndef TARGET
  !define TARGET x86-unicode
!endif
Target ${TARGET}
!include "qvnsis.nsh"
!include "LogicLib.nsh"

Name "Tovin"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Tovin"

Section
  ${QVNSIS_Extract}
  ${QVNSIS_Log} "user script: qvnsis ${QVNSIS_VERSION}"
  ${QVNSIS_GetInstallDir} $0
  ExpandEnvStrings $INSTDIR $0
  WriteRegExpandStr HKCU "SOFTWARE\Tovin" "InstallDir" $0
  ${QVNSIS_SetInstallDate}
  ${If} ${Errors}
    ${QVNSIS_Log} "user script: no install date"
  ${EndIf}
  CreateDirectory "$INSTDIR"
  ; A 32-bit installer takes the 64-bit DLL for this from the same Plugins folder.
  ${QVNSIS_RunFreeDeskband} "$PLUGINSDIR\qvnsis.dll"
  ${If} ${Errors}
    ${QVNSIS_Log} "user script: the release was not confirmed"
  ${EndIf}
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ${QVNSIS_Log} "user script: installed"
SectionEnd

Section "-Unload"
  ${If} ${Silent}
    ${QVNSIS_Unload}
  ${EndIf}
SectionEnd

Function .onGUIEnd
  ${QVNSIS_Unload}
FunctionEnd

Section "un.Uninstall"
  ${QVNSIS_Extract}
  ${QVNSIS_StopTovin} $0
  DeleteRegValue HKCU "SOFTWARE\Tovin" "InstallDir"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ${QVNSIS_Log} "user script: uninstalled, engines stopped: $0"
SectionEnd

Section "-un.Unload"
  ${If} ${Silent}
    ${QVNSIS_Unload}
  ${EndIf}
SectionEnd

Function un.onGUIEnd
  ${QVNSIS_Unload}
FunctionEnd
