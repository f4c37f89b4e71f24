// The string tables as the built libraries carry them, read language by language straight from
// the resource blocks (16 counted UTF-16 strings each), independent of any thread language.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/text.h"

namespace {

enum class Script { Latin, Cyrillic, Han, Japanese, Hangul };

struct Language {
  LANGID id;
  const char* name;
  Script script;
  const wchar_t* tag;       // the text of 115; nullptr where the language has none
  bool hasRelaunch;         // 110
  const wchar_t* units[3];  // 5005 to 5007
};

const wchar_t* const kBytes[3] = {L"kB", L"MB", L"GB"};

const Language kLanguages[] = {
    {0x0004, "Chinese (Simplified)", Script::Han, nullptr, true, {kBytes[0], kBytes[1], kBytes[2]}},
    {0x0006, "Danish", Script::Latin, nullptr, true, {kBytes[0], kBytes[1], kBytes[2]}},
    {0x0007, "German", Script::Latin, L"DE", true, {kBytes[0], kBytes[1], kBytes[2]}},
    {0x000B, "Finnish", Script::Latin, nullptr, true, {L"Kt", L"Mt", L"Gt"}},
    {0x000C, "French", Script::Latin, L"FRA", true, {L"Ko", L"Mo", L"Go"}},
    {0x0010, "Italian", Script::Latin, L"ITA", true, {L"KB", L"MB", L"GB"}},
    {0x0011, "Japanese", Script::Japanese, L"JPN", true, {kBytes[0], kBytes[1], kBytes[2]}},
    {0x0012, "Korean", Script::Hangul, L"KOR", true, {kBytes[0], kBytes[1], kBytes[2]}},
    {0x0014, "Norwegian", Script::Latin, nullptr, true, {kBytes[0], kBytes[1], kBytes[2]}},
    {0x0019, "Russian", Script::Cyrillic, nullptr, true, {L"КБ", L"МБ", L"ГБ"}},
    {0x001D, "Swedish", Script::Latin, nullptr, true, {kBytes[0], kBytes[1], kBytes[2]}},
    {0x0409,
     "English (United States)",
     Script::Latin,
     L"EN",
     true,
     {kBytes[0], kBytes[1], kBytes[2]}},
    {0x0416,
     "Portuguese (Brazil)",
     Script::Latin,
     nullptr,
     false,
     {kBytes[0], kBytes[1], kBytes[2]}},
    {0x0C0A, "Spanish (Spain)", Script::Latin, L"ESN", true, {kBytes[0], kBytes[1], kBytes[2]}},
    {0x2C0A, "Spanish (Argentina)", Script::Latin, L"ESS", true, {kBytes[0], kBytes[1], kBytes[2]}},
    {0x7C04, "Chinese (Traditional)", Script::Han, L"CHT", true, {kBytes[0], kBytes[1], kBytes[2]}},
};

constexpr LANGID kEnglish = 0x0409;
constexpr UINT kTag = 115;
constexpr UINT kRelaunch = 110;
constexpr UINT kLink = 116;
constexpr UINT kFirstUnit = 5005;

const std::map<UINT, std::wstring> kEnglishTable = {
    {101, L"Uninstalling Tovin will also delete your Tovin apps and start menu."},
    {102, L"Uninstalling Tovin will also delete your Tovin apps and menu."},
    {103,
     L"Uninstalling Tovin will also delete the Tovin start menu and apps, including Zandor Start."},
    {104, L"Uninstalling Tovin will also delete the Tovin menu and apps, including Zandor Start."},
    {105, L"Uninstall Tovin"},
    {106, L"Uninstalling Tovin. This won't take long"},
    {107, L"Updating Tovin"},
    {108, L"Updating Tovin. This won't take long"},
    {109, L"Some files could not be removed. Please reboot your system."},
    {110, L"Relaunch Tovin"},
    {111, L"Add to Tovin Menu"},
    {112, L"Uninstall"},
    {113, L"Cancel"},
    {114, L"Tovin Start Menu"},
    {115, L"EN"},
    {116, L"Send anonymous uninstall <a>data</a>"},
    {5001, L"seconds"},
    {5002, L"minutes"},
    {5003, L"hours"},
    {5004, L"days"},
    {5005, L"kB"},
    {5006, L"MB"},
    {5007, L"GB"},
};

// Translations that are spelled as the English text because the language spells them so.
const std::set<std::pair<LANGID, UINT>> kSameAsEnglish = {
    {0x000C, 5002},  // French "minutes"
};

// English words that are also words of the translations: the product names, the link tag, and
// "menu", "start", "apps", "data", "send", "a" and "minutes" in their own languages.
const std::set<std::wstring> kSharedWords = {L"tovin", L"zandor", L"start", L"a",      L"menu",
                                             L"apps",  L"data",   L"send",  L"minutes"};

const std::set<WORD> kBlocks = {101 / 16 + 1, 116 / 16 + 1, 5001 / 16 + 1};

bool IsFixedText(UINT id) { return id == kTag || id >= kFirstUnit; }

std::set<UINT> ExpectedIds(const Language& language) {
  std::set<UINT> ids;
  for (const auto& entry : kEnglishTable) ids.insert(entry.first);
  if (!language.tag) ids.erase(kTag);
  if (!language.hasRelaunch) ids.erase(kRelaunch);
  return ids;
}

std::string Describe(const Language& language, UINT id) {
  return std::string(language.name) + " id " + std::to_string(id);
}

bool IsLatinLetter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') ||
         (c >= 0x00C0 && c <= 0x024F && c != 0x00D7 && c != 0x00F7);
}

