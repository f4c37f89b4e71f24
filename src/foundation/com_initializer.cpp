#include "foundation/com_initializer.h"

#include "foundation/log.h"

ComInitializer::ComInitializer(COINIT model) : result_(CoInitializeEx(nullptr, model)) {
  if (result_ == RPC_E_CHANGED_MODE) {
    Log::Stream() << L"ComInitializer::ComInitializer: CoInitializeEx returned RPC_E_CHANGED_MODE";
  }
}

ComInitializer::~ComInitializer() {
  if (result_ == S_OK || result_ == S_FALSE) CoUninitialize();
}
