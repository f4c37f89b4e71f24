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

  System::Call '$PLUGINSDIR\qvnsis::QVNSIS_Log(w "demo: install flow finished") ?c'
SectionEnd
