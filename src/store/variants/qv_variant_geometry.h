#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "store/variants/qv_variant.h"

// A position: "x,y".
class QVVariantPoint : public QVVariant {
 public:
  static constexpr QVVariantType kType = QVVariantType::Point;

  QVVariantPoint(int32_t px = 0, int32_t py = 0) : QVVariant(kType), x(px), y(py) {}
  static std::unique_ptr<QVVariantPoint> create(int32_t px = 0, int32_t py = 0) {
    return QVNewVariant<QVVariantPoint>(px, py);
  }
  std::string toString() const override;

  int32_t x;
  int32_t y;
};

// A rectangle: "x,y,width,height", the extent printed unsigned.
class QVVariantRect : public QVVariant {
 public:
  static constexpr QVVariantType kType = QVVariantType::Rect;

  QVVariantRect(int32_t px = 0, int32_t py = 0, uint32_t w = 0, uint32_t h = 0)
      : QVVariant(kType), x(px), y(py), width(w), height(h) {}
  static std::unique_ptr<QVVariantRect> create(int32_t px = 0, int32_t py = 0, uint32_t w = 0,
                                               uint32_t h = 0) {
    return QVNewVariant<QVVariantRect>(px, py, w, h);
  }
  std::string toString() const override;

  int32_t x;
  int32_t y;
  uint32_t width;
  uint32_t height;
};

// Four 8-bit components in byte order: "c0,c1,c2,c3".
class QVVariantColor : public QVVariant {
 public:
  static constexpr QVVariantType kType = QVVariantType::Color;

  QVVariantColor(uint8_t b0 = 0, uint8_t b1 = 0, uint8_t b2 = 0, uint8_t b3 = 0)
      : QVVariant(kType), c0(b0), c1(b1), c2(b2), c3(b3) {}
  // From a packed value, c0 being its lowest byte.
  explicit QVVariantColor(uint32_t packed)
      : QVVariantColor(static_cast<uint8_t>(packed), static_cast<uint8_t>(packed >> 8),
                       static_cast<uint8_t>(packed >> 16), static_cast<uint8_t>(packed >> 24)) {}
  static std::unique_ptr<QVVariantColor> create(uint8_t b0 = 0, uint8_t b1 = 0, uint8_t b2 = 0,
                                                uint8_t b3 = 0) {
    return QVNewVariant<QVVariantColor>(b0, b1, b2, b3);
  }
  static std::unique_ptr<QVVariantColor> createPacked(uint32_t packed) {
    return QVNewVariant<QVVariantColor>(packed);
  }
  std::string toString() const override;

  uint8_t c0;
  uint8_t c1;
  uint8_t c2;
  uint8_t c3;
};
