#include "shell/deskband/taskbar_deskband.h"

#include <objbase.h>
#include <shobjidl.h>

#include "foundation/log/log.h"
#include "foundation/os/bounded_worker.h"
#include "foundation/os/test_bed_setting.h"
#include "foundation/owners/com_initializer.h"
#include "foundation/owners/qv_com_ptr.h"

namespace {

// Spelled out here so this depends on no import library's list of identifiers.
const CLSID kClsidTrayDeskBand = {
    0xE6442437, 0x6C68, 0x4F52, {0x94, 0xDD, 0x2C, 0xFE, 0xD2, 0x67, 0xEF, 0xB9}};
const IID kIidTrayDeskBand = {
    0x6D67E846, 0x5B9C, 0x4DB8, {0x9C, 0xBC, 0xDD, 0xE1, 0x2F, 0x42, 0x54, 0xF1}};

// What COM answers for a call whose server process has ended or dropped the connection.
bool ServerGone(HRESULT result) {
  switch (result) {
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE:
    case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE):
      return true;
    default:
      return false;
  }
}

// One creation and call, on the worker. Owns copies of everything it uses: the caller may have
// given up and returned by the time it ends.
class TaskbarCall : public QVOS::BoundedTask {
 public:
  using Method = TaskbarDeskBand::Method;
  TaskbarCall(Method method, const CLSID& classId) : method_(method), classId_(classId) {}

  HRESULT result = E_FAIL;

 protected:
  void run() override {
    // An apartment of its own, as the installer's thread would have; the object is released
    // before COM is uninitialised.
    const ComInitializer com(COINIT_APARTMENTTHREADED);
    QVComPtr<ITrayDeskBand> tray;
    result =
        CoCreateInstance(kClsidTrayDeskBand, nullptr, CLSCTX_ALL, kIidTrayDeskBand, tray.putVoid());
    if (FAILED(result) || !tray) {
      if (SUCCEEDED(result)) result = E_NOINTERFACE;
      return;
    }
    switch (method_) {
      case Method::None:
        break;
      case Method::Show:
        result = tray->ShowDeskBand(classId_);
        break;
      case Method::Hide:
        result = tray->HideDeskBand(classId_);
        break;
      case Method::RegistrationChanged:
        result = tray->DeskBandRegistrationChanged();
        break;
    }
  }

 private:
  const Method method_;
  const CLSID classId_;
};

}  // namespace

TaskbarDeskBand::TaskbarDeskBand(std::wstring source) : source_(std::move(source)) {}

DWORD TaskbarDeskBand::creationLimitMs() {
  const DWORD testBed = QVOS::testBedMilliseconds(L"TaskbarCreationLimitMs", kCreateTimeoutMs);
  return testBed < kCreateTimeoutMs           ? kCreateTimeoutMs
         : testBed > kTestBedCreateLimitMaxMs ? kTestBedCreateLimitMaxMs
                                              : testBed;
}

bool TaskbarDeskBand::create() {
  return SUCCEEDED(call(Method::None, CLSID(), L"creation", creationLimitMs()));
}

HRESULT TaskbarDeskBand::showDeskBand(const CLSID& classId) {
  return call(Method::Show, classId, L"ShowDeskBand", kCallTimeoutMs);
}

HRESULT TaskbarDeskBand::hideDeskBand(const CLSID& classId, DWORD limitMs) {
  if (limitMs == 0) return kNotAnswered;
  return call(Method::Hide, classId, L"HideDeskBand",
              limitMs < kCallTimeoutMs ? limitMs : kCallTimeoutMs);
}

HRESULT TaskbarDeskBand::deskBandRegistrationChanged() {
  return call(Method::RegistrationChanged, CLSID(), L"DeskBandRegistrationChanged", kCallTimeoutMs);
}

HRESULT TaskbarDeskBand::call(Method method, const CLSID& classId, const wchar_t* name,
                              DWORD timeoutMs) {
  if (unanswered()) return kNotAnswered;
  QVOS::BoundedTaskHolder<TaskbarCall> task(new TaskbarCall(method, classId));
  if (!task->runWithin(timeoutMs)) {
    hung_ = true;
    Log::Stream() << source_ << L"taskbar did not answer " << name << L" within " << timeoutMs
                  << L" ms";
    return kNotAnswered;
  }
  if (ServerGone(task->result)) {
    gone_ = true;
    Log::Stream() << source_ << Log::OsError{static_cast<unsigned long>(task->result)}
                  << L"taskbar gone during " << name;
  }
  return task->result;
}
