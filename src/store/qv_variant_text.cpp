#include "store/qv_variant_text.h"

#include "store/utf8.h"

std::string QVVariantWString::toString() const { return QVUtf8::fromWide(text); }
