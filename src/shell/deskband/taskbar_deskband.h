#pragma once

#include <windows.h>

#include <string>

// The taskbar's deskband object (ITrayDeskBand, Windows 7 and later), which lives in Explorer.
// Every use creates it and calls it on a worker thread of its own and waits at most
// creationLimitMs() for a creation alone and kCallTimeoutMs for a call: a hung Explorer costs the
// caller that wait once; it is logged and not called again by this holder. A taskbar whose
// process has gone is not called again either, until askAgainIfGone: Explorer restarts itself,
// and the new one registers the object anew.
class TaskbarDeskBand {
 public:
  // Windows answers a creation at once, or fails a missing class at once: the limit only bounds
  // a hung Explorer, like a call's.
  static constexpr DWORD kCreateTimeoutMs = 5000;
  static constexpr DWORD kCallTimeoutMs = 5000;
  // The most the Wine test bed may allow a creation (Wine under load takes 6 to 9 s to fail a
  // class nobody registered, looking for a local server).
  static constexpr DWORD kTestBedCreateLimitMaxMs = 60000;
  // kCreateTimeoutMs; under Wine, what the test bed's "TaskbarCreationLimitMs" allows, up to
  // kTestBedCreateLimitMaxMs (foundation/os/test_bed_setting).
  static DWORD creationLimitMs();
  // What a call answers when it is not made, or not answered in time.
  static constexpr HRESULT kNotAnswered = HRESULT_FROM_WIN32(ERROR_TIMEOUT);

  // `source` starts the log lines ("RemoveDeskBandFromTaskBar: ").
  explicit TaskbarDeskBand(std::wstring source);

  TaskbarDeskBand(const TaskbarDeskBand&) = delete;
  TaskbarDeskBand& operator=(const TaskbarDeskBand&) = delete;

  // Creates the object: true when the taskbar has one. False on systems without it, and once the
  // taskbar has failed to answer or gone.
  bool create();
  // The taskbar failed to answer or went away: nothing more is asked of it.
  bool unanswered() const { return hung_ || gone_; }
  // A taskbar that went away may be asked again (a new Explorer); one that hung never is.
  void askAgainIfGone() { gone_ = false; }

  HRESULT showDeskBand(const CLSID& classId);
  // Waits at most `limitMs` (and never more than kCallTimeoutMs); 0 makes no call.
  HRESULT hideDeskBand(const CLSID& classId, DWORD limitMs = kCallTimeoutMs);
  HRESULT deskBandRegistrationChanged();

  // What a worker does after creating the object.
  enum class Method { None, Show, Hide, RegistrationChanged };

 private:
  HRESULT call(Method method, const CLSID& classId, const wchar_t* name, DWORD timeoutMs);

  std::wstring source_;
  bool hung_ = false;
  bool gone_ = false;
};
