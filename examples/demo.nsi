; The qvnsis demo installer: calls the library's exports the way a Tovin installer does, in the
; order a Tovin installer makes them, and its uninstaller the uninstall calls.
;   makensis [-DTARGET=amd64-unicode] [-DOUTFILE=<setup.exe>] demo.nsi
; It builds as it is from the qvnsis package, unpacked into the NSIS folder or anywhere else: it
; finds Include\ and Plugins\ two folders up from Examples\qvnsis\. A 32-bit installer (the
; default target) also carries the 64-bit DLL, for the deskband's release on 64-bit Windows.
; `make demo` builds it from the source tree, against the simulated platform of the tests:
;   makensis "-X!addincludedir <source>\include" -DQVNSIS_DLL=<qvnsis.dll> -DQVNSIS_FIXTURES=<folder> ... demo.nsi
; QVNSIS_DLL and QVNSIS_DLL64 name other DLLs to package.
Unicode true
!ifndef TARGET
  !define TARGET x86-unicode
!endif
Target ${TARGET}

!ifdef QVNSIS_DLL
  !define QVNSIS_DLL_SOURCE "${QVNSIS_DLL}"
!endif
!ifdef QVNSIS_DLL64
  !define QVNSIS_DLL64_SOURCE "${QVNSIS_DLL64}"
!endif
; The package's Include and Plugins folders (makensis reads relative paths from the script's
; folder).
!addincludedir "..\..\Include"
!ifndef QVNSIS_PLUGINDIR
  !define QVNSIS_PLUGINDIR "..\..\Plugins"
!endif
!include "qvnsis.nsh"
!include "LogicLib.nsh"
!ifndef OUTFILE
  !define OUTFILE "qvnsis-demo-setup.exe"
!endif

; Where COM looks up the taskbar's deskband object (CLSID_TrayDeskBand).
!define TRAY_DESKBAND_CLASS "Software\Classes\CLSID\{E6442437-6C68-4F52-94DD-2CFED267EFB9}"

Name "qvnsis demo"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Tovin"
!ifdef QVNSIS_DEMO_UI
  ; With its own main window (demo_ui.rc, built into a resource-only DLL): pages when run
  ; without /S; with /S the same silent run as below.
  !include "demo_pages.nsh"
!else
SilentInstall silent
!endif

Section "Install"
!ifdef QVNSIS_DEMO_UI
  IfSilent +3
    Call DemoPagesInstall
    Return
!endif
  ${QVNSIS_Extract}
  File "/oname=$PLUGINSDIR\favorites.txt" "favorites.txt"
  File "/oname=$PLUGINSDIR\banner.png" "banner.png"
!ifdef QVNSIS_FIXTURES
  ; A stand-in for Windows 7's taskbar deskband object (Wine has none), with the host that puts
  ; band windows below Wine's taskbar, registered where COM looks for it. With -DTASKBAR_PROCESS
  ; the object is served instead by a stand-in for Explorer's process that the caller runs, as on
  ; 64-bit Windows, where a 32-bit installer reaches it across processes.
  CreateDirectory "$TEMP\qvnsis-demo"
!ifndef TASKBAR_PROCESS
  File "/oname=$TEMP\qvnsis-demo\qvtraydeskband.dll" "${QVNSIS_FIXTURES}\qvtraydeskband.dll"
  File "/oname=$TEMP\qvnsis-demo\qvbandhost.exe" "${QVNSIS_FIXTURES}\qvbandhost.exe"
  WriteRegStr HKLM "${TRAY_DESKBAND_CLASS}" "RecordFile" "$TEMP\qvnsis-demo\tray_record.txt"
  WriteRegStr HKLM "${TRAY_DESKBAND_CLASS}\InprocServer32" "" "$TEMP\qvnsis-demo\qvtraydeskband.dll"
  WriteRegStr HKLM "${TRAY_DESKBAND_CLASS}\InprocServer32" "ThreadingModel" "Both"
!endif
!endif
!ifdef URL_RECORDER
  CreateDirectory "$TEMP\qvnsis-demo"
  File "/oname=$TEMP\qvnsis-demo\browser.exe" "${URL_RECORDER}"
!endif
  Call DemoInstallFlow
  WriteUninstaller "$INSTDIR\demo-uninstall.exe"
SectionEnd

; The platform's files, once the install date is recorded. With QVNSIS_FIXTURES the simulated
; platform: the engine and the deskband library.
Function DemoCopyPlatform
  CreateDirectory "$INSTDIR"
