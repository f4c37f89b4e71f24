#include "support/test_dialog.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace qvtest {
namespace {

// Builds a DLGTEMPLATE with its items: WORD-aligned header fields, DWORD-aligned items.
class TemplateWriter {
 public:
  void word(WORD value) { words_.push_back(value); }
  void dword(DWORD value) {
    word(LOWORD(value));
    word(HIWORD(value));
  }
  void text(const wchar_t* value) {
    for (; *value; ++value) word(static_cast<WORD>(*value));
    word(0);
  }
  void alignDword() {
    if (words_.size() % 2) word(0);
  }
  void item(DWORD style, short x, short y, short cx, short cy, WORD id, const wchar_t* className,
            const wchar_t* title) {
    alignDword();
    dword(style | WS_CHILD | WS_VISIBLE);
    dword(0);  // extended style
    word(static_cast<WORD>(x));
    word(static_cast<WORD>(y));
    word(static_cast<WORD>(cx));
    word(static_cast<WORD>(cy));
    word(id);
    text(className);
    text(title);
    word(0);  // no creation data
  }
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }
  std::vector<WORD>& words() { return words_; }

 private:
  std::vector<WORD> words_;
};

}  // namespace

HWND CreateTestDialog(bool consentControls, DLGPROC proc, LPARAM param) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LINK_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  const WORD items = consentControls ? 5 : 3;
  TemplateWriter t;
  t.dword(WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_SETFONT);
  t.dword(0);
  t.word(items);
  t.word(0);
  t.word(0);
  t.word(240);
  t.word(120);
  t.word(0);  // no menu
  t.word(0);  // default class
  t.text(L"qvnsis test page");
  t.word(8);
  t.text(L"MS Shell Dlg");
  t.item(SS_LEFT, 8, 8, 200, 10, kDialogTextId, L"STATIC", L"Uninstalling Tovin");
  t.item(ES_LEFT | WS_BORDER, 8, 22, 200, 12, kDialogEditId, L"EDIT", L"");
  t.item(BS_DEFPUSHBUTTON | WS_TABSTOP, 180, 100, 50, 14, IDOK, L"BUTTON", L"OK");
  if (consentControls) {
    t.item(BS_AUTOCHECKBOX | WS_TABSTOP, 8, 60, 200, 10, kCheckBoxId, L"BUTTON",
           L"Send anonymous data");
    t.item(WS_TABSTOP, 8, 74, 200, 10, kLinkId, WC_LINK, L"<a>Terms</a>");
  }
  return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), t.get(), nullptr, proc, param);
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace qvtest
