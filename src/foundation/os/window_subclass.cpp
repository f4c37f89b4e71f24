#include "foundation/os/window_subclass.h"

namespace QVOS {
namespace {

using SetWindowSubclassFn = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR);
using GetWindowSubclassFn = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR*);
using RemoveWindowSubclassFn = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR);
using DefSubclassProcFn = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);

// The four entries of one comctl32, so a subclass is always removed by the module that set it.
// Resolved on first use rather than at load: loading comctl32 under the loader lock is unsafe.
struct Entries {
  Entries() {
    module = LoadLibraryW(L"comctl32.dll");
    if (!module) return;
    set = reinterpret_cast<SetWindowSubclassFn>(GetProcAddress(module, MAKEINTRESOURCEA(410)));
    get = reinterpret_cast<GetWindowSubclassFn>(GetProcAddress(module, MAKEINTRESOURCEA(411)));
    remove =
        reinterpret_cast<RemoveWindowSubclassFn>(GetProcAddress(module, MAKEINTRESOURCEA(412)));
    def = reinterpret_cast<DefSubclassProcFn>(GetProcAddress(module, MAKEINTRESOURCEA(413)));
  }
  // comctl32 is kept loaded: windows subclassed through it may outlive this library's statics.
  Entries(const Entries&) = delete;
  Entries& operator=(const Entries&) = delete;

  HMODULE module = nullptr;
  SetWindowSubclassFn set = nullptr;
  GetWindowSubclassFn get = nullptr;
  RemoveWindowSubclassFn remove = nullptr;
  DefSubclassProcFn def = nullptr;
};

const Entries& entries() {
  static const Entries table;
  return table;
}

}  // namespace

BOOL setWindowSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR refData) {
  const Entries& e = entries();
  return e.set ? e.set(window, proc, id, refData) : FALSE;
}

BOOL getWindowSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR* refData) {
  const Entries& e = entries();
  return e.get ? e.get(window, proc, id, refData) : FALSE;
}

BOOL removeWindowSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id) {
  const Entries& e = entries();
  return e.remove ? e.remove(window, proc, id) : FALSE;
}

LRESULT defSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const Entries& e = entries();
  return e.def ? e.def(window, message, wParam, lParam)
               : DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace QVOS