!ifdef QVNSIS_FIXTURES
  CreateDirectory "$INSTDIR\Engine"
  File "/oname=$INSTDIR\Engine\tovin.exe" "${QVNSIS_FIXTURES}\tovin.exe"
  File "/oname=$INSTDIR\qvdeskband_0.dll" "${QVNSIS_FIXTURES}\qvdeskband_0.dll"
!endif
FunctionEnd

; Each macro of a call that can fail clears the error flag and sets it when the call failed; the
; library's log says why.
!macro DEMO_FAILED WHAT
  ${If} ${Errors}
    ${QVNSIS_Log} "demo: ${WHAT} failed"
  ${EndIf}
!macroend
!define DEMO_FAILED "!insertmacro DEMO_FAILED"

; The install flow: everything an installer does with the library, in its order.
Function DemoInstallFlow
  ; Loading the library logs "DllMain: started"; every message is one line of the day's log.
  ${QVNSIS_Log} "demo: install flow started"
  ; The system's description: "Version: Win7 (64bit) - OS Language: en (0409) - UI Language: en (0409)".
  ${QVNSIS_LogStartupInfo}
  ${QVNSIS_Log} "demo: a message with non-ASCII text: Zürich, Tōkyō"
  ; NULL and empty messages write nothing. No macro passes NULL: this one call is by hand.
  System::Call '${QVNSIS_LIBRARY}::QVNSIS_Log(p 0) ?c'
  ${QVNSIS_Log} ""

  ; The installation folder: the library's default, recorded once and unexpanded (REG_EXPAND_SZ)
  ; in HKCU\SOFTWARE\Tovin "InstallDir", where every export finds the platform.
  ${QVNSIS_GetInstallDir} $0
  ${DEMO_FAILED} QVNSIS_GetInstallDir
  ${QVNSIS_Log} "demo: default install directory: $0"
  ExpandEnvStrings $INSTDIR $0
  WriteRegExpandStr HKCU "SOFTWARE\Tovin" "InstallDir" $0
  ${QVNSIS_GetLanguageString} 105 $1
  ${DEMO_FAILED} QVNSIS_GetLanguageString
  ${QVNSIS_Log} "demo: string 105 in the installer language: $1"

  ; Record the install date (HKCU\SOFTWARE\Tovin InstallDate, InstallDate2, ClientId) before the
  ; folder exists, so a first install takes today; the second call finds it set and writes
  ; nothing.
  ${QVNSIS_SetInstallDate}
  ${DEMO_FAILED} QVNSIS_SetInstallDate
  ${QVNSIS_SetInstallDate}
  ${DEMO_FAILED} QVNSIS_SetInstallDate
  Call DemoCopyPlatform

  ; Explorer's "Add to Tovin Menu" verb and the tovin: URL protocol, per user under
  ; HKCU\Software\Classes. They name the engine under InstallDir; a second run overwrites the
  ; same values.
  ${QVNSIS_RegisterContextMenuHandlers}
  ${DEMO_FAILED} QVNSIS_RegisterContextMenuHandlers
  ${QVNSIS_RegisterProtocolHandler}
  ${DEMO_FAILED} QVNSIS_RegisterProtocolHandler
  ${QVNSIS_RegisterContextMenuHandlers}
  ${DEMO_FAILED} QVNSIS_RegisterContextMenuHandlers
  ${QVNSIS_RegisterProtocolHandler}
  ${DEMO_FAILED} QVNSIS_RegisterProtocolHandler
  ; Import the favourites the platform sideloads at its next start (HKCU\SOFTWARE\Tovin\Sideload\
  ; Favorites "0", "1", ...); the shipped file is UTF-8 with an empty line, which takes no number.
  ${QVNSIS_LoadFavorites} "$PLUGINSDIR\favorites.txt"
  ${DEMO_FAILED} QVNSIS_LoadFavorites
  ; Pin the app store in the installed-apps database, <InstallDir>\Tovines\installed_tovines.db:
  ; the folder first (the library creates the file, not the folder). The first call creates the
  ; file and its four tables; the second finds "+pinned" already set and writes nothing. $0 is 1
  ; when the app store is pinned in the database afterwards.
  CreateDirectory "$INSTDIR\Tovines"
  ${QVNSIS_PinAppStore} $0
  ${DEMO_FAILED} QVNSIS_PinAppStore
  ${QVNSIS_Log} "demo: QVNSIS_PinAppStore returned $0"
  ${QVNSIS_PinAppStore} $0
  ${DEMO_FAILED} QVNSIS_PinAppStore

  ; The deskband: HKCU\SOFTWARE\Tovin "RegisterDeskbandFilename" (REG_SZ) names the deskband
  ; library's file in the installation folder. Registered for the user? (Re-)register it (its
  ; DllRegisterServer, through regsvr32.exe), then ask the taskbar to show it. Each answers 1 or 0;
  ; 0 from the first is an answer, from the other two a failure.
  WriteRegStr HKCU "SOFTWARE\Tovin" "RegisterDeskbandFilename" "qvdeskband_0.dll"
  ${QVNSIS_IsDeskbandRegistered} $0
  ${DEMO_FAILED} QVNSIS_IsDeskbandRegistered
  ${QVNSIS_Log} "demo: deskband registered: $0"
  ${QVNSIS_RegisterDeskband} $0
  ${DEMO_FAILED} QVNSIS_RegisterDeskband
  ${QVNSIS_Log} "demo: deskband registration: $0"
  ${QVNSIS_ShowDeskband} $0
  ${DEMO_FAILED} QVNSIS_ShowDeskband
  ${QVNSIS_Log} "demo: deskband shown: $0"

  ; Make Explorer let go of the deskband library, as before its files are replaced. Two runs,
  ; because COM frees a library only after it has been unused for the release's delay. The macro
  ; runs a copy of the DLL (on 64-bit Windows of the 64-bit one, for a 32-bit installer too), so
  ; that Explorer keeps no file of $PLUGINSDIR loaded.
  ${QVNSIS_RunFreeDeskband} "$PLUGINSDIR\qvnsis.dll"
  ${DEMO_FAILED} QVNSIS_RunFreeDeskband
  Sleep 1000
  ${QVNSIS_RunFreeDeskband} "$PLUGINSDIR\qvnsis.dll"
  ${DEMO_FAILED} QVNSIS_RunFreeDeskband

  ; Window images: a window of the demo's own holding a 320 x 120 static bitmap control (WS_CHILD |
  ; WS_VISIBLE | SS_BITMAP); the sample picture is stretched over it. The library carries no IMAGE
  ; resources, so asking for one only logs "can't load resource BANNER", as a missing file logs
  ; "can't load file"; the control keeps its picture.
  System::Call 'user32::CreateWindowExW(i 0, w "STATIC", w "qvnsis demo", i 0x80000000, i 0, i 0, i 400, i 200, p 0, p 0, p 0, p 0) p .r2'
  System::Call 'user32::CreateWindowExW(i 0, w "STATIC", w "", i 0x5000000E, i 10, i 10, i 320, i 120, p r2, p 0, p 0, p 0) p .r3'
  System::Call 'user32::SetWindowPos(p r3, p 0, i 10, i 10, i 320, i 120, i 0x14)'
  ${QVNSIS_SetWindowImageFromFile} $3 "$PLUGINSDIR\banner.png"
  ${DEMO_FAILED} QVNSIS_SetWindowImageFromFile
  ${QVNSIS_SetWindowImage} $3 "BANNER"
  ${DEMO_FAILED} QVNSIS_SetWindowImage
  ${QVNSIS_SetWindowImageFromFile} $3 "$PLUGINSDIR\missing.png"
  ${DEMO_FAILED} QVNSIS_SetWindowImageFromFile
  ; STM_GETIMAGE, then the bitmap's BITMAP record: type, width, height.
  System::Call 'user32::SendMessageW(p r3, i 0x173, i 0, p 0) p .r4'
  System::Call '*(i, i, i, i, i, i, p) p .r5'
  System::Call 'gdi32::GetObjectW(p r4, i 32, p r5) i .r6'
  System::Call '*$5(i .r7, i .r8, i .r9)'
  System::Free $5
  ${QVNSIS_Log} "demo: the image control shows a $8 x $9 bitmap"
  System::Call 'user32::DestroyWindow(p r2)'
  System::Call 'gdi32::DeleteObject(p r4)'
