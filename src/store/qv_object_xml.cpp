#include <typeinfo>

#include <boost/core/demangle.hpp>

#include "store/qv_object.h"
#include "store/qv_variant_equals.h"

namespace {

const char kLineEnd[] = "\r\n";

void Indent(std::ostream& out, int indent) {
  for (int i = 0; i < indent; ++i) out << "    ";
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

void QVObject::toXml(std::ostream& out, int indent) const { writeXml(out, QVXmlFilter(), indent); }

void QVObject::writeXml(std::ostream& out, const QVXmlFilter& filter, int indent) const {
  const std::string name = className();
  Indent(out, indent);
  out << "<" << name;
  for (int i = 0; i < bag_.count(); ++i) {
    const QVProperty* property = bag_.at(i);
    if (QVVariantEquals(property->value(), property->defaultValue())) continue;
    if (filter && !filter(*this, property->name())) continue;
    out << " " << property->toAttribute();
  }
  if (children_.empty()) {
    out << "/>" << kLineEnd;
    return;
  }
  out << ">" << kLineEnd;
  for (const QVObject* child : children_) {
    if (child) child->writeXml(out, filter, indent + 1);
  }
  Indent(out, indent);
  out << "</" << name << ">" << kLineEnd;
}
