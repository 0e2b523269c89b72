#include "assets/assets.h"

#include <cstddef>

#define QV_EMBEDDED(sym)                 \
  extern const unsigned char sym[];      \
  extern const std::size_t sym##_size;
QV_EMBEDDED(qv_grunge_skin)
QV_EMBEDDED(qv_carbon_skin)
QV_EMBEDDED(qv_text_font)
QV_EMBEDDED(qv_big_font)
QV_EMBEDDED(qv_tune01) QV_EMBEDDED(qv_tune02) QV_EMBEDDED(qv_tune03) QV_EMBEDDED(qv_tune04)
QV_EMBEDDED(qv_tune05) QV_EMBEDDED(qv_tune06) QV_EMBEDDED(qv_tune07) QV_EMBEDDED(qv_tune08)
QV_EMBEDDED(qv_tune09) QV_EMBEDDED(qv_tune10) QV_EMBEDDED(qv_tune11) QV_EMBEDDED(qv_tune12)
QV_EMBEDDED(qv_module1) QV_EMBEDDED(qv_module2) QV_EMBEDDED(qv_module3) QV_EMBEDDED(qv_module4)
#undef QV_EMBEDDED

namespace assets {
namespace {
std::span<const uint8_t> bytes(const unsigned char* data, std::size_t size) {
  return {reinterpret_cast<const uint8_t*>(data), size};
}
}  // namespace

std::span<const uint8_t> grungeSkin() { return bytes(qv_grunge_skin, qv_grunge_skin_size); }
std::span<const uint8_t> carbonSkin() { return bytes(qv_carbon_skin, qv_carbon_skin_size); }
std::span<const uint8_t> textFont() { return bytes(qv_text_font, qv_text_font_size); }
std::span<const uint8_t> bigFont() { return bytes(qv_big_font, qv_big_font_size); }

std::span<const uint8_t> tune(int n) {
  static const std::span<const uint8_t> tunes[kTuneCount] = {
      bytes(qv_tune01, qv_tune01_size), bytes(qv_tune02, qv_tune02_size), bytes(qv_tune03, qv_tune03_size),
      bytes(qv_tune04, qv_tune04_size), bytes(qv_tune05, qv_tune05_size), bytes(qv_tune06, qv_tune06_size),
      bytes(qv_tune07, qv_tune07_size), bytes(qv_tune08, qv_tune08_size), bytes(qv_tune09, qv_tune09_size),
      bytes(qv_tune10, qv_tune10_size), bytes(qv_tune11, qv_tune11_size), bytes(qv_tune12, qv_tune12_size)};
  if (n < 1 || n > kTuneCount) return {};
  return tunes[n - 1];
}

std::span<const uint8_t> module(int n) {
  static const std::span<const uint8_t> modules[kModuleCount] = {
      bytes(qv_module1, qv_module1_size), bytes(qv_module2, qv_module2_size), bytes(qv_module3, qv_module3_size),
      bytes(qv_module4, qv_module4_size)};
  if (n < 1 || n > kModuleCount) return {};
  return modules[n - 1];
}

}  // namespace assets
