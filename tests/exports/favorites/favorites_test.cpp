#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "foundation/owners/scoped_handle.h"
#include "support/child_process.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/program.h"
#include "support/registry.h"
#include "support/temp_dir.h"

namespace {

using namespace std::string_literals;

const wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
const wchar_t kFavoritesKey[] = L"SOFTWARE\\Tovin\\Sideload\\Favorites";
const std::wstring kSource = L"QVNSIS_LoadFavorites: ";

// Imports the file named by the argument through the real DLL; "null" passes a NULL path.
QV_TEST_CHILD(load_favorites) {
  qvtest::Library library;
  auto fn = QV_EXPORT(library, QVNSIS_LoadFavorites);
  if (!fn) return 2;
  fn(args.at(0) == L"null" ? nullptr : args.at(0).c_str());
  return 0;
}

// Imports args[0] through the real DLL and exits with how much the process's peak working set
// grew during the call, in MiB (the library already loaded, so only the import counts).
QV_TEST_CHILD(load_favorites_peak) {
  qvtest::Library library;
  auto fn = QV_EXPORT(library, QVNSIS_LoadFavorites);
  if (!fn) return 100000;
  PROCESS_MEMORY_COUNTERS before = {}, after = {};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof(before))) return 100001;
  fn(args.at(0).c_str());
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof(after))) return 100002;
  return static_cast<int>((after.PeakWorkingSetSize - before.PeakWorkingSetSize) >> 20);
}

// UTF-16LE bytes of a text, without terminator.
std::string Utf16Le(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

using Values = std::map<std::wstring, qvtest::RegistryValue>;

// The favourites as they should be stored: REG_SZ "0", "1", ... with their terminators.
Values Expected(const std::vector<std::wstring>& entries) {
  Values values;
  for (size_t i = 0; i < entries.size(); ++i) {
    qvtest::RegistryValue value;
    value.name = std::to_wstring(i);
    value.type = REG_SZ;
    value.bytes = qvtest::WideBytes(entries[i]);
    values[value.name] = value;
  }
  return values;
}

std::wstring Describe(const Values& values) {
  std::wstring text;
  for (const auto& entry : values) {
    const auto& bytes = entry.second.bytes;
    text += entry.first + L" (type " + std::to_wstring(entry.second.type) + L", " +
            std::to_wstring(bytes.size()) + L" bytes) = \"" +
            std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2) +
            L"\"\n";
  }
  return text;
}

// A fresh HKCU\SOFTWARE\Tovin (put back afterwards) and a log directory for each import.
class Favorites : public testing::Test {
 protected:
  // Runs the import of `path` and returns the lines it logged (after the load line).
  std::vector<std::wstring> Import(const std::wstring& path) {
    return Logged([&] { EXPECT_EQ(qvtest::RunChild(L"load_favorites", {path}).exitCode, 0u); });
  }
  // The lines `run` makes a library log (after its load line).
  template <typename Run>
  std::vector<std::wstring> Logged(Run run) {
    qvtest::ScopedTempDir logDir;
    qvtest::ScopedTempEnv logEnv(logDir.path());
    run();
    std::vector<std::wstring> messages;
    for (const auto& line : qvtest::ReadLogLines(qvtest::TodayLogFile(logDir.path()))) {
      messages.push_back(line.substr(line.find(L"] ") + 2));
    }
    const auto loaded = std::find(messages.rbegin(), messages.rend(), L"DllMain: started");
    EXPECT_NE(loaded, messages.rend());
    return std::vector<std::wstring>(loaded.base(), messages.end());
  }
  std::vector<std::wstring> ImportBytes(const std::string& bytes) {
    qvtest::WriteFileBytes(file_, bytes);
    return Import(file_);
  }

  Values Stored() {
    Values values;
    for (const auto& value :
         qvtest::TakeRegistrySnapshot(HKEY_CURRENT_USER, kFavoritesKey).values) {
      values[value.name] = value;
    }
    return values;
  }

