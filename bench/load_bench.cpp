// LoadLibraryW + FreeLibrary of qvnsis.dll per call, against the same for DLLs of the same
// toolchain and link flags: a minimal one that does nothing when loaded; the same minimal DLL
// writing, by hand, the three log lines every load of the library writes (log_lines_dll.cpp: the
// goal, since those lines are work a load cannot avoid); and one as large as the library
// (same_size_dll.cpp). Against the second what is left is the library's own start-up and size:
// its static initialisers, relocations and image. The system libraries an NSIS stub imports or
// loads from the system folder before any plug-in runs are loaded first and kept, as they are in
// the installer's process, so no side pays for them.
#include <windows.h>

#include <string>

#include "families.h"
#include "support/child_process.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/text.h"

namespace qvbench {
namespace {

// Log lines in the day logs of `directory` that hold `text`.
int CountLogLines(const std::wstring& directory, const std::wstring& text) {
  int count = 0;
  for (const auto& file : qvtest::LogFiles(directory)) {
    for (const auto& message : qvtest::LogMessages(file)) {
      if (message.find(text) != std::wstring::npos) ++count;
    }
  }
  return count;
}

}  // namespace

std::vector<Row> LoadUnloadRows(const std::wstring& scratch) {
  for (const wchar_t* name :
       {L"advapi32.dll", L"comctl32.dll", L"gdi32.dll", L"ole32.dll", L"shell32.dll", L"user32.dll",
        L"userenv.dll", L"version.dll", L"shlwapi.dll"}) {
    LoadLibraryW(name);
  }
  const std::wstring ours = qvtest::LibraryPath();
  const std::wstring minimal = qvtest::ExecutableDirectory() + L"bench_empty.dll";
  const std::wstring sameSize = qvtest::ExecutableDirectory() + L"bench_same_size.dll";
  const std::wstring logLines = qvtest::ExecutableDirectory() + L"bench_log_lines.dll";
  auto loadUnload = [](const std::wstring& path) {
    HMODULE library = LoadLibraryW(path.c_str());
    if (!library) Abort("cannot load " + qvtest::Utf8(path));
    FreeLibrary(library);
  };
  qvtest::DeleteLogFiles(scratch);
  // Few calls: every load leaves three thread-local slots allocated for the rest of the process
  // (the language manager's two, never freed, and one the static C++ runtime takes), and a
  // process has 1088.
  const int calls = 20, rounds = 7, warmCalls = 5;
  const std::vector<double> t =
      CompareMedians({[&] { loadUnload(minimal); }, [&] { loadUnload(ours); },
                      [&] { loadUnload(sameSize); }, [&] { loadUnload(logLines); }},
                     calls, rounds, warmCalls);

  // Every call must have been a load from scratch: the libraries are gone again, and DllMain
  // logged each load of ours (the by-hand baseline writes the same line, as often).
  const int loads = warmCalls + calls * rounds;
  const int started = CountLogLines(scratch, L"DllMain: started");
  if (GetModuleHandleW(L"qvnsis.dll") || GetModuleHandleW(L"bench_empty.dll") ||
      GetModuleHandleW(L"bench_same_size.dll") || GetModuleHandleW(L"bench_log_lines.dll") ||
      started != 2 * loads) {
    Abort("load benchmark: a library stayed loaded (" + std::to_string(started) + " of " +
          std::to_string(2 * loads) + " loads logged)");
  }
  qvtest::DeleteLogFiles(scratch);
  return {{"qvnsis.dll load+unload vs minimal DLL", t[1], t[0], 0},
          {"qvnsis.dll load+unload vs minimal+3 log lines", t[1], t[3], 1.5},
          {"qvnsis.dll load+unload vs equal-size DLL", t[1], t[2], 0}};
}

}  // namespace qvbench
