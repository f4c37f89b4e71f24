; qvnsis.nsh: one macro per entry point of qvnsis.dll, so that no script writes a System::Call
; string by hand. Argument types and the C calling convention (?c) are written once, here.
;
;   !include "qvnsis.nsh"
;   Section
;     ${QVNSIS_Extract}                ; qvnsis.dll of the installer's bitness into $PLUGINSDIR
;     ${QVNSIS_Log} "install started"
;     ${QVNSIS_StopTovin} $0
;   SectionEnd
;
; Inputs go to the library through the stack, never inside the call string, so a quote in a text
; (a variable's value, or $\' and $\" typed) reaches it whole. Outputs land in the variable named
; last. Every macro works in installer and uninstaller code alike. The library takes UTF-16 text:
; the script needs `Unicode true`.

!ifndef QVNSIS_NSH_INCLUDED
!define QVNSIS_NSH_INCLUDED

; Where the macros call the library. $PLUGINSDIR is where ${QVNSIS_Extract} puts it; define
; QVNSIS_LIBRARY before including this file to call a copy elsewhere ("$INSTDIR\qvnsis").
!ifndef QVNSIS_LIBRARY
  !define QVNSIS_LIBRARY "$PLUGINSDIR\qvnsis"
!endif

; ${QVNSIS_Extract}: puts qvnsis.dll into $PLUGINSDIR. The file comes from NSIS's own plug-in
; folder for the installer's target (Plugins\x86-unicode or Plugins\amd64-unicode), or from
; QVNSIS_DLL_SOURCE when the script defines it.
!define QVNSIS_Extract "!insertmacro QVNSIS_Extract"
!macro QVNSIS_Extract
  !ifndef NSIS_UNICODE
    !error "qvnsis.dll takes UTF-16 text: write Unicode true before including qvnsis.nsh"
  !endif
  InitPluginsDir
  !ifdef QVNSIS_DLL_SOURCE
    File "/oname=$PLUGINSDIR\qvnsis.dll" "${QVNSIS_DLL_SOURCE}"
  !else
    File "/oname=$PLUGINSDIR\qvnsis.dll" "${NSISDIR}\Plugins\${NSIS_CPU}-unicode\qvnsis.dll"
  !endif
!macroend

; Where a 32-bit installer puts the 64-bit qvnsis.dll for the one entry point that must run in a
; 64-bit process on 64-bit Windows (${QVNSIS_RunFreeDeskband}).
!ifndef QVNSIS_LIBRARY64
  !define QVNSIS_LIBRARY64 "$PLUGINSDIR\amd64-unicode\qvnsis.dll"
!endif

!macro QVNSIS_Extract64
  InitPluginsDir
  CreateDirectory "$PLUGINSDIR\amd64-unicode"
  !ifdef QVNSIS_DLL64_SOURCE
    File "/oname=${QVNSIS_LIBRARY64}" "${QVNSIS_DLL64_SOURCE}"
  !else
    File "/oname=${QVNSIS_LIBRARY64}" "${NSISDIR}\Plugins\amd64-unicode\qvnsis.dll"
  !endif
!macroend

; --- Log ---------------------------------------------------------------------------------------

; ${QVNSIS_Log} "text": one line of the day's log. An empty text writes nothing.
!define QVNSIS_Log "!insertmacro QVNSIS_Log"
!macro QVNSIS_Log MESSAGE
  Push "${MESSAGE}"
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_Log(w s) ?c'
!macroend

; ${QVNSIS_LogStartupInfo}: logs the system's version and languages.
!define QVNSIS_LogStartupInfo "!insertmacro QVNSIS_LogStartupInfo"
!macro QVNSIS_LogStartupInfo
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_LogStartupInfo() ?c'
!macroend

; --- Install date, installation folder, language ----------------------------------------------

; ${QVNSIS_SetInstallDate}: records InstallDate, InstallDate2 and ClientId once.
!define QVNSIS_SetInstallDate "!insertmacro QVNSIS_SetInstallDate"
!macro QVNSIS_SetInstallDate
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_SetInstallDate() ?c'
!macroend

; ${QVNSIS_GetInstallDir} $0: the default per-user installation folder.
!define QVNSIS_GetInstallDir "!insertmacro QVNSIS_GetInstallDir"
!macro QVNSIS_GetInstallDir RESULT
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_GetInstallDir(w .s, i ${NSIS_MAX_STRLEN}) ?c'
  Pop ${RESULT}
!macroend

; ${QVNSIS_GetLanguageString} 105 $0: string 105 of the library's table in the user's language.
!define QVNSIS_GetLanguageString "!insertmacro QVNSIS_GetLanguageString"
!macro QVNSIS_GetLanguageString ID RESULT
  Push "${ID}"
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_GetLanguageString(i s, w .s, i ${NSIS_MAX_STRLEN}) ?c'
  Pop ${RESULT}
!macroend

; --- Explorer registrations --------------------------------------------------------------------

; ${QVNSIS_RegisterContextMenuHandlers}: Explorer's "Add to Tovin Menu" verb, for this user.
!define QVNSIS_RegisterContextMenuHandlers "!insertmacro QVNSIS_RegisterContextMenuHandlers"
!macro QVNSIS_RegisterContextMenuHandlers
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_RegisterContextMenuHandlers() ?c'
!macroend

; ${QVNSIS_RegisterProtocolHandler}: the tovin: URL protocol, for this user.
!define QVNSIS_RegisterProtocolHandler "!insertmacro QVNSIS_RegisterProtocolHandler"
!macro QVNSIS_RegisterProtocolHandler
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_RegisterProtocolHandler() ?c'
!macroend

; --- Favourites and app-store pinning ----------------------------------------------------------

; ${QVNSIS_LoadFavorites} "file": imports a UTF-8 list of favourites for the platform to sideload.
!define QVNSIS_LoadFavorites "!insertmacro QVNSIS_LoadFavorites"
!macro QVNSIS_LoadFavorites PATH
  Push "${PATH}"
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_LoadFavorites(w s) ?c'
!macroend

; ${QVNSIS_PinAppStore} $0: pins the app store; $0 is 1 when the database mutex was released.
!define QVNSIS_PinAppStore "!insertmacro QVNSIS_PinAppStore"
!macro QVNSIS_PinAppStore RESULT
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_PinAppStore() i .s ?c'
  Pop ${RESULT}
!macroend

; --- Deskband (each result is 1 or 0) ----------------------------------------------------------

!define QVNSIS_ShowDeskband "!insertmacro QVNSIS_ShowDeskband"
!macro QVNSIS_ShowDeskband RESULT
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_ShowDeskband() i .s ?c'
  Pop ${RESULT}
!macroend

!define QVNSIS_IsDeskbandRegistered "!insertmacro QVNSIS_IsDeskbandRegistered"
!macro QVNSIS_IsDeskbandRegistered RESULT
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_IsDeskbandRegistered() i .s ?c'
  Pop ${RESULT}
!macroend

!define QVNSIS_RegisterDeskband "!insertmacro QVNSIS_RegisterDeskband"
!macro QVNSIS_RegisterDeskband RESULT
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_RegisterDeskband() i .s ?c'
  Pop ${RESULT}
!macroend

; --- Engine control ----------------------------------------------------------------------------

; ${QVNSIS_RunTovin} 1: starts the engine, not waited for; 1 after a fresh installation.
!define QVNSIS_RunTovin "!insertmacro QVNSIS_RunTovin"
!macro QVNSIS_RunTovin PLATFORM_INSTALLED
  Push "${PLATFORM_INSTALLED}"
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_RunTovin(i s) ?c'
!macroend

; ${QVNSIS_RunTovinAndStartApp} 1 "app": starts the engine opening an app. The name goes as bytes
; of the installer's ANSI code page (m).
!define QVNSIS_RunTovinAndStartApp "!insertmacro QVNSIS_RunTovinAndStartApp"
!macro QVNSIS_RunTovinAndStartApp PLATFORM_INSTALLED APP
  ; Parameters pop from the stack left to right: the first one is pushed last.
  Push "${APP}"
  Push "${PLATFORM_INSTALLED}"
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_RunTovinAndStartApp(i s, m s) ?c'
!macroend

; ${QVNSIS_RunTovinAndSideloadApps}: starts the engine to sideload the favourites, waits for it.
!define QVNSIS_RunTovinAndSideloadApps "!insertmacro QVNSIS_RunTovinAndSideloadApps"
!macro QVNSIS_RunTovinAndSideloadApps
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_RunTovinAndSideloadApps() ?c'
!macroend

; ${QVNSIS_StopTovin} $0: takes the deskband down and stops the engine; $0 is 1 when none is left.
!define QVNSIS_StopTovin "!insertmacro QVNSIS_StopTovin"
!macro QVNSIS_StopTovin RESULT
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_StopTovin() i .s ?c'
  Pop ${RESULT}
!macroend

; ${QVNSIS_SendUninstallingStats}: the engine reports the uninstall, then any engine left ends.
!define QVNSIS_SendUninstallingStats "!insertmacro QVNSIS_SendUninstallingStats"
!macro QVNSIS_SendUninstallingStats
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_SendUninstallingStats() ?c'
!macroend

; --- Installer windows and window images -------------------------------------------------------

; ${QVNSIS_SetWindowImage} $hwnd "NAME": an IMAGE resource of the library onto a static control.
!define QVNSIS_SetWindowImage "!insertmacro QVNSIS_SetWindowImage"
!macro QVNSIS_SetWindowImage CONTROL NAME
  Push "${NAME}"
  Push "${CONTROL}"
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_SetWindowImage(p s, w s) ?c'
!macroend

; ${QVNSIS_SetWindowImageFromFile} $hwnd "file": a PNG or JPEG file onto a static control.
!define QVNSIS_SetWindowImageFromFile "!insertmacro QVNSIS_SetWindowImageFromFile"
!macro QVNSIS_SetWindowImageFromFile CONTROL PATH
  Push "${PATH}"
  Push "${CONTROL}"
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_SetWindowImageFromFile(p s, w s) ?c'
!macroend

; ${QVNSIS_StartProgressTextTimer} $hwnd $0: animates a progress label; $0 is the timer, 0 if none.
!define QVNSIS_StartProgressTextTimer "!insertmacro QVNSIS_StartProgressTextTimer"
!macro QVNSIS_StartProgressTextTimer LABEL RESULT
  Push "${LABEL}"
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_StartProgressTextTimer(p s) p .s ?c'
  Pop ${RESULT}
!macroend

; ${QVNSIS_PrepareWindow} $hwnd 1: prepares an installer dialog.
!define QVNSIS_PrepareWindow "!insertmacro QVNSIS_PrepareWindow"
!macro QVNSIS_PrepareWindow DIALOG FLAG
  Push "${FLAG}"
  Push "${DIALOG}"
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_PrepareWindow(p s, i s) ?c'
!macroend

; ${QVNSIS_OpenUninstallSurvey}: opens the uninstall survey in the user's browser.
!define QVNSIS_OpenUninstallSurvey "!insertmacro QVNSIS_OpenUninstallSurvey"
!macro QVNSIS_OpenUninstallSurvey
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_OpenUninstallSurvey() ?c'
!macroend

; --- rundll32.exe entries ----------------------------------------------------------------------
; These two run in a process of their own, not through System::Call: the system's rundll32.exe
; (never one found beside the installer) loads the DLL named by its full path.

; ${QVNSIS_RunFreeDeskband} "$PLUGINSDIR\qvnsis.dll": makes Explorer let go of the deskband library;
; waited for (about 6 s at most). Its hook must run inside Explorer, which has the Windows's own
; bitness, so a 32-bit installer carries the 64-bit qvnsis.dll too and extracts it to
; ${QVNSIS_LIBRARY64}: on 64-bit Windows it runs that one under the 64-bit rundll32.exe
; ($WINDIR\Sysnative\rundll32.exe); on 32-bit Windows it runs DLL as a 64-bit installer does. The
; 64-bit file comes from NSIS's Plugins\amd64-unicode folder, or from QVNSIS_DLL64_SOURCE when the
; script defines it. $0 is kept.
!define QVNSIS_RunFreeDeskband "!insertmacro QVNSIS_RunFreeDeskband"
!macro QVNSIS_RunFreeDeskband DLL
  !if ${NSIS_PTR_SIZE} > 4
    ExecWait '"$SYSDIR\rundll32.exe" "${DLL}",RunFreeDeskbandW'
  !else
    Push $0
    StrCpy $0 0
    ; 0 on 32-bit Windows, and where kernel32 has no IsWow64Process (before XP SP2).
    System::Call 'kernel32::IsWow64Process(p -1, *i 0 r0)'
    ; Put in place before the branch: the relative jumps below step over single instructions.
    !insertmacro QVNSIS_Extract64
    IntCmp $0 0 +4
    ; 64-bit XP and Server 2003 have the Sysnative alias only with update KB942589; without it the
    ; 32-bit run below only times out, where a missing program would set the error flag.
    IfFileExists "$WINDIR\Sysnative\rundll32.exe" 0 +3
      ExecWait '"$WINDIR\Sysnative\rundll32.exe" "${QVNSIS_LIBRARY64}",RunFreeDeskbandW'
      Goto +2
    ExecWait '"$SYSDIR\rundll32.exe" "${DLL}",RunFreeDeskbandW'
    Pop $0
  !endif
!macroend

; ${QVNSIS_RunLaunchPlatform} "$INSTDIR\qvnsis.dll" nowait: registers what the platform needs and
; starts it. On Windows 8 it may wait without limit while the Start screen shows, so an installer
; does not wait for it (nowait); the DLL it names must then outlive the installer's $PLUGINSDIR,
; hence a copy installed in $INSTDIR. `wait` waits for it to end.
!define QVNSIS_RunLaunchPlatform "!insertmacro QVNSIS_RunLaunchPlatform"
!macro QVNSIS_RunLaunchPlatform DLL WAIT
  !if "${WAIT}" == "wait"
    ExecWait '"$SYSDIR\rundll32.exe" "${DLL}",RunLaunchPlatformW'
  !else if "${WAIT}" == "nowait"
    Exec '"$SYSDIR\rundll32.exe" "${DLL}",RunLaunchPlatformW'
  !else
    !error "QVNSIS_RunLaunchPlatform: the second argument is wait or nowait, not ${WAIT}"
  !endif
!macroend

!endif
