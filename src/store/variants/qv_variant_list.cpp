#include "store/variants/qv_variant_list.h"

#include <boost/algorithm/string/join.hpp>

#include "store/variants/utf8.h"

std::string QVVariantStringList::toString() const { return boost::algorithm::join(items, ","); }

std::string QVVariantWStringList::toString() const {
  std::vector<std::string> encoded;
  encoded.reserve(items.size());
  for (const std::wstring& item : items) encoded.push_back(QVUtf8::fromWide(item));
  return boost::algorithm::join(encoded, ",");
}
