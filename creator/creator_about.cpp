#include "creator/creator_about.h"

#include "creator/creator_aboutpicture.h"
#include "creator/creator_itemrules.h"

TAboutFrm* AboutFrm = nullptr;

namespace {
// The picture as a bitmap, its transparent pixels in the colour of the ground it stands on.
HBITMAP PictureBitmap(COLORREF ground) {
  const int n = about::kPictureSize;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = n;
  bi.bmiHeader.biHeight = -n;  // top down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP b = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!b) return nullptr;
  const uint32_t groundRgb = (GetRValue(ground) << 16) | (GetGValue(ground) << 8) | GetBValue(ground);
  const about::Picture pixels = about::AboutPicture();
  auto* out = static_cast<uint32_t*>(bits);  // 0x00RRGGBB, as the picture holds them
  for (int i = 0; i < n * n; ++i) out[i] = pixels[i] == about::kTransparent ? groundRgb : pixels[i];
  GdiFlush();
  return b;
}
}  // namespace

TAboutFrm::TAboutFrm()
    : TForm("About Corvantaine 2", 249, 107, ui::TBorder::Dialog, ui::TPosition::ScreenCenter,
            ui::TFontSpec{"MS Sans Serif", 8}) {
  Label1.SetFont({"MS Sans Serif", 10, true});
  Label2.SetFont({"MS Sans Serif", 8, true});
  Picture = PictureBitmap(Color != CLR_INVALID ? Color : GetSysColor(COLOR_BTNFACE));
  Image1.SetBitmap(Picture);
  Button1.OnClick = [this] { Button1Click(); };
  ActiveControl = &Button1;  // the first of the tab order, as in every dialog
  FormCreate();
}

TAboutFrm::~TAboutFrm() {
  if (Picture) DeleteObject(Picture);
}

void TAboutFrm::FormCreate() {
  DWORD major, minor;
  if (!ui::WindowsVersion(major, minor) || !items::UsesTahoma(major, minor)) return;
  ui::TFontSpec f = Font;
  f.Name = "Tahoma";
  SetFont(f);
  for (ui::TLabel* l : {&Label1, &Label2}) {
    f = l->Font;
    f.Name = "Tahoma";
    l->SetFont(f);
  }
}

void TAboutFrm::Button1Click() { Close(); }