  // The lines of an import that read and stored `entries`.
  std::vector<std::wstring> StoredLog(const std::vector<std::wstring>& entries, bool utf16) {
    std::vector<std::wstring> lines = {kSource + L"entered with: " + file_,
                                       kSource + L"loading in data from file"};
    if (utf16) {
      lines.push_back(kSource +
                      L"failed to convert data from UTF8 to UTF16, exception bad conversion");
      lines.push_back(kSource + L"processing as UTF16");
    }
    lines.push_back(kSource + L"loaded data from file");
    for (const auto& entry : entries)
      lines.push_back(kSource + L"Adding favorite to sideloading: " + entry);
    return lines;
  }

  qvtest::ScopedRegistryKey savedKey_{HKEY_CURRENT_USER, kTovinKey};
  qvtest::ScopedTempDir dir_;
  const std::wstring file_ = dir_.path() + L"favorites.txt";
};

}  // namespace

TEST_F(Favorites, LinesAreSplitStrippedOfCarriageReturnsAndNumbered) {
  struct Case {
    std::string bytes;
    std::vector<std::wstring> entries;
  } cases[] = {
      {"app1\r\napp2\r\n", {L"app1", L"app2"}},
      {"app1\n\napp2", {L"app1", L"app2"}},           // an empty line is skipped, not counted
      {"app1\r\n\r\napp2", {L"app1", L"", L"app2"}},  // a carriage-return line is an entry
      {"\n\napp1\n\n\n", {L"app1"}},
      {"  app 1 \t\r\n\r\r app2\r\r\na\rb", {L"  app 1 \t", L" app2", L"a\rb"}},
      {"only", {L"only"}},
      {"\r", {L""}},
      {"\n", {}},
      {"app1\napp2\0app3\n"s, {L"app1", L"app2"}},  // the text ends at its first zero byte
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    qvtest::DeleteRegistryKey(HKEY_CURRENT_USER, kFavoritesKey);
    EXPECT_EQ(ImportBytes(c.bytes), StoredLog(c.entries, false));
    EXPECT_EQ(Describe(Stored()), Describe(Expected(c.entries)));
  }
}

TEST_F(Favorites, Utf8WithAndWithoutMarkAndMarkedUtf16) {
  struct Case {
    std::string bytes;
    bool utf16;
    std::vector<std::wstring> entries;
  } cases[] = {
      // Two-, three- and four-byte sequences; the last becomes a surrogate pair.
      {"Caf\xC3\xA9\r\n\xE6\x9D\xB1\xE4\xBA\xAC\n\xF0\x9F\x98\x80 app",
       false,
       {L"Caf\u00E9", L"\u6771\u4EAC", L"\xD83D\xDE00 app"}},
      // The mark is not part of the first entry (which would then name no app); a U+FEFF
      // anywhere else is text like any other.
      {"\xEF\xBB\xBF"
       "app1\r\napp2\r\n",
       false,
       {L"app1", L"app2"}},
      {"\xEF\xBB\xBF"
       "\xEF\xBB\xBF"
       "a\n\xEF\xBB\xBF"
       "b",
       false,
       {L"\uFEFFa", L"\uFEFFb"}},
      {"\xEF\xBB\xBF", false, {}},
      {"\xFF\xFE" + Utf16Le(L"app1\r\nZ\u00FCrich\n\xD83D\xDE00\r\n"),
       true,
       {L"app1", L"Z\u00FCrich", L"\xD83D\xDE00"}},
      {"\xFF\xFE" + Utf16Le(L"\uFEFFa\n\uFEFFb"), true, {L"\uFEFFa", L"\uFEFFb"}},
      {"\xFF\xFE", true, {}},
      // UTF-16 ends at its first zero unit; an odd last byte is dropped.
      {"\xFF\xFE" + Utf16Le(L"a\nb") + std::string("\0\0", 2) + Utf16Le(L"c\n"),
       true,
       {L"a", L"b"}},
      {"\xFF\xFE" + Utf16Le(L"a\nb") + "c", true, {L"a", L"b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    qvtest::DeleteRegistryKey(HKEY_CURRENT_USER, kFavoritesKey);
    EXPECT_EQ(ImportBytes(c.bytes), StoredLog(c.entries, c.utf16));
    EXPECT_EQ(Describe(Stored()), Describe(Expected(c.entries)));
  }
}

TEST_F(Favorites, TextInNeitherEncodingStoresNothing) {
  // Read as UTF-16 code units, a single-byte code page would become unrelated characters stored
  // as favourites. UTF-16 is known by its mark alone, so an unmarked one is refused as well.
  const std::string cases[] = {
      "Caf\xE9\r\nna\xEFve\r\n"s,
      "\xE9\0a\0\n\0"s,
      "\xC3"s,                 // a sequence cut short
      "app1\r\nCaf\xC3\r\n"s,  // ... and one cut by what follows
      "app1\r\nOK \xE2\x9C"s,  // ... and at the end, after valid lines
      // UTF-16LE without its mark whose first character is ASCII: as UTF-8 it would end at the
      // first zero byte and store just "a" as entry 0.
      Utf16Le(L"app1\r\napp2\r\n"),
      Utf16Le(L"a"),
      "\xEF\xBB\xBF" + Utf16Le(L"app1\n"),
  };
  for (const std::string& bytes : cases) {
    SCOPED_TRACE(testing::PrintToString(bytes));
    EXPECT_EQ(
        ImportBytes(bytes),
        (std::vector<std::wstring>{
            kSource + L"entered with: " + file_, kSource + L"loading in data from file",
            kSource + L"failed to convert data from UTF8 to UTF16, exception bad conversion",
            kSource + L"data is neither UTF8 nor UTF16 with a byte-order mark, nothing stored"}));
    EXPECT_FALSE(qvtest::RegistryKeyExists(HKEY_CURRENT_USER, kFavoritesKey));
  }
}

TEST_F(Favorites, EmptyFileLoadsAndStoresNothing) {
  EXPECT_EQ(ImportBytes(""), StoredLog({}, false));
  EXPECT_TRUE(Stored().empty());
}

TEST_F(Favorites, AShorterSecondListLeavesTheHigherNumbers) {
  // Another value of the key is left alone too.
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kFavoritesKey, L"keep", REG_DWORD,
                                         qvtest::DwordBytes(7)));
  EXPECT_EQ(ImportBytes("one\ntwo\nthree\n"), StoredLog({L"one", L"two", L"three"}, false));
  EXPECT_EQ(ImportBytes("uno\ndos\n"), StoredLog({L"uno", L"dos"}, false));

  Values expected = Expected({L"uno", L"dos", L"three"});
  expected[L"keep"] = qvtest::RegistryValue{L"keep", REG_DWORD, qvtest::DwordBytes(7)};
  EXPECT_EQ(Describe(Stored()), Describe(expected));
}

