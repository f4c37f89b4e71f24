#pragma once

#include <windows.h>

#include <string>

// The taskbar's deskband object (ITrayDeskBand, Windows 7 and later), which lives in Explorer.
// Every use creates it and calls it on a worker thread of its own and waits at most
// kCreateTimeoutMs for a creation alone and kCallTimeoutMs for a call: a hung Explorer costs the
// caller that wait once; it is logged and not called again by this holder. A taskbar whose
// process has gone is not called again either, until AskAgainIfGone: Explorer restarts itself,
// and the new one registers the object anew.
class TaskbarDeskBand {
 public:
  // Wider: where the class is missing, COM may look for a local server for seconds (Wine starts
  // its COM service for the first such look-up).
  static constexpr DWORD kCreateTimeoutMs = 30000;
  static constexpr DWORD kCallTimeoutMs = 5000;
  // What a call answers when it is not made, or not answered in time.
  static constexpr HRESULT kNotAnswered = HRESULT_FROM_WIN32(ERROR_TIMEOUT);

  // `source` starts the log lines ("RemoveDeskBandFromTaskBar: ").
  explicit TaskbarDeskBand(std::wstring source);

  TaskbarDeskBand(const TaskbarDeskBand&) = delete;
  TaskbarDeskBand& operator=(const TaskbarDeskBand&) = delete;

  // Creates the object: true when the taskbar has one. False on systems without it, and once the
  // taskbar has failed to answer or gone.
  bool Create();
  // The taskbar failed to answer or went away: nothing more is asked of it.
  bool Unanswered() const { return hung_ || gone_; }
  // A taskbar that went away may be asked again (a new Explorer); one that hung never is.
  void AskAgainIfGone() { gone_ = false; }

  HRESULT ShowDeskBand(const CLSID& classId);
  HRESULT HideDeskBand(const CLSID& classId);
  HRESULT DeskBandRegistrationChanged();

  // What a worker does after creating the object.
  enum class Method { None, Show, Hide, RegistrationChanged };

 private:
  HRESULT call(Method method, const CLSID& classId, const wchar_t* name);

  std::wstring source_;
  bool hung_ = false;
  bool gone_ = false;
};
