#pragma once

// The manifest resource (resources/gdiplus.manifest) naming GDI+'s side-by-side assembly: where
// Windows keeps gdiplus.dll on a system without it in the system directory (Windows XP). Not 1 to
// 16, which the loader would apply to this library's own imports.
#define QVNSIS_GDIPLUS_MANIFEST_ID 101

#ifdef __cplusplus
constexpr unsigned short kGdiplusManifestId = QVNSIS_GDIPLUS_MANIFEST_ID;
#endif
