; The smallest Tovin installer and uninstaller that use qvnsis.dll: record the installation
; folder and date, register Explorer's verb and the tovin: protocol, and take them away again.
;   makensis [-DTARGET=amd64-unicode] [-DOUTFILE=<setup.exe>] minimal.nsi
; It builds as it is from the qvnsis package, unpacked into the NSIS folder or anywhere else: it
; finds Include\ and Plugins\ two folders up from Examples\qvnsis\. -DQVNSIS_DLL=<qvnsis.dll>
; packages another DLL.
Unicode true
!ifndef TARGET
  !define TARGET x86-unicode
!endif
Target ${TARGET}
!ifdef QVNSIS_DLL
  !define QVNSIS_DLL_SOURCE "${QVNSIS_DLL}"
!endif
!addincludedir "..\..\Include"
!ifndef QVNSIS_PLUGINDIR
  !define QVNSIS_PLUGINDIR "..\..\Plugins"
!endif
!include "qvnsis.nsh"
!include "LogicLib.nsh"
!ifndef OUTFILE
  !define OUTFILE "qvnsis-minimal-setup.exe"
!endif

Name "Tovin"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Tovin"

Section "Install"
  ${QVNSIS_Extract}
  ${QVNSIS_Log} "minimal: install started"
  ; The folder is recorded unexpanded (REG_EXPAND_SZ) as the library gives it; the library expands
  ; it wherever it reads it.
  ${QVNSIS_GetInstallDir} $0
  ExpandEnvStrings $INSTDIR $0
  WriteRegExpandStr HKCU "SOFTWARE\Tovin" "InstallDir" $0
  ; Before the folder exists: a first install takes today. A folder left by an earlier install
  ; would give its creation day instead, and a date once recorded is kept.
  ${QVNSIS_SetInstallDate}
  ; Each macro sets the error flag when its call failed; the log says why.
  ${If} ${Errors}
    ${QVNSIS_Log} "minimal: no install date recorded"
  ${EndIf}
  CreateDirectory "$INSTDIR"
  ; The platform itself (tovin.exe and its deskband library) would be copied here.
  ${QVNSIS_RegisterContextMenuHandlers}
  ${If} ${Errors}
    ${QVNSIS_Log} "minimal: the Explorer verb is not registered"
  ${EndIf}
  ${QVNSIS_RegisterProtocolHandler}
  ${If} ${Errors}
    ${QVNSIS_Log} "minimal: the tovin: protocol is not registered"
  ${EndIf}
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; A quote of either kind reaches the log whole: the macros pass text through the stack.
  ${QVNSIS_Log} "minimal: installed to $INSTDIR, the user's own folder"
SectionEnd

; The library is unloaded where NSIS frees plug-ins, so that NSIS can delete $PLUGINSDIR: when
; the installer's window has closed, and in a silent run, which has no window, after the last
; section.
Section "-Unload in a silent run"
  ${If} ${Silent}
    ${QVNSIS_Unload}
  ${EndIf}
SectionEnd

Function .onGUIEnd
  ${QVNSIS_Unload}
FunctionEnd

Section "un.Uninstall"
  ; The uninstaller carries its own copy of the library.
  ${QVNSIS_Extract}
  ${QVNSIS_Log} "minimal: uninstall started"
  ${QVNSIS_StopTovin} $0
  ; The library registers the verb and the protocol but never removes them.
  DeleteRegKey HKCU "Software\Classes\AllFileSystemObjects\shell\tovin"
  DeleteRegKey HKCU "Software\Classes\Directory\shell\tovin"
  DeleteRegKey HKCU "Software\Classes\Drive\shell\tovin"
  DeleteRegKey HKCU "Software\Classes\lnkfile\shell\tovin"
  DeleteRegKey HKCU "Software\Classes\tovin"
  ; InstallDate and ClientId stay: a later install keeps the first install's date and the user's id.
  DeleteRegValue HKCU "SOFTWARE\Tovin" "InstallDir"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ${QVNSIS_Log} "minimal: uninstalled, engines stopped: $0"
SectionEnd

Section "-un.Unload in a silent run"
  ${If} ${Silent}
    ${QVNSIS_Unload}
  ${EndIf}
SectionEnd

Function un.onGUIEnd
  ${QVNSIS_Unload}
FunctionEnd
