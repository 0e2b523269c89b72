// The program's compiled-in assets: skins, fonts, twelve PSID tunes and four
// XM modules, as byte arrays in their stored formats (made by tools/).
#pragma once

#include <cstdint>
#include <span>

namespace assets {

std::span<const uint8_t> grungeSkin();  // assets/skins/grunge.bin
std::span<const uint8_t> carbonSkin();  // assets/skins/carbon.bin
std::span<const uint8_t> textFont();    // assets/fonts/text_font.bin
std::span<const uint8_t> bigFont();     // assets/fonts/big_font.bin
std::span<const uint8_t> tune(int n);   // 1..12: assets/tunes/tuneNN.sid
std::span<const uint8_t> module(int n); // 1..4:  assets/modules/moduleN.xm

inline constexpr int kTuneCount = 12;
inline constexpr int kModuleCount = 4;

}  // namespace assets