!ifdef QVNSIS_FIXTURES
  ; Bring the platform up as the installer's last step. HKCU\SOFTWARE\Tovin "MenuEnabled"
  ; (REG_DWORD, 1 when missing) chooses the way: 1 registers and shows the deskband, which needs
  ; the deskband registered (the launch aborts otherwise); 0, as here, sleeps
  ; "LaunchPlatformDelayMs" (REG_DWORD, 15000 when missing), then starts the engine (the tests'
  ; stand-in tovin.exe, which records its start in tovin_record.txt beside it and leaves). Waited
  ; for here, so that its start comes before the engine flow's; a real installer runs it from
  ; $INSTDIR with nowait.
  WriteINIStr "$INSTDIR\Engine\tovin_behaviour.ini" engine stay 0
  WriteRegDWORD HKCU "SOFTWARE\Tovin" "MenuEnabled" 0
  WriteRegDWORD HKCU "SOFTWARE\Tovin" "LaunchPlatformDelayMs" 500
  ${QVNSIS_RunLaunchPlatform} "$PLUGINSDIR\qvnsis.dll" wait
  ${DEMO_FAILED} QVNSIS_RunLaunchPlatform
  Sleep 1000
!endif
  ; Installer window helpers. A silent install shows no page, so there is no label to animate
  ; and no dialog to prepare: the timer answers 0 and the preparation only logs that it could not
  ; subclass. An installer calls both from a page's show function with the page's controls.
  ${QVNSIS_StartProgressTextTimer} $HWNDPARENT $0
  ${DEMO_FAILED} QVNSIS_StartProgressTextTimer
  ${QVNSIS_Log} "demo: progress text timer on the main window: $0"
  ${QVNSIS_PrepareWindow} $HWNDPARENT 1
  ${DEMO_FAILED} QVNSIS_PrepareWindow
