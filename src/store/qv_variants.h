#pragma once

// Every class of the value family.
#include "store/qv_variant.h"
#include "store/qv_variant_geometry.h"
#include "store/qv_variant_i18n.h"
#include "store/qv_variant_list.h"
#include "store/qv_variant_range.h"
#include "store/qv_variant_scalar.h"
#include "store/qv_variant_text.h"
