#include "foundation/owners/com_initializer.h"

#include <objbase.h>

#include "foundation/log/log.h"

ComInitializer::ComInitializer(DWORD concurrencyModel)
    : result_(CoInitializeEx(nullptr, concurrencyModel)) {
  if (result_ == RPC_E_CHANGED_MODE) {
    Log::Stream() << L"ComInitializer::ComInitializer: CoInitializeEx returned RPC_E_CHANGED_MODE";
  }
}

ComInitializer::~ComInitializer() {
  if (initialized()) CoUninitialize();
}
