#include "store/objects/set_property_from_text.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>

#include "foundation/localization/translation_catalog.h"
#include "store/objects/qv_object.h"
#include "store/variants/qv_variants.h"
#include "store/variants/utf8.h"

namespace {

const char kStoredMarker[] = "QVI18N:";
const size_t kStoredMarkerLength = 7;

// Unsigned 32-bit conversion relies on `unsigned long` being 32 bits, as on every Windows target.
static_assert(sizeof(unsigned long) == 4, "unsigned long must be 32 bits");

template <typename T>
struct Parsed {
  QVTextParseResult result;
  T value;
};

// The leading base-10 number, trailing text ignored, as the C library reads it.
template <typename T>
Parsed<T> ParseLeading(const std::string& text, T (*convert)(const char*, char**)) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const T value = convert(begin, &end);
  if (end == begin) return {QVTextParseResult::InvalidArgument, T()};
  if (errno == ERANGE) return {QVTextParseResult::OutOfRange, T()};
  return {QVTextParseResult::Applied, value};
}

unsigned long ToUInt32(const char* text, char** end) { return std::strtoul(text, end, 10); }
long long ToInt64(const char* text, char** end) { return std::strtoll(text, end, 10); }
unsigned long long ToUInt64(const char* text, char** end) { return std::strtoull(text, end, 10); }
float ToFloat(const char* text, char** end) { return std::strtof(text, end); }

// A sign, then decimal digits to the end: nothing before, after or between (the C library's
// conversions would skip leading white space and stop at trailing text).
bool IsWholeDecimal(const std::string& text) {
  size_t at = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
  if (at == text.size()) return false;
  for (; at < text.size(); ++at) {
    if (text[at] < '0' || text[at] > '9') return false;
  }
  return true;
}

// The whole text as a signed 32-bit decimal integer; 0 when it is anything else.
int32_t StrictInt32(const std::string& text) {
  if (!IsWholeDecimal(text)) return 0;
  static_assert(sizeof(long) == 4, "long must be 32 bits");
  errno = 0;
  const long value = std::strtol(text.c_str(), nullptr, 10);
  return errno == ERANGE ? 0 : static_cast<int32_t>(value);
}

// A 32-bit extent, accepting its printed unsigned form as well as a signed one (a negative
// number wraps, "-1" being 4294967295); 0 otherwise.
uint32_t StrictExtent(const std::string& text) {
  if (!IsWholeDecimal(text)) return 0;
  errno = 0;
  const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
  return errno == ERANGE ? 0 : static_cast<uint32_t>(value);
}

// "true" in any mix of ASCII case.
bool IsTrue(const std::string& text) {
  static const char kTrue[] = "true";
  if (text.size() != 4) return false;
  for (size_t i = 0; i < 4; ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kTrue[i]) return false;
  }
  return true;
}

template <typename Text>
std::vector<Text> SplitAtCommas(const Text& text) {
  std::vector<Text> parts;
  boost::algorithm::split(
      parts, text, [](auto c) { return c == ','; }, boost::algorithm::token_compress_off);
  return parts;
}

bool HasStoredMarker(const std::string& text) {
  return text.compare(0, kStoredMarkerLength, kStoredMarker) == 0;
}

struct Conversion {
  QVTextParseResult result;
  std::unique_ptr<QVVariant> value;
};

Conversion Fail(QVTextParseResult result) { return {result, nullptr}; }

template <typename V>
Conversion Made(std::unique_ptr<V> value) {
  return {QVTextParseResult::Applied, std::move(value)};
}

template <typename V, typename T>
Conversion FromLeading(const std::string& text, T (*convert)(const char*, char**)) {
  const Parsed<T> parsed = ParseLeading(text, convert);
  if (parsed.result != QVTextParseResult::Applied) return Fail(parsed.result);
  return Made(V::create(static_cast<decltype(V::value)>(parsed.value)));
}

template <typename V, typename T>
Conversion PairFromLeading(const std::string& text, T (*convert)(const char*, char**)) {
  const std::vector<std::string> parts = SplitAtCommas(text);
  if (parts.size() != 2) return Fail(QVTextParseResult::Ignored);
  const Parsed<T> first = ParseLeading(parts[0], convert);
  if (first.result != QVTextParseResult::Applied) return Fail(first.result);
  const Parsed<T> second = ParseLeading(parts[1], convert);
  if (second.result != QVTextParseResult::Applied) return Fail(second.result);
  return Made(V::create(first.value, second.value));
}

