#include "store/tovin_state_record.h"

#include "store/qv_variants.h"

TovinStateRecord::TovinStateRecord() {
  for (const char* name : {"tovin_id", "state_id", "value"}) {
    addProperty(name, QVVariantType::String);
    setProperty(name, QVVariantString(), true);
  }
}
