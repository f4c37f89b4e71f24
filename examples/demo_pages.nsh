; The demo installer's pages, for a run without /S: the window helpers and window images of the
; library on NSIS's own windows. Included by demo.nsi when QVNSIS_DEMO_UI names the resource-only
; DLL built from demo_ui.rc, whose main window carries the analytics check box 2051 and the terms
; link 2052. Run with /S the installer stays the silent demo.
;
;   1. Consent: the main window prepared with the offer (InstallMode 1 and AnalyticsAccepted 0
;      show the box checked and the link; Next with the box checked stores AnalyticsAccepted 1).
;   2. Banners: the sample picture from a file, and the same picture as an IMAGE resource added
;      to the installer's copy of the library.
;   3. Install: the status label animated by the progress text timer.
;
; With /PAGETIMER the banner page's own label is animated too; its timer goes on ticking when the
; page is left with Back (it finds no label then), until the library is unloaded.
!include "nsDialogs.nsh"
!include "WinMessages.nsh"
!include "FileFunc.nsh"

; QVNSIS_DEMO_UI=stock keeps NSIS's own main window, which has neither control: the offer then
; has no box to read, and Next logs that the consent was not accepted.
!if "${QVNSIS_DEMO_UI}" != "stock"
  ChangeUI IDD_INST "${QVNSIS_DEMO_UI}"
!endif
XPStyle on
BrandingText "qvnsis demo"
ShowInstDetails nevershow

Page custom DemoConsentPage DemoConsentLeave
Page custom DemoBannerPage
Page instfiles "" DemoInstallPageShow

Var DemoCheckBox
Var DemoLink
Var DemoStatusLabel
Var DemoFileBitmap
Var DemoResourceBitmap
Var DemoPageTimer

Function .onInit
  IfSilent 0 +2
    Return
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PAGETIMER" $1
  IfErrors +2
    StrCpy $DemoPageTimer 1
  ${QVNSIS_Extract}
  File "/oname=$PLUGINSDIR\banner.png" "banner.png"
  Call DemoAddImageResource
  ; The link control (SysLink) must be registered before the main window is made from its
  ; template. ICC_LINK_CLASS (0x8000) | ICC_STANDARD_CLASSES (0x4000).
  System::Call '*(i 8, i 0xC000) p .r0'
  System::Call 'comctl32::InitCommonControlsEx(p r0) i .r1'
  System::Free $0
  ${QVNSIS_Log} "demo: window pages: started"
FunctionEnd

; QVNSIS_SetWindowImage paints IMAGE resources of the library's own module. The library ships none,
; so the installer adds the sample picture as "BANNER" (language neutral) to its copy of the DLL,
; before anything loads it.
Function DemoAddImageResource
  System::Call 'kernel32::CreateFileW(w "$PLUGINSDIR\banner.png", i 0x80000000, i 1, p 0, i 3, i 0, p 0) p .r0'
  StrCmp $0 -1 0 picture_open
    ${QVNSIS_Log} "demo: window pages: no picture to add as a resource"
    Return
  picture_open:
  System::Call 'kernel32::GetFileSize(p r0, p 0) i .r1'
  System::Alloc $1
  Pop $2
  System::Call 'kernel32::ReadFile(p r0, p r2, i r1, *i .r3, p 0) i .r4'
  System::Call 'kernel32::CloseHandle(p r0)'
  System::Call 'kernel32::BeginUpdateResourceW(w "$PLUGINSDIR\qvnsis.dll", i 0) p .r5'
  System::Call 'kernel32::UpdateResourceW(p r5, w "IMAGE", w "BANNER", i 0, p r2, i r3) i .r6'
  System::Call 'kernel32::EndUpdateResourceW(p r5, i 0) i .r7'
  System::Free $2
  ; Logged once the library may be loaded: the update must come first.
  ${QVNSIS_Log} "demo: window pages: BANNER resource of $3 bytes added: $7"
FunctionEnd

