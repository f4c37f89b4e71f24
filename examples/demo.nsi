; The qvnsis demo installer: calls the library's exports the way a Tovin installer does.
; Built and run by `make demo`:  makensis -DQVNSIS_DLL=<qvnsis.dll> -DOUTFILE=<setup.exe> demo.nsi
Unicode true
!ifndef TARGET
  !define TARGET amd64-unicode
!endif
Target ${TARGET}

!ifndef QVNSIS_DLL
  !error "define QVNSIS_DLL as the path of the qvnsis.dll to package"
!endif
!ifndef OUTFILE
  !define OUTFILE "qvnsis-demo-setup.exe"
!endif

Name "qvnsis demo"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SilentInstall silent

Section "Install"
  InitPluginsDir
  File "/oname=$PLUGINSDIR\qvnsis.dll" "${QVNSIS_DLL}"

  ; Loading the library logs "DllMain: started"; every message is one line of the day's log.
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_Log(w "demo: install flow started") ?c'
  ; The system's description: "Version: Win7 (64bit) - OS Language: en (0409) - UI Language: en (0409)".
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_LogStartupInfo() ?c'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_Log(w "demo: a message with non-ASCII text: Zürich, Tōkyō") ?c'
  ; NULL and empty messages write nothing.
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_Log(p 0) ?c'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_Log(w "") ?c'

  ; The default per-user installation directory and a localised text.
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_GetInstallDir(w .r0, i ${NSIS_MAX_STRLEN}) ?c'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_Log(w "demo: default install directory: $0") ?c'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_GetLanguageString(i 105, w .r1, i ${NSIS_MAX_STRLEN}) ?c'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_Log(w "demo: string 105 in the installer language: $1") ?c'

  ; Record the install date (HKCU\SOFTWARE\Tovin InstallDate, InstallDate2, ClientId); the
  ; second call finds it set and writes nothing.
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_SetInstallDate() ?c'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_SetInstallDate() ?c'

  ; Explorer's "Add to Tovin Menu" verb and the tovin: URL protocol, per user under
  ; HKCU\Software\Classes. They name the engine under InstallDir, which the installer records
  ; first; a second run overwrites the same values.
  WriteRegExpandStr HKCU "SOFTWARE\Tovin" "InstallDir" "%LOCALAPPDATA%\Tovin"
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_RegisterContextMenuHandlers() ?c'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_RegisterProtocolHandler() ?c'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_RegisterContextMenuHandlers() ?c'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_RegisterProtocolHandler() ?c'
  ; Import the favourites the platform sideloads at its next start (HKCU\SOFTWARE\Tovin\Sideload\
  ; Favorites "0", "1", ...); the shipped file is UTF-8 with a blank line, which takes no number.
  File "/oname=$PLUGINSDIR\favorites.txt" "favorites.txt"
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_LoadFavorites(w "$PLUGINSDIR\favorites.txt") ?c'
  ; Pin the app store in the installed-apps database: an installation directory first, so the
  ; database lands in $LOCALAPPDATA\Tovin\Tovines (without one the work stays in a private
  ; temporary database). The first call creates the file and its four tables; the second finds
  ; "+pinned" already set and writes nothing. $0 is 1 when the database mutex was released.
  WriteRegStr HKCU "SOFTWARE\Tovin" "InstallDir" "$LOCALAPPDATA\Tovin"
  CreateDirectory "$LOCALAPPDATA\Tovin\Tovines"
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_PinAppStore() i .r0 ?c'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_Log(w "demo: QVNSIS_PinAppStore returned $0") ?c'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_PinAppStore() i .r0 ?c'

  ; The deskband: registered for the user? (Re-)register the build the installer names, then
  ; ask the taskbar to show it. Each answers 1 or 0.
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_IsDeskbandRegistered() i .r0 ?c'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_Log(w "demo: deskband registered: $0") ?c'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_RegisterDeskband() i .r0 ?c'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_Log(w "demo: deskband registration: $0") ?c'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_ShowDeskband() i .r0 ?c'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_Log(w "demo: deskband shown: $0") ?c'

  ; Make Explorer let go of the deskband library. rundll32.exe by its full path: a bare name
  ; would run whatever rundll32.exe sits beside an elevated installer. Two runs, because COM frees
  ; a library only after it has been unused for the release's delay.
  ExecWait '"$SYSDIR\rundll32.exe" "$PLUGINSDIR\qvnsis.dll",RunFreeDeskbandW'
  Sleep 1000
  ExecWait '"$SYSDIR\rundll32.exe" "$PLUGINSDIR\qvnsis.dll",RunFreeDeskbandW'

  ; Installer window helpers. A silent install shows no page, so there is no label to animate
  ; and no dialog to prepare: the timer answers 0 and the preparation only logs that it could not
  ; subclass. An installer calls both from a page's show function with the page's controls.
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_StartProgressTextTimer(p $HWNDPARENT) p .r0 ?c'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_Log(w "demo: progress text timer on the main window: $0") ?c'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_PrepareWindow(p $HWNDPARENT, i 1) ?c'
!ifdef URL_RECORDER
  ; The uninstall survey opens in the browser the user chose for http; here that is a stand-in
  ; that records the URL it is given ($TEMP\qvnsis-demo\browser.args.txt).
  CreateDirectory "$TEMP\qvnsis-demo"
  File "/oname=$TEMP\qvnsis-demo\browser.exe" "${URL_RECORDER}"
  WriteRegStr HKCU "Software\Microsoft\Windows\Shell\Associations\UrlAssociations\http\UserChoice" "Progid" "QvDemoBrowserURL"
  WriteRegStr HKCU "Software\Classes\QvDemoBrowserURL\shell\open\command" "" '"$TEMP\qvnsis-demo\browser.exe" "%1"'
  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_OpenUninstallSurvey() ?c'
!endif

  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_Log(w "demo: install flow finished") ?c'
SectionEnd
