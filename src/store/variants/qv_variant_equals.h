#pragma once

#include "store/variants/qv_variant.h"

// Equal values: both present, the same type code and the same payload. Doubles compare as
// numbers (NaN equals nothing); localizable texts compare their displayed texts, not their keys.
bool QVVariantEquals(const QVVariant* a, const QVVariant* b);
