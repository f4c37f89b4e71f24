#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exports/installer_windows/progress_text_timer.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/test_dialog.h"

namespace {

const wchar_t kUninstalling[] = L"Uninstalling Tovin. This won't take long";
constexpr DWORD kObserveMs = 20000;

int g_parentPaints = 0;

LRESULT CALLBACK PageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) ++g_parentPaints;
  return DefWindowProcW(window, message, wParam, lParam);
}

// An installer page with a label on it.
HWND CreatePage() {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = &PageWindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"QvTestProgressPage";
  RegisterClassW(&windowClass);
  return CreateWindowExW(0, L"QvTestProgressPage", L"page", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                         400, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

HWND CreateLabel(HWND page, const std::wstring& text, int y) {
  return CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE, 10, y, 380, 20, page,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

// Runs the thread's message dispatch until the label's text has changed `count` times (or the
// time is up). Each change is written as "+" when the page was repainted since the change before,
// else "-", followed by the new text.
std::vector<std::wstring> ObserveChanges(HWND label, size_t count) {
  std::vector<std::wstring> changes;
  std::wstring last = TextOf(label);
  int paints = g_parentPaints;
  const DWORD start = GetTickCount();
  while (changes.size() < count && GetTickCount() - start < kObserveMs) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    qvtest::PumpMessages();
    const std::wstring text = TextOf(label);
    if (text == last) continue;
    changes.push_back((g_parentPaints > paints ? L"+" : L"-") + text);
    last = text;
    paints = g_parentPaints;
  }
  return changes;
}

void WriteLines(const std::wstring& path, const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (const std::wstring& line : lines) text += line + L"\n";
  qvtest::WriteFileBytes(
      path, std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
}

std::vector<std::wstring> ReadLines(const std::wstring& path) {
  const std::string bytes = qvtest::ReadFileBytes(path);
  const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()),
                          bytes.size() / sizeof(wchar_t));
  std::vector<std::wstring> lines;
  size_t start = 0;
  for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// A fresh process, so the first tick is the process's first. args: output file, label text,
// number of changes to watch.
QV_TEST_CHILD(animate_label) {
  const HWND page = CreatePage();
  const HWND label = CreateLabel(page, args.at(1), 10);
  if (!page || !label) return 2;
  qvtest::PumpMessages();
  if (!StartProgressTextTimer(label)) return 3;
  WriteLines(args.at(0), ObserveChanges(label, std::stoul(args.at(2))));
  return 0;
}

// A second label takes over every timer; a null or destroyed label takes over nothing.
// args: output file. Lines: the changes of the first label, then "switch", then those of the
// second label, then the first label's text at the end.
QV_TEST_CHILD(switch_labels) {
  const HWND page = CreatePage();
  const HWND first = CreateLabel(page, L"first", 10);
  const HWND second = CreateLabel(page, L"second", 40);
  const HWND gone = CreateLabel(page, L"gone", 70);
  DestroyWindow(gone);
  qvtest::PumpMessages();
  if (!StartProgressTextTimer(first)) return 3;
  if (StartProgressTextTimer(nullptr) != 0 || StartProgressTextTimer(gone) != 0) return 4;
  std::vector<std::wstring> lines = ObserveChanges(first, 2);
  lines.push_back(L"switch");
  if (!StartProgressTextTimer(second)) return 5;
  const std::wstring firstText = TextOf(first);
  for (const std::wstring& change : ObserveChanges(second, 4)) lines.push_back(change);
  lines.push_back(TextOf(first) == firstText ? L"first unchanged"
                                             : L"first changed: " + TextOf(first));
  WriteLines(args.at(0), lines);
  return 0;
}

}  // namespace

TEST(ProgressTextTimer, DotsStepOneToThreeThenNoneWithThePageRedrawn) {
  qvtest::ScopedTempDir dir;
  const std::wstring out = dir.path() + L"changes.txt";
  ASSERT_EQ(qvtest::RunChild(L"animate_label", {out, kUninstalling, L"6"}).exitCode, 0u);
  const std::wstring text = kUninstalling;
  EXPECT_EQ(ReadLines(out), (std::vector<std::wstring>{L"+" + text + L".", L"+" + text + L"..",
                                                       L"+" + text + L"...", L"+" + text,
                                                       L"+" + text + L".", L"+" + text + L".."}));
}

TEST(ProgressTextTimer, KeepsAtMost199CharactersOfTheLabel) {
  qvtest::ScopedTempDir dir;
  const std::wstring out = dir.path() + L"changes.txt";
  std::wstring text;
  for (int i = 0; i < 250; ++i) text += static_cast<wchar_t>(L'a' + i % 26);
  ASSERT_EQ(qvtest::RunChild(L"animate_label", {out, text, L"3"}).exitCode, 0u);
  const std::wstring kept = text.substr(0, 199);
  EXPECT_EQ(ReadLines(out), (std::vector<std::wstring>{L"+" + kept + L".", L"+" + kept + L"..",
                                                       L"+" + kept + L"..."}));
}

TEST(ProgressTextTimer, TheLastLabelTakesOverAndNoWindowIsRefused) {
  qvtest::ScopedTempDir dir;
  const std::wstring out = dir.path() + L"changes.txt";
  ASSERT_EQ(qvtest::RunChild(L"switch_labels", {out}).exitCode, 0u);
  const std::vector<std::wstring> lines = ReadLines(out);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], L"+first.");
  EXPECT_EQ(lines[1], L"+first..");
  EXPECT_EQ(lines[2], L"switch");
  // Both timers now write to the second label (two ticks may fall into one dispatch, so the
  // steps between changes are not fixed).
  for (size_t i = 3; i < 7; ++i) {
    ASSERT_EQ(lines[i].substr(0, 7), L"+second") << lines[i];
    EXPECT_EQ(lines[i].find_first_not_of(L'.', 7), std::wstring::npos) << lines[i];
    EXPECT_LE(lines[i].size() - 7, 3u) << lines[i];
  }
  EXPECT_EQ(lines[7], L"first unchanged");
}
