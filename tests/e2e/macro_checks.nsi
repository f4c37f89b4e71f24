; What the macros of qvnsis.nsh tell a script, checked from a silent installer: the error flag
; after calls that fail and calls that work, a library that cannot be loaded, the variables the
; macros must keep, the stack, the deskband's release and the unload. Each check writes one line
; "<name>=<value>" to $TEMP\macro_checks.txt, through NSIS itself, so that a library that
; cannot be called cannot hide its own failure.
;   makensis -X"!addincludedir <include>" -DTARGET=<target> -DQVNSIS_DLL=<dll> [-DQVNSIS_DLL64=<dll>]
;            -DOUTFILE=<exe> macro_checks.nsi
Unicode true
Target ${TARGET}
!define QVNSIS_DLL_SOURCE "${QVNSIS_DLL}"
!ifdef QVNSIS_DLL64
  !define QVNSIS_DLL64_SOURCE "${QVNSIS_DLL64}"
!endif
!include "qvnsis.nsh"
!include "LogicLib.nsh"

Name "qvnsis macro checks"
OutFile "${OUTFILE}"
SilentInstall silent
RequestExecutionLevel user

Var Results

!macro CHECK NAME VALUE
  FileWrite $Results "${NAME}=${VALUE}$\r$\n"
!macroend

; The error flag as 1 or 0, without clearing it.
!macro CHECK_FLAG NAME
  ${If} ${Errors}
    !insertmacro CHECK "${NAME}" 1
    SetErrors
  ${Else}
    !insertmacro CHECK "${NAME}" 0
  ${EndIf}
!macroend

Section
  FileOpen $Results "$TEMP\macro_checks.txt" w
  InitPluginsDir
  ; The outcome macros borrow $R8 and $R9; the script's values come back.
  StrCpy $R8 "r8 kept"
  StrCpy $R9 "r9 kept"

  ; The library not in place yet: every kind of call fails, and the stack stays as it was.
  Push "below"
  ${QVNSIS_SetInstallDate}
  !insertmacro CHECK_FLAG "missing-library.status"
  ${QVNSIS_LoadFavorites} "$TEMP\none.txt"
  !insertmacro CHECK_FLAG "missing-library.input"
  ${QVNSIS_IsDeskbandRegistered} $0
  !insertmacro CHECK_FLAG "missing-library.result"
  Pop $1
  !insertmacro CHECK "missing-library.stack" $1

  ${QVNSIS_Extract}
  ; The log cannot fail and leaves the flag as the script had it.
  SetErrors
  ${QVNSIS_Log} "macros: a line"
  !insertmacro CHECK_FLAG "log.after-set"
  ClearErrors
  ${QVNSIS_Log} "macros: another line"
  !insertmacro CHECK_FLAG "log.after-clear"

  ; A call that works clears a flag left from before; one that fails sets it.
  SetErrors
  ${QVNSIS_GetLanguageString} 105 $1
  !insertmacro CHECK_FLAG "string-105.flag"
  !insertmacro CHECK "string-105.text" $1
  ${QVNSIS_GetLanguageString} 117 $1
  !insertmacro CHECK_FLAG "string-117.flag"
  !insertmacro CHECK "string-117.text" $1
  ${QVNSIS_LoadFavorites} "$TEMP\none.txt"
  !insertmacro CHECK_FLAG "favorites-missing.flag"
  ; Without an installation nothing is registered.
  ${QVNSIS_RegisterProtocolHandler}
  !insertmacro CHECK_FLAG "protocol-no-installation.flag"
  ; 0 is an answer here, not a failure.
  ${QVNSIS_IsDeskbandRegistered} $0
  !insertmacro CHECK_FLAG "deskband-registered.flag"
  !insertmacro CHECK "deskband-registered.result" $0
  ; A result of 0 that is the export's failure.
  ${QVNSIS_RegisterDeskband} $0
  !insertmacro CHECK_FLAG "register-deskband.flag"
  !insertmacro CHECK "register-deskband.result" $0
  ${QVNSIS_StopTovin} $0
  !insertmacro CHECK_FLAG "stop.flag"
  !insertmacro CHECK "stop.result" $0
  !insertmacro CHECK "kept.r8" $R8
  !insertmacro CHECK "kept.r9" $R9

  ; The deskband's release, by a copy in the release folder.
  StrCpy $0 "r0 kept"
  ${QVNSIS_RunFreeDeskband} "$PLUGINSDIR\qvnsis.dll"
  !insertmacro CHECK_FLAG "release.flag"
  !insertmacro CHECK "release.r0" $0

  ; Unloaded, the plug-ins folder's copy is free; a later call loads it again.
  ${QVNSIS_Unload}
  !insertmacro CHECK_FLAG "unload.flag"
  System::Call 'kernel32::GetModuleHandleW(w "$PLUGINSDIR\qvnsis.dll") p .r1'
  !insertmacro CHECK "unload.module" $1
  ${QVNSIS_GetLanguageString} 105 $1
  !insertmacro CHECK_FLAG "reload.flag"
  ${QVNSIS_Unload}
  !insertmacro CHECK_FLAG "unload-again.flag"
  ${QVNSIS_Unload}
  !insertmacro CHECK_FLAG "unload-unloaded.flag"
  FileClose $Results
SectionEnd
