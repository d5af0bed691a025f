// The About box's picture: a computer with a compact disc before it, 50 by 50 pixels, drawn in
// code so that the program carries no image file. Pixels are 0x00RRGGBB, rows top down; every
// pixel that is not part of the drawing holds kTransparent, which the drawing itself never uses.
#pragma once

#include <array>
#include <cstdint>

namespace about {

inline constexpr int kPictureSize = 50;
inline constexpr uint32_t kTransparent = 0x00FF00FF;

using Picture = std::array<uint32_t, kPictureSize * kPictureSize>;
Picture AboutPicture();

}  // namespace about