// The Latin-script words of a text, ASCII letters lower-cased; any other character separates.
std::vector<std::wstring> LatinWords(const std::wstring& text) {
  std::vector<std::wstring> words;
  std::wstring word;
  for (wchar_t c : text + L" ") {
    if (IsLatinLetter(c)) {
      word += (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  return words;
}

bool HasLetterOf(Script script, const std::wstring& text) {
  return std::any_of(text.begin(), text.end(), [script](wchar_t c) {
    const bool han = c >= 0x4E00 && c <= 0x9FFF;
    switch (script) {
      case Script::Latin:
        return IsLatinLetter(c);
      case Script::Cyrillic:
        return c >= 0x0400 && c <= 0x04FF;
      case Script::Han:
        return han;
      case Script::Japanese:
        return han || (c >= 0x3040 && c <= 0x30FF);
      case Script::Hangul:
        return c >= 0xAC00 && c <= 0xD7A3;
    }
    return false;
  });
}

bool EndsWithFullStop(const std::wstring& text) {
  return !text.empty() &&
         (text.back() == L'.' || text.back() == L'\u3002' || text.back() == L'\uFF0E');
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR out) {
  if (IS_INTRESOURCE(name))
    reinterpret_cast<std::set<WORD>*>(out)->insert(LOWORD(name));
  else
    reinterpret_cast<std::set<WORD>*>(out)->insert(0);  // a named block: never expected
  return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR out) {
  reinterpret_cast<std::set<LANGID>*>(out)->insert(language);
  return TRUE;
}

// One built library, mapped for its resources only (its entry point does not run).
class Library {
 public:
  Library(std::string label, const std::wstring& path)
      : label_(std::move(label)),
        module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  ~Library() {
    if (module_) FreeLibrary(module_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  const std::string& label() const { return label_; }
  HMODULE module() const { return module_; }

  std::set<WORD> Blocks() const {
    std::set<WORD> blocks;
    EnumResourceNamesW(module_, RT_STRING, CollectName, reinterpret_cast<LONG_PTR>(&blocks));
    return blocks;
  }

  std::set<LANGID> LanguagesOf(WORD block) const {
    std::set<LANGID> languages;
    EnumResourceLanguagesW(module_, RT_STRING, MAKEINTRESOURCEW(block), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    return languages;
  }

  // Every non-empty string of exactly this language, by id, from all of the library's string
  // blocks. A block must hold its 16 counted strings within the resource's size.
  std::map<UINT, std::wstring> Strings(LANGID language) const {
    std::map<UINT, std::wstring> strings;
    for (WORD block : Blocks()) {
      // Only the language's own blocks: the finder would fall back to another language.
      if (!LanguagesOf(block).count(language)) continue;
      HRSRC found = FindResourceExW(module_, RT_STRING, MAKEINTRESOURCEW(block), language);
      if (!found) continue;
      const auto* data = static_cast<const WCHAR*>(LockResource(LoadResource(module_, found)));
      const size_t units = SizeofResource(module_, found) / sizeof(WCHAR);
      EXPECT_NE(data, nullptr) << label_ << " block " << block;
      if (!data) continue;
      size_t at = 0;
      for (UINT slot = 0; slot < 16; ++slot) {
        if (at >= units) {
          ADD_FAILURE() << label_ << " block " << block << " of language " << language
                        << " ends at string " << slot;
          break;
        }
        const size_t length = data[at++];
        if (length > units - at) {
          ADD_FAILURE() << label_ << " block " << block << " string " << slot << " overruns";
          break;
        }
        if (length) strings[(block - 1u) * 16u + slot] = std::wstring(data + at, length);
        at += length;
      }
    }
    return strings;
  }

 private:
  std::string label_;
  HMODULE module_;
};

std::wstring WindowsPath(const std::string& unixPath) {
  std::wstring path = L"Z:";
  for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}

// The 64-bit library beside this test and the shipped 32-bit one from its own build tree: both
// are built from the same resource script.
template <typename Check>
void ForEachLibrary(Check check) {
  const std::pair<std::string, std::wstring> libraries[] = {
      {"64-bit library", qvtest::ExecutableDirectory() + L"qvnsis.dll"},
      {"32-bit library", WindowsPath(QVNSIS_X86_DLL)},
  };
  for (const auto& entry : libraries) {
    SCOPED_TRACE(entry.first);
    Library library(entry.first, entry.second);
    ASSERT_NE(library.module(), nullptr)
        << entry.first << " did not load, error " << GetLastError();
    check(library);
  }
}

}  // namespace

TEST(StringTables, EveryBlockHoldsExactlyTheSixteenLanguages) {
  std::set<LANGID> expected;
  for (const auto& language : kLanguages) expected.insert(language.id);
  ASSERT_EQ(expected.size(), 16u);
  ForEachLibrary([&](const Library& library) {
    ASSERT_EQ(library.Blocks(), kBlocks);
    for (WORD block : kBlocks) EXPECT_EQ(library.LanguagesOf(block), expected) << "block " << block;
  });
}

TEST(StringTables, EachLanguageHasExactlyItsIds) {
  ForEachLibrary([](const Library& library) {
    for (const auto& language : kLanguages) {
      std::set<UINT> present;
      for (const auto& entry : library.Strings(language.id)) present.insert(entry.first);
      EXPECT_EQ(present, ExpectedIds(language)) << language.name;
    }
  });
}

TEST(StringTables, EnglishReadsExactlyAsWritten) {
  ForEachLibrary(
      [](const Library& library) { EXPECT_EQ(library.Strings(kEnglish), kEnglishTable); });
}

TEST(StringTables, TagsAndUnitsAreTheFixedTexts) {
  ForEachLibrary([](const Library& library) {
    for (const auto& language : kLanguages) {
      const auto strings = library.Strings(language.id);
      if (language.tag) {
        ASSERT_TRUE(strings.count(kTag)) << Describe(language, kTag) << " is missing";
        EXPECT_EQ(strings.at(kTag), language.tag) << language.name;
      }
      for (UINT i = 0; i < 3; ++i) {
        const UINT id = kFirstUnit + i;
        ASSERT_TRUE(strings.count(id)) << Describe(language, id) << " is missing";
        EXPECT_EQ(qvtest::Utf8(strings.at(id)), qvtest::Utf8(language.units[i]))
            << Describe(language, id);
      }
    }
  });
}

TEST(StringTables, TranslationsKeepNamesLinkAndSentenceEnds) {
  ForEachLibrary([](const Library& library) {
    for (const auto& language : kLanguages) {
      for (const auto& entry : library.Strings(language.id)) {
        const UINT id = entry.first;
        const std::wstring& text = entry.second;
        const std::wstring& english = kEnglishTable.at(id);
        SCOPED_TRACE(Describe(language, id) + ": " + qvtest::Utf8(text));
        for (const wchar_t* name : {L"Tovin", L"Zandor Start"}) {
          if (english.find(name) != std::wstring::npos) {
            EXPECT_NE(text.find(name), std::wstring::npos) << qvtest::Utf8(name);
          }
        }
        // A sentence ends with a full stop where the English one does, and only there.
        EXPECT_EQ(EndsWithFullStop(text), EndsWithFullStop(english));
        EXPECT_FALSE(iswspace(text.front()) || iswspace(text.back()));
        EXPECT_EQ(text.find(L'\0'), std::wstring::npos);

        const size_t open = text.find(L"<a>");
        const size_t close = text.find(L"</a>");
        if (id == kLink) {
          ASSERT_NE(open, std::wstring::npos);
          ASSERT_NE(close, std::wstring::npos);
          EXPECT_GT(close, open + 3) << "the link has no text";
          EXPECT_EQ(text.find(L"<a>", open + 1), std::wstring::npos);
          EXPECT_EQ(text.find(L"</a>", close + 1), std::wstring::npos);
          EXPECT_EQ(text.find(L'<', open + 1), close);
        } else {
          EXPECT_EQ(text.find(L'<'), std::wstring::npos);
        }
      }
    }
  });
}

TEST(StringTables, NoTranslationIsLeftInEnglish) {
  std::set<std::wstring> englishWords;
  for (const auto& entry : kEnglishTable) {
    if (IsFixedText(entry.first)) continue;
    for (const auto& word : LatinWords(entry.second)) englishWords.insert(word);
  }
  ForEachLibrary([&](const Library& library) {
    for (const auto& language : kLanguages) {
      if (language.id == kEnglish) continue;
      for (const auto& entry : library.Strings(language.id)) {
        const UINT id = entry.first;
        if (IsFixedText(id)) continue;  // checked against their fixed texts
        const std::wstring& text = entry.second;
        SCOPED_TRACE(Describe(language, id) + ": " + qvtest::Utf8(text));
        if (!kSameAsEnglish.count({language.id, id})) {
          EXPECT_NE(text, kEnglishTable.at(id));
        }
        for (const auto& word : LatinWords(text)) {
          EXPECT_TRUE(!englishWords.count(word) || kSharedWords.count(word))
              << "English word \"" << qvtest::Utf8(word) << "\"";
        }
        EXPECT_TRUE(HasLetterOf(language.script, text)) << "no letter of the language's script";
      }
    }
  });
}
