#include "foundation/engine_window.h"

namespace QVPaths {

HWND findEngineWindow() { return FindWindowW(kEngineWindowClass, nullptr); }

}  // namespace QVPaths