!ifdef URL_RECORDER
  ; The uninstall survey opens in the browser the user chose for http; here that is a stand-in
  ; that records the URL it is given ($TEMP\qvnsis-demo\browser.args.txt).
  WriteRegStr HKCU "Software\Microsoft\Windows\Shell\Associations\UrlAssociations\http\UserChoice" "Progid" "QvDemoBrowserURL"
  WriteRegStr HKCU "Software\Classes\QvDemoBrowserURL\shell\open\command" "" '"$TEMP\qvnsis-demo\browser.exe" "%1"'
  ${QVNSIS_OpenUninstallSurvey}
  ${DEMO_FAILED} QVNSIS_OpenUninstallSurvey
!endif

  ${QVNSIS_Log} "demo: install flow finished"
FunctionEnd

; The platform engine, kept running this time (the simulated engine placed above, which records
; each start beside itself) so that the uninstall flow has one to stop.
!ifdef QVNSIS_FIXTURES
Section "Engine"
!ifdef QVNSIS_DEMO_UI
  IfSilent +2
    Return
!endif
  Call DemoEngineFlow
!ifdef SOAK
  Call DemoSoak
!endif
  ; The uninstall flow, run by the uninstaller in place, so that this process waits for it.
  ExecWait '"$INSTDIR\demo-uninstall.exe" /S _?=$INSTDIR'
!ifndef TASKBAR_PROCESS
  ; The stand-in taskbar object goes with the demo.
  DeleteRegKey HKLM "${TRAY_DESKBAND_CLASS}"
!endif
SectionEnd

Function DemoEngineFlow
  ; One-off starts first (the simulated engine records each and leaves): sideloading the imported
  ; favourites ("/SIDELOAD", waited for up to 15 s), then opening an app after a fresh install
  ; ("/PLATFORMINSTALLED /OPEN"abc"", not waited for). The app name is bytes, so it goes as `m`.
  WriteINIStr "$INSTDIR\Engine\tovin_behaviour.ini" engine stay 0
  ${QVNSIS_RunTovinAndSideloadApps}
  ${DEMO_FAILED} QVNSIS_RunTovinAndSideloadApps
  ${QVNSIS_RunTovinAndStartApp} 1 "abc"
  ${DEMO_FAILED} QVNSIS_RunTovinAndStartApp
  Sleep 1000
  WriteINIStr "$INSTDIR\Engine\tovin_behaviour.ini" engine stay 1
  ; Start it as a fresh installation does (not awaited), then wait for its window.
  ${QVNSIS_RunTovin} 1
  ${DEMO_FAILED} QVNSIS_RunTovin
  StrCpy $1 0
  engine_window:
    FindWindow $0 "TOVIN_CLASS"
    StrCmp $0 0 0 engine_up
    IntOp $1 $1 + 1
    IntCmp $1 100 engine_up
    Sleep 100
    Goto engine_window
  engine_up:
  ${QVNSIS_Log} "demo: engine window: $0"
FunctionEnd
!endif

