#include "exports/app_store_pinning/tovin_record.h"

#include "store/variants/qv_variants.h"

TovinRecord::TovinRecord() {
  // Value and default both hold the initial value, so a fresh record writes no attributes.
  const auto addString = [this](const char* name) {
    addProperty(name, QVVariantType::String);
    setProperty(name, QVVariantString(), true);
  };
  addProperty("ROWID", QVVariantType::Int64);
  setProperty("ROWID", QVVariantInt64(0), true);
  addString("tovin_id");
  addString("hash");
  addString("hashcheck");
  addProperty("disabled", QVVariantType::Bool);
  setProperty("disabled", QVVariantBool(false), true);
  addProperty("install_time", QVVariantType::Int64);
  setProperty("install_time", QVVariantInt64(-1), true);
  addString("install_source");
  addString("install_campaign");
}

TovinStateRecord::TovinStateRecord() {
  for (const char* name : {"tovin_id", "state_id", "value"}) {
    addProperty(name, QVVariantType::String);
    setProperty(name, QVVariantString(), true);
  }
}
