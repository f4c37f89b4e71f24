#include "store/variants/qv_variant_geometry.h"

std::string QVVariantPoint::toString() const { return std::to_string(x) + "," + std::to_string(y); }

std::string QVVariantRect::toString() const {
  return std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(width) + "," +
         std::to_string(height);
}

std::string QVVariantColor::toString() const {
  return std::to_string(unsigned{c0}) + "," + std::to_string(unsigned{c1}) + "," +
         std::to_string(unsigned{c2}) + "," + std::to_string(unsigned{c3});
}