Function DemoConsentPage
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 36u "qvnsis demo: the window helpers on NSIS's own pages.$\r$\n$\r$\nThe check box and link below belong to the main window; QVNSIS_PrepareWindow shows them while the consent is still open."
  Pop $1
  GetDlgItem $DemoCheckBox $HWNDPARENT 2051
  GetDlgItem $DemoLink $HWNDPARENT 2052
  ${QVNSIS_GetLanguageString} 116 $2
  SendMessage $DemoLink ${WM_SETTEXT} 0 "STR:$2"
  ; Shown again when the user comes back; the preparation hides both when there is no offer.
  ShowWindow $DemoCheckBox ${SW_SHOW}
  ShowWindow $DemoLink ${SW_SHOW}
  ; The main window gets the offer (it receives Next's IDOK); the page only the white.
  ${QVNSIS_PrepareWindow} $HWNDPARENT 1
  ${QVNSIS_PrepareWindow} $0 0
  nsDialogs::Show
FunctionEnd

Function DemoConsentLeave
  ; The offer belongs to this page (its Next has been seen by now): prepared again without it,
  ; the main window hides both controls and stays white, and later pages' Next store nothing.
  ${QVNSIS_PrepareWindow} $HWNDPARENT 0
FunctionEnd

Function DemoBannerPage
  Call DemoReleaseBanners
  nsDialogs::Create 1018
  Pop $0
  ; Two SS_BITMAP controls, sizes in pixels: the file's picture at its own size, the resource's
  ; squeezed into a wider, lower box (the picture is stretched, its aspect not kept). A bitmap
  ; control shrinks to its empty picture when made, hence the sizes set again.
  ${NSD_CreateBitmap} 0 0 320 120 ""
  Pop $1
  System::Call 'user32::SetWindowPos(p r1, p 0, i 0, i 0, i 320, i 120, i 0x16)'
  ${NSD_CreateBitmap} 0 130 400 60 ""
  Pop $2
  System::Call 'user32::SetWindowPos(p r2, p 0, i 0, i 130, i 400, i 60, i 0x16)'
  ${QVNSIS_SetWindowImageFromFile} $1 "$PLUGINSDIR\banner.png"
  ${QVNSIS_SetWindowImage} $2 "BANNER"
  ; The controls do not free their pictures: the page does (STM_GETIMAGE).
  SendMessage $1 0x173 0 0 $DemoFileBitmap
  SendMessage $2 0x173 0 0 $DemoResourceBitmap
  ${QVNSIS_GetLanguageString} 107 $3
  ${NSD_CreateLabel} 0 200 100% 12u "$3"
  Pop $4
  StrCmp $DemoPageTimer 1 0 no_page_timer
    ${QVNSIS_StartProgressTextTimer} $4 $5
    ${QVNSIS_Log} "demo: window pages: progress text timer on the banner page: $5"
  no_page_timer:
  ${QVNSIS_PrepareWindow} $0 0
  nsDialogs::Show
FunctionEnd

; Deletes the pictures the banner page showed last (its controls are gone or about to be).
Function DemoReleaseBanners
  StrCmp $DemoFileBitmap "" +2
    System::Call 'gdi32::DeleteObject(p $DemoFileBitmap)'
  StrCmp $DemoResourceBitmap "" +2
    System::Call 'gdi32::DeleteObject(p $DemoResourceBitmap)'
  StrCpy $DemoFileBitmap ""
  StrCpy $DemoResourceBitmap ""
FunctionEnd

Function DemoInstallPageShow
  ; The page's status text (1006) is the timer's: "Updating Tovin. This won't take long" and its
  ; dots. The section prints its details to the list only, so NSIS leaves the label alone.
  FindWindow $0 "#32770" "" $HWNDPARENT
  GetDlgItem $DemoStatusLabel $0 1006
  ${QVNSIS_GetLanguageString} 108 $1
  SendMessage $DemoStatusLabel ${WM_SETTEXT} 0 "STR:$1"
  ${QVNSIS_StartProgressTextTimer} $DemoStatusLabel $2
  ${QVNSIS_Log} "demo: window pages: progress text timer on the status label: $2"
  ${QVNSIS_PrepareWindow} $0 0
FunctionEnd

; The install section's work when the pages run.
Function DemoPagesInstall
  SetDetailsPrint listonly
  DetailPrint "qvnsis demo: the install page"
  ${QVNSIS_Log} "demo: window pages: installing"
FunctionEnd

; After the window: what the library subclassed or animated must be gone with it (the link is
; taken out of the main window when that closes, and destroyed).
Function .onGUIEnd
  Call DemoReleaseBanners
  System::Call 'user32::IsWindow(p $HWNDPARENT) i .r0'
  System::Call 'user32::IsWindow(p $DemoLink) i .r1'
  System::Call 'user32::IsWindow(p $DemoStatusLabel) i .r2'
  ${QVNSIS_Log} "demo: window pages: after the window: main window $0, terms link $1, status label $2"
  ; Last: the timers stop and the library is freed, so that NSIS can delete $PLUGINSDIR.
  ${QVNSIS_Unload}
FunctionEnd
