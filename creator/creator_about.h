// The About box: the product's picture, name and line.
#pragma once

#include "ui/ui.h"

class TAboutFrm : public ui::TForm {
public:
  TAboutFrm();
  ~TAboutFrm() override;

  ui::TImage Image1{*this, "Image1", 12, 12, 50, 50};
  ui::TLabel Label1{*this, "Label1", "Corvantaine v2.08", 76, 18};
  ui::TLabel Label2{*this, "Label2", "Setup Creator", 76, 40};
  ui::TButton Button1{*this, "Button1", "Close", 87, 76, 75, 23};

  void FormCreate();
  void Button1Click();

private:
  HBITMAP Picture = nullptr;
};

extern TAboutFrm* AboutFrm;