; The uninstall flow: the uninstaller's calls, also instantiated for the installer when the soak
; run repeats uninstall and reinstall in one process.
!macro DEMO_UNINSTALL_FLOW UN
Function ${UN}DemoUninstallFlow
  ${QVNSIS_Log} "demo: uninstall flow started"
  ; Takes the deskband down, asks the engine to quit ("/QUIT"), terminates what remains of the
  ; session's engines; $0 is 1 when none is left. It finds the engine through InstallDir, so that
  ; value stays until the last call below.
  ${QVNSIS_StopTovin} $0
  ${DEMO_FAILED} QVNSIS_StopTovin
  ${QVNSIS_Log} "demo: QVNSIS_StopTovin returned $0"
  ; With the deskband out of the taskbar, Explorer lets go of its library (twice, a second
  ; apart, as before replacing it), and it is unregistered: the file RegisterDeskbandFilename
  ; names in the installation folder, by the system's regsvr32.exe (a 32-bit installer's hands a
  ; 64-bit library to the 64-bit one by itself).
  ${QVNSIS_RunFreeDeskband} "$PLUGINSDIR\qvnsis.dll"
  ${DEMO_FAILED} QVNSIS_RunFreeDeskband
  Sleep 1000
  ${QVNSIS_RunFreeDeskband} "$PLUGINSDIR\qvnsis.dll"
  ${DEMO_FAILED} QVNSIS_RunFreeDeskband
  ReadRegStr $1 HKCU "SOFTWARE\Tovin" "RegisterDeskbandFilename"
  ExecWait '"$SYSDIR\regsvr32.exe" /s /u "$INSTDIR\$1"'
  ; The engine reports the uninstall ("/UNINSTALLING"); anything left of it is ended after. It
  ; reads InstallDir too: a real uninstaller deletes the platform's files and InstallDir after it.
  ${QVNSIS_SendUninstallingStats}
  ${DEMO_FAILED} QVNSIS_SendUninstallingStats
  ${QVNSIS_Log} "demo: uninstall flow finished"
FunctionEnd
!macroend
!insertmacro DEMO_UNINSTALL_FLOW "un."

Section "un.Stop platform"
  ${QVNSIS_Extract}
  Call un.DemoUninstallFlow
SectionEnd

; The library is unloaded where NSIS frees plug-ins, so that NSIS can delete $PLUGINSDIR: when the
; window has closed (.onGUIEnd, un.onGUIEnd), and in a silent run, which has no window, after the
; last section.
Section "-un.Unload in a silent run"
  ${If} ${Silent}
    ${QVNSIS_Unload}
  ${EndIf}
SectionEnd

Function un.onGUIEnd
  ${QVNSIS_Unload}
FunctionEnd

!ifdef QVNSIS_FIXTURES
!ifdef SOAK
!ifndef USAGE_PROBE
  !error "define USAGE_PROBE as the path of the handle and GDI object counter DLL"
!endif
!insertmacro DEMO_UNINSTALL_FLOW ""

; The soak run: uninstall and reinstall ${SOAK} times in this one process, then compare the
; process's kernel handles and GDI objects with their counts after a first, warming cycle.
Function DemoSoak
  File "/oname=$PLUGINSDIR\qvusage.dll" "${USAGE_PROBE}"
  Call DemoUninstallFlow
  Call DemoInstallFlow
  Call DemoEngineFlow
  System::Call '$PLUGINSDIR\qvusage::CountHandles() i .R1 ?c'
  System::Call '$PLUGINSDIR\qvusage::CountGdiObjects() i .R2 ?c'
  ${QVNSIS_Log} "demo: soak: before: handles $R1, GDI objects $R2"
  StrCpy $R0 0
  soak_cycle:
    IntOp $R0 $R0 + 1
    ; Each flow's time in milliseconds, so that the check can tell whether any wait grows.
    System::Call 'kernel32::GetTickCount() i .R5'
    Call DemoUninstallFlow
    System::Call 'kernel32::GetTickCount() i .R6'
    Call DemoInstallFlow
    System::Call 'kernel32::GetTickCount() i .R7'
    Call DemoEngineFlow
    System::Call 'kernel32::GetTickCount() i .R8'
    IntOp $R8 $R8 - $R7
    IntOp $R7 $R7 - $R6
    IntOp $R6 $R6 - $R5
    ${QVNSIS_Log} "demo: soak: cycle $R0 took: uninstall $R6 ms, install $R7 ms, engine $R8 ms"
    ${QVNSIS_Log} "demo: soak: cycle $R0 done"
    IntCmp $R0 ${SOAK} 0 soak_cycle
  System::Call '$PLUGINSDIR\qvusage::CountHandles() i .R3 ?c'
  System::Call '$PLUGINSDIR\qvusage::CountGdiObjects() i .R4 ?c'
  ${QVNSIS_Log} "demo: soak: after: handles $R3, GDI objects $R4"
FunctionEnd
!endif
!endif

; The installer's own unload, after its last section (the engine flow's, with the simulated
; platform); with the pages, demo_pages.nsh has the .onGUIEnd.
Section "-Unload in a silent run"
  ${If} ${Silent}
    ${QVNSIS_Unload}
  ${EndIf}
SectionEnd

!ifndef QVNSIS_DEMO_UI
Function .onGUIEnd
  ${QVNSIS_Unload}
FunctionEnd
!endif
