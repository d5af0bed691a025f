#include "creator/creator_aboutpicture.h"

#include <cmath>

namespace about {
namespace {

constexpr uint32_t kOutline = 0x303030, kCase = 0xD8D0B8, kCaseShade = 0xA8A090,
                   kCaseLight = 0xF0ECE0, kScreen = 0x1848A8, kScreenLight = 0x5080D0,
                   kSlot = 0x505050, kLed = 0x20C020, kDiscRim = 0x687078, kHub = 0xE8ECF0;

struct Canvas {
  Picture px;
  Canvas() { px.fill(kTransparent); }
  void Put(int x, int y, uint32_t c) {
    if (x >= 0 && y >= 0 && x < kPictureSize && y < kPictureSize) px[y * kPictureSize + x] = c;
  }
  void Fill(int x0, int y0, int x1, int y1, uint32_t c) {  // inclusive corners
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) Put(x, y, c);
  }
  void Box(int x0, int y0, int x1, int y1, uint32_t fill) {  // filled, with a dark outline
    Fill(x0, y0, x1, y1, kOutline);
    Fill(x0 + 1, y0 + 1, x1 - 1, y1 - 1, fill);
  }
};

uint32_t Mix(uint32_t a, uint32_t b, double t) {  // a..b, t in [0, 1]
  uint32_t r = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    r |= static_cast<uint32_t>(std::lround(ca + (cb - ca) * t)) << shift;
  }
  return r;
}

void DrawComputer(Canvas& c) {
  // Monitor with a bevelled frame and a screen that brightens towards its top left.
  c.Box(3, 1, 34, 27, kCase);
  c.Fill(4, 2, 33, 2, kCaseLight);
  c.Fill(4, 2, 4, 26, kCaseLight);
  c.Fill(4, 26, 33, 26, kCaseShade);
  c.Fill(33, 3, 33, 26, kCaseShade);
  c.Fill(7, 5, 30, 22, kOutline);
  for (int y = 6; y <= 21; ++y)
    for (int x = 8; x <= 29; ++x) c.Put(x, y, Mix(kScreenLight, kScreen, (x - 8 + y - 6) / 37.0));
  for (int i = 0; i < 5; ++i) c.Put(10 + i, 8 + i / 2, kCaseLight);  // a glint on the glass
  // Neck, then the desktop case under it with a drive slot and a power lamp.
  c.Box(14, 27, 23, 31, kCaseShade);
  c.Box(0, 31, 38, 44, kCase);
  c.Fill(1, 32, 37, 32, kCaseLight);
  c.Fill(1, 43, 37, 43, kCaseShade);
  c.Fill(20, 36, 34, 37, kSlot);
  c.Fill(4, 38, 6, 39, kLed);
}

void DrawDisc(Canvas& c) {
  // A compact disc leaning before the case: a silver face whose sheen runs through the colours
  // with the angle, a dark rim, a clear hub and the hole, through which the background shows.
  const double cx = 36.5, cy = 36.5, rim = 12.5, hub = 4.5, hole = 2.0;
  for (int y = 0; y < kPictureSize; ++y)
    for (int x = 0; x < kPictureSize; ++x) {
      double dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
      if (d > rim) continue;
      if (d <= hole) {
        c.Put(x, y, kTransparent);
        continue;
      }
      uint32_t col;
      if (d > rim - 1.0) {
        col = kDiscRim;
      } else if (d <= hub) {
        col = d > hub - 1.0 ? kDiscRim : kHub;
      } else {
        double a = std::atan2(dy, dx);  // -pi..pi
        double t = 0.5 + 0.5 * std::sin(2.0 * a);
        uint32_t tint = std::cos(a) > 0 ? 0xB0D8F8 : 0xF8D0E8;  // blue on one side, rose on the other
        col = Mix(0xC8CCD4, tint, t * 0.8);
        if (std::fabs(std::sin(a - 0.6)) < 0.12) col = 0xFFFFFF;  // the bright streak of the light
      }
      c.Put(x, y, col);
    }
}

}  // namespace

Picture AboutPicture() {
  Canvas c;
  DrawComputer(c);
  DrawDisc(c);
  return c.px;
}

}  // namespace about