Conversion WideText(const std::string& text) {
  if (HasStoredMarker(text)) {
    const std::wstring localizable = QVUtf8::widenBytes(text.substr(kStoredMarkerLength));
    return Made(QVVariantWStringI18N::create(localizable, localizable));
  }
  return Made(QVVariantWString::create(QVUtf8::toWide(text)));
}

Conversion WideList(const std::string& text) {
  if (HasStoredMarker(text)) {
    const std::wstring translated = QVTranslationCatalog::instance().translate(
        QVUtf8::widenBytes(text.substr(kStoredMarkerLength)));
    const std::vector<std::wstring> items = SplitAtCommas(translated);
    return Made(QVVariantWStringListI18N::create(items, items));
  }
  std::vector<std::wstring> items;
  for (const std::string& part : SplitAtCommas(text)) items.push_back(QVUtf8::toWide(part));
  return Made(QVVariantWStringList::create(std::move(items)));
}

Conversion Convert(QVVariantType type, const std::string& text) {
  switch (type) {
    case QVVariantType::Bool:
      return Made(QVVariantBool::create(IsTrue(text)));
    case QVVariantType::Int32:
      return Made(QVVariantInt32::create(StrictInt32(text)));
    case QVVariantType::Int16:
      return Made(QVVariantInt16::create(static_cast<int16_t>(StrictInt32(text))));
    case QVVariantType::Int8:
      return Made(QVVariantInt8::create(static_cast<int8_t>(StrictInt32(text))));
    case QVVariantType::UInt32:
      return FromLeading<QVVariantUInt32>(text, &ToUInt32);
    case QVVariantType::UInt16:
      return FromLeading<QVVariantUInt16>(text, &ToUInt32);
    case QVVariantType::UInt8:
      return FromLeading<QVVariantUInt8>(text, &ToUInt32);
    case QVVariantType::Int64:
      return FromLeading<QVVariantInt64>(text, &ToInt64);
    case QVVariantType::UInt64:
      return FromLeading<QVVariantUInt64>(text, &ToUInt64);
    case QVVariantType::Double:
      return FromLeading<QVVariantDouble>(text, &ToFloat);
    case QVVariantType::String:
      return Made(QVVariantString::create(text));
    case QVVariantType::WString:
      return WideText(text);
    case QVVariantType::Point:
    case QVVariantType::Int32Range: {
      const std::vector<std::string> parts = SplitAtCommas(text);
      if (parts.size() != 2) return Fail(QVTextParseResult::Ignored);
      if (type == QVVariantType::Point) {
        return Made(QVVariantPoint::create(StrictInt32(parts[0]), StrictInt32(parts[1])));
      }
      return Made(QVVariantInt32Range::create(StrictInt32(parts[0]), StrictInt32(parts[1])));
    }
    case QVVariantType::Rect: {
      const std::vector<std::string> parts = SplitAtCommas(text);
      if (parts.size() != 4) return Fail(QVTextParseResult::Ignored);
      return Made(QVVariantRect::create(StrictInt32(parts[0]), StrictInt32(parts[1]),
                                        StrictExtent(parts[2]), StrictExtent(parts[3])));
    }
    case QVVariantType::Color: {
      const std::vector<std::string> parts = SplitAtCommas(text);
      if (parts.size() != 4) return Fail(QVTextParseResult::Ignored);
      return Made(QVVariantColor::create(static_cast<uint8_t>(StrictInt32(parts[0])),
                                         static_cast<uint8_t>(StrictInt32(parts[1])),
                                         static_cast<uint8_t>(StrictInt32(parts[2])),
                                         static_cast<uint8_t>(StrictInt32(parts[3]))));
    }
    case QVVariantType::StringList:
      return Made(QVVariantStringList::create(SplitAtCommas(text)));
    case QVVariantType::WStringList:
      return WideList(text);
    case QVVariantType::Int64Range:
      return PairFromLeading<QVVariantInt64Range>(text, &ToInt64);
    case QVVariantType::DoubleRange:
      return PairFromLeading<QVVariantDoubleRange>(text, &ToFloat);
    case QVVariantType::None:
    case QVVariantType::VoidP:
      break;
  }
  return Fail(QVTextParseResult::Ignored);
}

}  // namespace

QVTextParseResult setPropertyFromText(QVObject& object, const std::string& name,
                                      const std::string& text) {
  const QVVariant* current = object.getProperty(name);
  if (!current) return QVTextParseResult::Ignored;
  Conversion conversion = Convert(current->type(), text);
  if (conversion.result != QVTextParseResult::Applied) return conversion.result;
  if (!conversion.value) throw std::bad_alloc();
  object.setProperty(name, *conversion.value, false);
  return QVTextParseResult::Applied;
}
