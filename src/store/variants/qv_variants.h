#pragma once

// Every class of the value family.
#include "store/variants/qv_variant.h"
#include "store/variants/qv_variant_geometry.h"
#include "store/variants/qv_variant_i18n.h"
#include "store/variants/qv_variant_list.h"
#include "store/variants/qv_variant_range.h"
#include "store/variants/qv_variant_scalar.h"
#include "store/variants/qv_variant_text.h"