TEST_F(Favorites, MissingDirectoryNullAndEmptyPathsAreNotFound) {
  // The directory without its trailing backslash, which would quote the child's closing quote.
  const std::wstring directory = dir_.path().substr(0, dir_.path().size() - 1);
  struct Case {
    std::wstring argument;
    std::wstring logged;
  } cases[] = {
      {dir_.path() + L"missing.txt", dir_.path() + L"missing.txt"},
      {directory, directory},
      {L"null", L""},
      {L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.argument));
    EXPECT_EQ(Import(c.argument),
              (std::vector<std::wstring>{kSource + L"entered with: " + c.logged,
                                         kSource + L"failed to find " + c.logged}));
    EXPECT_FALSE(qvtest::RegistryKeyExists(HKEY_CURRENT_USER, kFavoritesKey));
  }
}

TEST_F(Favorites, AFileHeldByAnotherProcessFailsToLoad) {
  qvtest::WriteFileBytes(file_, "app1\r\n");
  {
    const ScopedFileHandle holder(CreateFileW(file_.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_EQ(Import(file_), (std::vector<std::wstring>{kSource + L"entered with: " + file_,
                                                        kSource + L"failed to load " + file_}));
    EXPECT_FALSE(qvtest::RegistryKeyExists(HKEY_CURRENT_USER, kFavoritesKey));
  }
  EXPECT_EQ(Import(file_), StoredLog({L"app1"}, false)) << "released, it loads";
}

TEST_F(Favorites, AFileOf4GiBOrMoreFailsToLoadRatherThanLoseItsTail) {
  // The low half of the size alone says "app1\n".
  ASSERT_TRUE(qvtest::WriteLargeFile(file_, 4LL * 1024 * 1024 * 1024 + 5, 0, "app1\n"));
  EXPECT_EQ(Import(file_), (std::vector<std::wstring>{kSource + L"entered with: " + file_,
                                                      kSource + L"failed to load " + file_}));
  EXPECT_FALSE(qvtest::RegistryKeyExists(HKEY_CURRENT_USER, kFavoritesKey));
}

TEST_F(Favorites, WithoutTheKeyEntriesAreLoggedButNotStored) {
  // A volatile parent cannot hold the lasting key the import creates.
  HKEY sideload = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tovin\\Sideload", 0, nullptr,
                            REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &sideload, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(sideload);

  std::vector<std::wstring> expected = StoredLog({L"app1", L"app2"}, false);
  expected.insert(expected.begin() + 3,
                  kSource + L"Failed to open registry SOFTWARE\\Tovin\\Sideload\\Favorites");
  EXPECT_EQ(ImportBytes("app1\napp2\n"), expected);
  EXPECT_FALSE(qvtest::RegistryKeyExists(HKEY_CURRENT_USER, kFavoritesKey));
}

// The file is held once as bytes and once as decoded text (two bytes a character), nothing more:
// no converter buffer sized for the worst case, no stream copy of the text, no copy of a long
// line. A 32-bit installer meets its address space's end at a few times the file's size.
TEST_F(Favorites, MemoryPeaksNearTheFileAndItsDecodedText) {
  constexpr size_t kMiB = 1 << 20;
  constexpr size_t kFill = 48 * kMiB;
  // One line of carriage returns (an empty entry) and a run of empty lines: all of it decoded.
  qvtest::WriteFileBytes(file_, "app1\n" + std::string(kFill / 2, '\r') + "\n" +
                                    std::string(kFill / 2, '\n') + "app2\n");
  const DWORD grewMiB = qvtest::RunChild(L"load_favorites_peak", {file_}).exitCode;
  EXPECT_GE(grewMiB, kFill / kMiB) << "the bytes themselves must be held: is the peak measured?";
  EXPECT_LE(grewMiB, 4 * kFill / kMiB) << "bytes + text are 3 x " << kFill / kMiB << " MiB";
  EXPECT_EQ(Describe(Stored()), Describe(Expected({L"app1", L"", L"app2"})));
}

// A 32-bit installer cannot have one block of 2 GiB or more (the buffer refuses the size) nor, in
// its 2 GiB of address space, one just under it (the allocation fails): each is the "failed to
// load" line, not a call that ends without a word. The files are sparse: nothing of their size
// reaches the disk.
TEST_F(Favorites, AFileTooLargeForA32BitProcessFailsToLoadThere) {
  std::wstring library = L"Z:";
  for (const char* c = QVNSIS_X86_DLL; *c; ++c)
    library += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  const std::wstring caller = qvtest::ExecutableDirectory() + L"call_export32.exe";
  if (!qvtest::FileExists(library)) GTEST_SKIP() << "the 32-bit library is not built";
  auto call = [&](const std::wstring& path) {
    const ScopedHandle process = qvtest::StartProgram(
        caller, L"\"" + library + L"\" QVNSIS_LoadFavorites \"" + path + L"\"");
    return process ? qvtest::WaitForExit(process, 120000) : 0xFFFFFFFF;
  };
  qvtest::WriteFileBytes(file_, "app1\n");
  DWORD exitCode = 0;
  const auto sound = Logged([&] { exitCode = call(file_); });
  if (exitCode == 0xFFFFFFFF) GTEST_SKIP() << "no 32-bit process runs here";
  ASSERT_EQ(exitCode, 0u) << "2: the 32-bit library did not load, 3: no export";
  ASSERT_EQ(sound, StoredLog({L"app1"}, false)) << "a file that fits loads in the 32-bit process";
  qvtest::DeleteRegistryKey(HKEY_CURRENT_USER, kFavoritesKey);

  for (const int64_t size : {3LL << 30, (2LL << 30) - 4096}) {
    SCOPED_TRACE(size);
    ASSERT_TRUE(qvtest::WriteLargeFile(file_, size, 0, "app1\n"));
    const auto lines = Logged([&] { EXPECT_EQ(call(file_), 0u); });
    EXPECT_EQ(lines, (std::vector<std::wstring>{kSource + L"entered with: " + file_,
                                                kSource + L"failed to load " + file_}));
    EXPECT_FALSE(qvtest::RegistryKeyExists(HKEY_CURRENT_USER, kFavoritesKey));
  }
  DeleteFileW(file_.c_str());
}
