// The XML form of an object tree. Kept out of the DLL (CMakeLists.txt): no export writes XML,
// and the class names need the C++ runtime's demangler, about 46 KB of the 32-bit DLL, which a
// DWARF unwind table keeps there whether or not anything calls it. The tests link it.
#include "store/objects/qv_object.h"

#include <boost/core/demangle.hpp>
#include <typeinfo>

#include "store/objects/qv_property.h"
#include "store/variants/qv_variant_equals.h"

namespace {

const char kLineEnd[] = "\r\n";

std::string Indent(int indent) {
  std::string text;
  for (int i = 0; i < indent; ++i) text += "    ";
  return text;
}

std::string WithoutPrefix(std::string name, const std::string& prefix) {
  if (name.compare(0, prefix.size(), prefix) == 0) name.erase(0, prefix.size());
  return name;
}

}  // namespace

std::string QVObject::className() const {
  // Some compilers name a type "class X"; the element name is the bare X.
  return WithoutPrefix(WithoutPrefix(boost::core::demangle(typeid(*this).name()), "class "),
                       "struct ");
}

std::string QVObject::xmlText(const QVXmlFilter& filter, int indent) const {
  const std::string name = className();
  std::string text = Indent(indent) + "<" + name;
  for (int i = 0; i < bag_.count(); ++i) {
    const QVProperty* property = bag_.at(i);
    if (QVVariantEquals(property->value(), property->defaultValue())) continue;
    if (filter && !filter(*this, property->name())) continue;
    text += " " + property->toAttribute();
  }
  if (children_.empty()) return text + "/>" + kLineEnd;
  text += ">";
  text += kLineEnd;
  for (const QVObject* child : children_) {
    if (child) text += child->xmlText(filter, indent + 1);
  }
  return text + Indent(indent) + "</" + name + ">" + kLineEnd;
}
