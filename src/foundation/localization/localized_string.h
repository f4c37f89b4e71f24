#pragma once

#include <string>

// The library's string tables, in the language of the installer's main thread.
struct StringResource {
  const wchar_t* text = nullptr;  // read-only, inside the library's resources, not terminated
  int length = 0;
};

// Syncs the thread's language, then finds string `id` in the library's own module. False when
// the entry is absent or empty in that language.
bool LoadStringResource(int id, StringResource* resource);

// The text of `id`, or "string id <id> missing": never empty.
std::wstring GetLocalizedString(int id);
