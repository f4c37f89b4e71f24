#pragma once

#include <memory>

#include "store/variants/qv_variant.h"

// A new value of `type` holding its zero value (false, 0, empty text or list, (0,0)...).
// Codes 13 and 18 give the plain wide classes. Null for an unknown code, or when memory is
// exhausted.
std::unique_ptr<QVVariant> QVVariantCreate(QVVariantType type);
