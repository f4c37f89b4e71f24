#pragma once

#include <string>

class QVObject;

enum class QVTextParseResult {
  Applied,          // the parsed value was handed to setProperty
  Ignored,          // no such property, a type without a text form, or too few or many values
  InvalidArgument,  // the text does not begin with a number
  OutOfRange,       // the number does not fit its type
};

// Parses `text` (the value's text form, as stored in a table cell) as a value of the property's
// current type and sets it, not touching the default.
//   Bool: "true" in any case, anything else is false.
//   Int8/16/32: the whole text must be a 32-bit decimal integer, else 0; then truncated.
//   UInt8/16/32, Int64, UInt64, Double: the leading number (Double at float precision);
//     failures are reported.
//   Compound values and lists: split at every ",", keeping empty parts.
//   Wide texts and lists: UTF-8, or a localizable value when marked "QVI18N:".
QVTextParseResult setPropertyFromText(QVObject& object, const std::string& name,
                                      const std::string& text);
