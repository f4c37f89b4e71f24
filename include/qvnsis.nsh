; qvnsis.nsh: one macro per entry point of qvnsis.dll, so that no script writes a System::Call
; string by hand. Argument types and the C calling convention (?c) are written once, here.
;
;   !define QVNSIS_PLUGINDIR "qvnsis\Plugins"   ; only when the package is not in the NSIS folder
;   !addincludedir "qvnsis\Include"             ; likewise
;   !include "qvnsis.nsh"
;   Section
;     ${QVNSIS_Extract}                ; qvnsis.dll of the installer's bitness into $PLUGINSDIR
;     ${QVNSIS_LoadFavorites} "$PLUGINSDIR\favorites.txt"
;     IfErrors 0 +2
;       DetailPrint "the favourites were not imported (see the log)"
;     ${QVNSIS_StopTovin} $0
;   SectionEnd
;   Function .onGUIEnd
;     ${QVNSIS_Unload}                 ; or $PLUGINSDIR cannot be deleted
;   FunctionEnd
;
; Inputs go to the library through the stack, never inside the call string, so a quote in a text
; (a variable's value, or $\' and $\" typed) reaches it whole. Outputs land in the variable named
; last. Every macro works in installer and uninstaller code alike. The library takes UTF-16 text:
; the script needs `Unicode true`.
;
; The error flag: every macro of a call that can fail clears it first and sets it when the call
; failed (the library could not be called, the export reported a failure, or its result is the
; failure value), so IfErrors right after the macro tells about that call alone. The library's
; log says why. ${QVNSIS_Log} and ${QVNSIS_LogStartupInfo} cannot fail and leave the flag as it
; was. Macros keep $0-$9 and $R0-$R9 except the variable they are given for an output.

!ifndef QVNSIS_NSH_INCLUDED
!define QVNSIS_NSH_INCLUDED

; The package's version; the packaging step writes the project's version here.
!define QVNSIS_VERSION "0.0.0.0"

; Where the macros call the library. $PLUGINSDIR is where ${QVNSIS_Extract} puts it; define
; QVNSIS_LIBRARY (without .dll) before including this file to call a copy elsewhere
; ("$INSTDIR\qvnsis").
!ifndef QVNSIS_LIBRARY
  !define QVNSIS_LIBRARY "$PLUGINSDIR\qvnsis"
!endif

; Where the DLLs come from at compile time, for each target the same way: QVNSIS_DLL_SOURCE (the
; installer's own) and QVNSIS_DLL64_SOURCE (the 64-bit one a 32-bit installer carries for the
; deskband's release) name files; otherwise QVNSIS_PLUGINDIR, the package's Plugins folder kept
; beside the script (relative paths start at the script's folder), which is also given to
; !addplugindir; otherwise NSIS's own Plugins folder.
!ifdef QVNSIS_PLUGINDIR
  !addplugindir /x86-unicode "${QVNSIS_PLUGINDIR}\x86-unicode"
  !addplugindir /amd64-unicode "${QVNSIS_PLUGINDIR}\amd64-unicode"
!endif

; Where ${QVNSIS_RunFreeDeskband} puts the copy of the DLL that Explorer loads for the release.
; Explorer may keep it loaded after the release (Windows frees a hook's library from other
; processes only later), so it is not $PLUGINSDIR, which NSIS deletes when the installer ends:
; a folder of the user's own, whose copies ${QVNSIS_RunFreeDeskband} and ${QVNSIS_Unload} delete
; once Explorer has let go of them.
!ifndef QVNSIS_RELEASE_DIR
  !define QVNSIS_RELEASE_DIR "$LOCALAPPDATA\qvnsis-release"
!endif

; --- Internal helpers ----------------------------------------------------------------------------

; Defines _QVNSIS_DLL as the qvnsis.dll for TARGET (x86-unicode or amd64-unicode), from
; QVNSIS_PLUGINDIR or NSIS's Plugins folder, and stops the compile when it is not there.
!macro _QVNSIS_FindDll TARGET
  !ifdef QVNSIS_PLUGINDIR
    !define /redef _QVNSIS_DLL "${QVNSIS_PLUGINDIR}\${TARGET}\qvnsis.dll"
  !else
    !define /redef _QVNSIS_DLL "${NSISDIR}\Plugins\${TARGET}\qvnsis.dll"
  !endif
  !if ! /FileExists "${_QVNSIS_DLL}"
    !error "qvnsis.nsh: ${_QVNSIS_DLL} not found. Unpack the qvnsis package into the NSIS folder, or !define QVNSIS_PLUGINDIR as the package's Plugins folder before !include qvnsis.nsh."
  !endif
!macroend

; After a call made with ?cer (an export without a result): on the stack the thread's last error,
; which the export sets to 0 when it did its work, then System's "ok" (the call was made) or
; "error" (the library or the export could not be loaded). Sets the error flag for a failure.
!macro _QVNSIS_StatusOutcome
  Exch $R9
  Exch
  Exch $R8
  ClearErrors
  StrCmp $R8 "ok" 0 +2
  IntCmp $R9 0 +2
  SetErrors
  Pop $R8
  Pop $R9
!macroend

; After a call made with ?cr (an export with a result): on the stack System's "ok" or "error";
; the result is below it.
!macro _QVNSIS_CallOutcome
  Exch $R9
  ClearErrors
  StrCmp $R9 "ok" +2
  SetErrors
  Pop $R9
!macroend

; A result of 0 is the export's failure.
!macro _QVNSIS_FailOnZero RESULT
  IntCmp ${RESULT} 0 0 +2 +2
  SetErrors
!macroend

; Deletes the release copies Explorer no longer holds; the error flag may be left set.
!macro _QVNSIS_SweepReleaseCopies
  Delete "${QVNSIS_RELEASE_DIR}\qvnsis-*.dll"
  RMDir "${QVNSIS_RELEASE_DIR}"
!macroend

; --- Extracting and unloading --------------------------------------------------------------------

; ${QVNSIS_Extract}: puts qvnsis.dll of the installer's target into $PLUGINSDIR.
!define QVNSIS_Extract "!insertmacro QVNSIS_Extract"
!macro QVNSIS_Extract
  !ifndef NSIS_UNICODE
    !error "qvnsis.dll takes UTF-16 text: write Unicode true before including qvnsis.nsh"
  !endif
  InitPluginsDir
  !ifdef QVNSIS_DLL_SOURCE
    File "/oname=$PLUGINSDIR\qvnsis.dll" "${QVNSIS_DLL_SOURCE}"
  !else
    !insertmacro _QVNSIS_FindDll "${NSIS_CPU}-unicode"
    File "/oname=$PLUGINSDIR\qvnsis.dll" "${_QVNSIS_DLL}"
  !endif
!macroend

; ${QVNSIS_Unload}: unloads the library from the installer, so that NSIS can delete $PLUGINSDIR
; when the installer ends (System::Call keeps a DLL loaded until asked; a file still loaded would
; be left in %TEMP%, or queued for deletion at reboot, which needs administrator rights). Call it
; where NSIS expects plug-ins to be freed: in .onGUIEnd and un.onGUIEnd, and in a silent run
; after the last call of the library (.onGUIEnd is not called then). A prepared dialog that still
; exists, or a progress-text timer of another thread that still runs, keeps the library loaded:
; the error flag is then set. Any later macro loads the library again. Also deletes the release
; copies Explorer has let go of.
!define QVNSIS_Unload "!insertmacro QVNSIS_Unload"
!macro QVNSIS_Unload
  !define /redef _QVNSIS_ID ${__COUNTER__}
  Push $0
  Push $1
  !insertmacro _QVNSIS_SweepReleaseCopies
  ClearErrors
  System::Call 'kernel32::GetModuleHandleW(w "${QVNSIS_LIBRARY}.dll") p .r0'
  StrCmp $0 0 _qvnsis_unloaded_${_QVNSIS_ID}
  ; How many times to free it: once for System's load, once more for a hold of the library's own.
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_PrepareUnload() i .r1 ?c'
  IntCmp $1 0 _qvnsis_kept_${_QVNSIS_ID} _qvnsis_kept_${_QVNSIS_ID}
  _qvnsis_free_${_QVNSIS_ID}:
    System::Call 'kernel32::FreeLibrary(p r0)'
    IntOp $1 $1 - 1
    System::Call 'kernel32::GetModuleHandleW(w "${QVNSIS_LIBRARY}.dll") p .r0'
    StrCmp $0 0 _qvnsis_unloaded_${_QVNSIS_ID}
    IntCmp $1 0 _qvnsis_kept_${_QVNSIS_ID} _qvnsis_kept_${_QVNSIS_ID} _qvnsis_free_${_QVNSIS_ID}
  _qvnsis_kept_${_QVNSIS_ID}:
    SetErrors
  _qvnsis_unloaded_${_QVNSIS_ID}:
  Pop $1
  Pop $0
!macroend

; --- Log ---------------------------------------------------------------------------------------

; ${QVNSIS_Log} "text": one line of the day's log. An empty text writes nothing. Cannot fail.
!define QVNSIS_Log "!insertmacro QVNSIS_Log"
!macro QVNSIS_Log MESSAGE
  Push "${MESSAGE}"
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_Log(w s) ?c'
!macroend

; ${QVNSIS_LogStartupInfo}: logs the system's version and languages. Cannot fail.
!define QVNSIS_LogStartupInfo "!insertmacro QVNSIS_LogStartupInfo"
!macro QVNSIS_LogStartupInfo
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_LogStartupInfo() ?c'
!macroend

; --- Install date, installation folder, language ----------------------------------------------

; ${QVNSIS_SetInstallDate}: records InstallDate, InstallDate2 and ClientId once. Error flag: no
; date recorded.
!define QVNSIS_SetInstallDate "!insertmacro QVNSIS_SetInstallDate"
!macro QVNSIS_SetInstallDate
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_SetInstallDate() ?cer'
  !insertmacro _QVNSIS_StatusOutcome
!macroend

; ${QVNSIS_GetInstallDir} $0: the default per-user installation folder, unexpanded. Error flag:
; no folder to name ($0 empty).
!define QVNSIS_GetInstallDir "!insertmacro QVNSIS_GetInstallDir"
!macro QVNSIS_GetInstallDir RESULT
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_GetInstallDir(w .s, i ${NSIS_MAX_STRLEN}) ?cer'
  !insertmacro _QVNSIS_StatusOutcome
  Pop ${RESULT}
!macroend

; ${QVNSIS_GetLanguageString} 105 $0: string 105 of the library's table in the user's language.
; Error flag: no such string ($0 is "string id 105 missing").
!define QVNSIS_GetLanguageString "!insertmacro QVNSIS_GetLanguageString"
!macro QVNSIS_GetLanguageString ID RESULT
  Push "${ID}"
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_GetLanguageString(i s, w .s, i ${NSIS_MAX_STRLEN}) ?cer'
  !insertmacro _QVNSIS_StatusOutcome
  Pop ${RESULT}
!macroend

; --- Explorer registrations --------------------------------------------------------------------

; ${QVNSIS_RegisterContextMenuHandlers}: Explorer's "Add to Tovin Menu" verb, for this user.
; Error flag: not every key written (no installation, or the registry refused).
!define QVNSIS_RegisterContextMenuHandlers "!insertmacro QVNSIS_RegisterContextMenuHandlers"
!macro QVNSIS_RegisterContextMenuHandlers
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_RegisterContextMenuHandlers() ?cer'
  !insertmacro _QVNSIS_StatusOutcome
!macroend

; ${QVNSIS_RegisterProtocolHandler}: the tovin: URL protocol, for this user. Error flag as above.
!define QVNSIS_RegisterProtocolHandler "!insertmacro QVNSIS_RegisterProtocolHandler"
!macro QVNSIS_RegisterProtocolHandler
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_RegisterProtocolHandler() ?cer'
  !insertmacro _QVNSIS_StatusOutcome
!macroend

; --- Favourites and app-store pinning ----------------------------------------------------------

; ${QVNSIS_LoadFavorites} "file": imports a list of favourites for the platform to sideload.
; Error flag: not every entry stored (no file, unreadable, neither UTF-8 nor marked UTF-16, the
; registry refused).
!define QVNSIS_LoadFavorites "!insertmacro QVNSIS_LoadFavorites"
!macro QVNSIS_LoadFavorites PATH
  Push "${PATH}"
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_LoadFavorites(w s) ?cer'
  !insertmacro _QVNSIS_StatusOutcome
!macroend

; ${QVNSIS_PinAppStore} $0: pins the app store in the platform's database; $0 is 1 when it is
; pinned there afterwards. Error flag: $0 is 0.
!define QVNSIS_PinAppStore "!insertmacro QVNSIS_PinAppStore"
!macro QVNSIS_PinAppStore RESULT
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_PinAppStore() i .s ?cr'
  !insertmacro _QVNSIS_CallOutcome
  Pop ${RESULT}
  !insertmacro _QVNSIS_FailOnZero ${RESULT}
!macroend

; --- Deskband (each result is 1 or 0) ----------------------------------------------------------

; ${QVNSIS_ShowDeskband} $0: 1 once the deskband shows in the taskbar. Error flag: $0 is 0.
!define QVNSIS_ShowDeskband "!insertmacro QVNSIS_ShowDeskband"
!macro QVNSIS_ShowDeskband RESULT
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_ShowDeskband() i .s ?cr'
  !insertmacro _QVNSIS_CallOutcome
  Pop ${RESULT}
  !insertmacro _QVNSIS_FailOnZero ${RESULT}
!macroend

; ${QVNSIS_IsDeskbandRegistered} $0: 1 when a deskband build is registered for the user, 0 when
; none is (an answer, not a failure). Error flag: only when the library could not be called.
!define QVNSIS_IsDeskbandRegistered "!insertmacro QVNSIS_IsDeskbandRegistered"
!macro QVNSIS_IsDeskbandRegistered RESULT
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_IsDeskbandRegistered() i .s ?cr'
  !insertmacro _QVNSIS_CallOutcome
  Pop ${RESULT}
!macroend

; ${QVNSIS_RegisterDeskband} $0: 1 when a build is registered afterwards. Error flag: $0 is 0.
!define QVNSIS_RegisterDeskband "!insertmacro QVNSIS_RegisterDeskband"
!macro QVNSIS_RegisterDeskband RESULT
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_RegisterDeskband() i .s ?cr'
  !insertmacro _QVNSIS_CallOutcome
  Pop ${RESULT}
  !insertmacro _QVNSIS_FailOnZero ${RESULT}
!macroend

; --- Engine control ----------------------------------------------------------------------------

; ${QVNSIS_RunTovin} 1: starts the engine, not waited for; 1 after a fresh installation. Error
; flag: the engine did not start (no installation, no engine file).
!define QVNSIS_RunTovin "!insertmacro QVNSIS_RunTovin"
!macro QVNSIS_RunTovin PLATFORM_INSTALLED
  Push "${PLATFORM_INSTALLED}"
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_RunTovin(i s) ?cer'
  !insertmacro _QVNSIS_StatusOutcome
!macroend

; ${QVNSIS_RunTovinAndStartApp} 1 "app": starts the engine opening an app. The name goes as bytes
; of the installer's ANSI code page (m). Error flag as for ${QVNSIS_RunTovin}.
!define QVNSIS_RunTovinAndStartApp "!insertmacro QVNSIS_RunTovinAndStartApp"
!macro QVNSIS_RunTovinAndStartApp PLATFORM_INSTALLED APP
  ; Parameters pop from the stack left to right: the first one is pushed last.
  Push "${APP}"
  Push "${PLATFORM_INSTALLED}"
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_RunTovinAndStartApp(i s, m s) ?cer'
  !insertmacro _QVNSIS_StatusOutcome
!macroend

; ${QVNSIS_RunTovinAndSideloadApps}: starts the engine to sideload the favourites, waits for it
; up to 15 s. Error flag: the engine did not start.
!define QVNSIS_RunTovinAndSideloadApps "!insertmacro QVNSIS_RunTovinAndSideloadApps"
!macro QVNSIS_RunTovinAndSideloadApps
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_RunTovinAndSideloadApps() ?cer'
  !insertmacro _QVNSIS_StatusOutcome
!macroend

; ${QVNSIS_StopTovin} $0: takes the deskband down and stops the engine; $0 is 1 when none is left.
; Error flag: $0 is 0.
!define QVNSIS_StopTovin "!insertmacro QVNSIS_StopTovin"
!macro QVNSIS_StopTovin RESULT
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_StopTovin() i .s ?cr'
  !insertmacro _QVNSIS_CallOutcome
  Pop ${RESULT}
  !insertmacro _QVNSIS_FailOnZero ${RESULT}
!macroend

; ${QVNSIS_SendUninstallingStats}: the engine reports the uninstall, then any engine left ends.
; Error flag: the engine did not start, or an engine outlasted the sweep.
!define QVNSIS_SendUninstallingStats "!insertmacro QVNSIS_SendUninstallingStats"
!macro QVNSIS_SendUninstallingStats
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_SendUninstallingStats() ?cer'
  !insertmacro _QVNSIS_StatusOutcome
!macroend

; --- Installer windows and window images -------------------------------------------------------

; ${QVNSIS_SetWindowImage} $hwnd "NAME": an IMAGE resource of the library onto a static control.
; Error flag: nothing painted (no such resource, not a window).
!define QVNSIS_SetWindowImage "!insertmacro QVNSIS_SetWindowImage"
!macro QVNSIS_SetWindowImage CONTROL NAME
  Push "${NAME}"
  Push "${CONTROL}"
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_SetWindowImage(p s, w s) ?cer'
  !insertmacro _QVNSIS_StatusOutcome
!macroend

; ${QVNSIS_SetWindowImageFromFile} $hwnd "file": a PNG or JPEG file onto a static control. Error
; flag: nothing painted (no file, not a picture, not a window).
!define QVNSIS_SetWindowImageFromFile "!insertmacro QVNSIS_SetWindowImageFromFile"
!macro QVNSIS_SetWindowImageFromFile CONTROL PATH
  Push "${PATH}"
  Push "${CONTROL}"
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_SetWindowImageFromFile(p s, w s) ?cer'
  !insertmacro _QVNSIS_StatusOutcome
!macroend

; ${QVNSIS_StartProgressTextTimer} $hwnd $0: animates a progress label; $0 is the timer. Error
; flag: $0 is 0 (not a window).
!define QVNSIS_StartProgressTextTimer "!insertmacro QVNSIS_StartProgressTextTimer"
!macro QVNSIS_StartProgressTextTimer LABEL RESULT
  Push "${LABEL}"
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_StartProgressTextTimer(p s) p .s ?cr'
  !insertmacro _QVNSIS_CallOutcome
  Pop ${RESULT}
  !insertmacro _QVNSIS_FailOnZero ${RESULT}
!macroend

; ${QVNSIS_PrepareWindow} $hwnd 1: prepares an installer dialog. Error flag: not prepared (not a
; window of this thread).
!define QVNSIS_PrepareWindow "!insertmacro QVNSIS_PrepareWindow"
!macro QVNSIS_PrepareWindow DIALOG FLAG
  Push "${FLAG}"
  Push "${DIALOG}"
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_PrepareWindow(p s, i s) ?cer'
  !insertmacro _QVNSIS_StatusOutcome
!macroend

; ${QVNSIS_OpenUninstallSurvey}: opens the uninstall survey in the user's browser. Error flag: no
; browser could be started.
!define QVNSIS_OpenUninstallSurvey "!insertmacro QVNSIS_OpenUninstallSurvey"
!macro QVNSIS_OpenUninstallSurvey
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_OpenUninstallSurvey() ?cer'
  !insertmacro _QVNSIS_StatusOutcome
!macroend

; --- rundll32.exe entries ----------------------------------------------------------------------
; These two run in a process of their own, not through System::Call: the system's rundll32.exe
; (never one found beside the installer) loads the DLL named by its full path.

; ${QVNSIS_RunFreeDeskband} "$PLUGINSDIR\qvnsis.dll": makes Explorer let go of the deskband
; library; waited for (about 6 s at most). Its hook loads the DLL into Explorer, which has the
; Windows's own bitness, and which may keep it loaded after the release: the macro runs a copy of
; the DLL in QVNSIS_RELEASE_DIR, never the installer's own, so that one can be unloaded and
; $PLUGINSDIR deleted; the same copy is run again while Explorer still holds it. On 64-bit Windows
; a 32-bit installer carries the 64-bit qvnsis.dll too and runs that copy under the 64-bit
; rundll32.exe ($WINDIR\Sysnative\rundll32.exe); the 64-bit DLL needs Vista, so on 64-bit XP and
; Server 2003 nothing is run. Elsewhere the copy is of DLL, run under $SYSDIR\rundll32.exe. Error
; flag: nothing run there, rundll32.exe did not start, or Explorer did not confirm the release
; (the event "TovinFreeDeskbandEvent" the hook signals).
!define QVNSIS_RunFreeDeskband "!insertmacro QVNSIS_RunFreeDeskband"
!macro QVNSIS_RunFreeDeskband DLL
  !define /redef _QVNSIS_ID ${__COUNTER__}
  !ifndef _QVNSIS_RELEASE_COPY_DECLARED
    !define _QVNSIS_RELEASE_COPY_DECLARED
    ; The copy this installer ran last. While Explorer still holds it, it is run again: loading it
    ; again costs Explorer nothing, where each new copy would be one more library in it.
    Var /GLOBAL _QVNSIS_ReleaseCopy
  !endif
  Push $0  ; the copy
  Push $1  ; rundll32.exe
  Push $2
  StrCpy $0 ""
  !insertmacro _QVNSIS_SweepReleaseCopies
  ClearErrors
  !if ${NSIS_PTR_SIZE} > 4
    StrCpy $1 "$SYSDIR\rundll32.exe"
  !else
    StrCpy $1 0
    ; 0 on 32-bit Windows, and where kernel32 has no IsWow64Process (before XP SP2).
    System::Call 'kernel32::IsWow64Process(p -1, *i 0 r1)'
    IntCmp $1 0 _qvnsis_native_${_QVNSIS_ID}
    ; The version as the system is, whatever the installer's manifest says.
    System::Call '*(i 276, i, i, i, i, &w128) p .r2'
    System::Call 'ntdll::RtlGetVersion(p r2)'
    System::Call '*$2(i, i .r1)'
    System::Free $2
    IntCmp $1 6 0 _qvnsis_failed_${_QVNSIS_ID}
    StrCpy $1 "$WINDIR\Sysnative\rundll32.exe"
    IfFileExists "$1" _qvnsis_copy_${_QVNSIS_ID} _qvnsis_failed_${_QVNSIS_ID}
    _qvnsis_native_${_QVNSIS_ID}:
    StrCpy $1 "$SYSDIR\rundll32.exe"
    _qvnsis_copy_${_QVNSIS_ID}:
  !endif
  ; The sweep has deleted the last copy unless Explorer still holds it.
  StrCpy $0 $_QVNSIS_ReleaseCopy
  StrCmp $0 "" _qvnsis_new_${_QVNSIS_ID}
  IfFileExists "$0" _qvnsis_run_${_QVNSIS_ID}
  _qvnsis_new_${_QVNSIS_ID}:
  CreateDirectory "${QVNSIS_RELEASE_DIR}"
  System::Call 'kernel32::GetTickCount() i .r2'
  _qvnsis_name_${_QVNSIS_ID}:
    StrCpy $0 "${QVNSIS_RELEASE_DIR}\qvnsis-$2.dll"
    IntOp $2 $2 + 1
    IfFileExists "$0" _qvnsis_name_${_QVNSIS_ID}
  ClearErrors
  !if ${NSIS_PTR_SIZE} <= 4
    StrCmp $1 "$WINDIR\Sysnative\rundll32.exe" 0 _qvnsis_copy_native_${_QVNSIS_ID}
    !ifdef QVNSIS_DLL64_SOURCE
      File "/oname=$0" "${QVNSIS_DLL64_SOURCE}"
    !else
      !insertmacro _QVNSIS_FindDll amd64-unicode
      File "/oname=$0" "${_QVNSIS_DLL}"
    !endif
    IfErrors _qvnsis_failed_${_QVNSIS_ID} _qvnsis_made_${_QVNSIS_ID}
    _qvnsis_copy_native_${_QVNSIS_ID}:
  !endif
  System::Call 'kernel32::CopyFileW(w "${DLL}", w r0, i 1) i .r2'
  StrCmp $2 0 _qvnsis_failed_${_QVNSIS_ID} _qvnsis_made_${_QVNSIS_ID}
  _qvnsis_made_${_QVNSIS_ID}:
  StrCpy $_QVNSIS_ReleaseCopy $0
  _qvnsis_run_${_QVNSIS_ID}:
  ; Held open here, the event keeps what the hook signals after rundll32.exe has ended.
  System::Call 'kernel32::CreateEventW(p 0, i 1, i 0, w "TovinFreeDeskbandEvent") p .r2'
  ExecWait '"$1" "$0",RunFreeDeskbandW'
  ; IfErrors clears the flag: it is set again below.
  IfErrors _qvnsis_unconfirmed_${_QVNSIS_ID}
  System::Call 'kernel32::WaitForSingleObject(p r2, i 0) i .r1'
  IntCmp $1 0 _qvnsis_close_${_QVNSIS_ID}
  _qvnsis_unconfirmed_${_QVNSIS_ID}:
    SetErrors
  _qvnsis_close_${_QVNSIS_ID}:
  System::Call 'kernel32::CloseHandle(p r2)'
  ; Gone now unless Explorer still holds it; a later sweep takes it then.
  System::Call 'kernel32::DeleteFileW(w r0)'
  Goto _qvnsis_done_${_QVNSIS_ID}
  _qvnsis_failed_${_QVNSIS_ID}:
    StrCmp $0 "" +2
      System::Call 'kernel32::DeleteFileW(w r0)'
    SetErrors
  _qvnsis_done_${_QVNSIS_ID}:
  Pop $2
  Pop $1
  Pop $0
!macroend

; ${QVNSIS_RunLaunchPlatform} "$INSTDIR\qvnsis.dll" nowait: registers what the platform needs and
; starts it. On Windows 8 it may wait without limit while the Start screen shows, so an installer
; does not wait for it (nowait); the DLL it names must then outlive the installer's $PLUGINSDIR,
; hence a copy installed in $INSTDIR. `wait` waits for it to end. Error flag: rundll32.exe did not
; start; how the launch went is in the log only.
!define QVNSIS_RunLaunchPlatform "!insertmacro QVNSIS_RunLaunchPlatform"
!macro QVNSIS_RunLaunchPlatform DLL WAIT
  ClearErrors
  !if "${WAIT}" == "wait"
    ExecWait '"$SYSDIR\rundll32.exe" "${DLL}",RunLaunchPlatformW'
  !else if "${WAIT}" == "nowait"
    Exec '"$SYSDIR\rundll32.exe" "${DLL}",RunLaunchPlatformW'
  !else
    !error "QVNSIS_RunLaunchPlatform: the second argument is wait or nowait, not ${WAIT}"
  !endif
!macroend

!endif
