// The layer's controls that a window of the setup runtime never shows: radio buttons, bevels,
// list views, list boxes, combo boxes, spin edits, pop-up menus, and hints. In an object of their
// own, so that a program that uses none of them links none of their code.
#include "ui/ui.h"

#include <algorithm>
#include <cstdlib>

namespace ui {

// In ui.cpp.
TControl* FromHandle(HWND h);
std::string ListViewText(HWND h, int row, int column);
int ListViewInsert(HWND h, const std::string& caption);

namespace {
WNDPROC g_controlProc = nullptr;  // the layer's, beneath a radio button's own

// A radio button takes the arrow keys: within its group (a run of them with one parent, WS_GROUP
// on the first) an arrow moves the focus on to the next button, round the group, and clicks it,
// as Windows does with automatic radio buttons.
LRESULT CALLBACK RadioProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_GETDLGCODE) return CallWindowProcA(g_controlProc, h, msg, wp, lp) | DLGC_WANTARROWS;
  if (msg != WM_KEYDOWN || (wp != VK_LEFT && wp != VK_UP && wp != VK_RIGHT && wp != VK_DOWN))
    return CallWindowProcA(g_controlProc, h, msg, wp, lp);
  auto radio = [](HWND w) { return w && dynamic_cast<TRadioButton*>(FromHandle(w)) != nullptr; };
  HWND first = h;
  for (HWND p; !(GetWindowLongA(first, GWL_STYLE) & WS_GROUP) && radio(p = GetWindow(first, GW_HWNDPREV));) first = p;
  std::vector<HWND> group{first};
  for (HWND s; radio(s = GetWindow(group.back(), GW_HWNDNEXT)) && !(GetWindowLongA(s, GWL_STYLE) & WS_GROUP);)
    group.push_back(s);
  const int n = static_cast<int>(group.size()), step = wp == VK_LEFT || wp == VK_UP ? n - 1 : 1;
  int at = static_cast<int>(std::find(group.begin(), group.end(), h) - group.begin());
  for (int k = 1; k < n; ++k) {
    HWND next = group[(at + k * step) % n];
    if (!IsWindowVisible(next) || !IsWindowEnabled(next)) continue;
    SetFocus(next);
    if (SendMessageA(next, BM_GETCHECK, 0, 0) != BST_CHECKED) SendMessageA(next, BM_CLICK, 0, 0);
    break;
  }
  return 0;
}

void ListViewSetText(HWND h, int row, int column, const std::string& s) {
  LVITEMA it{};
  it.iSubItem = column;
  it.pszText = const_cast<char*>(s.c_str());
  SendMessageA(h, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&it));
}
}  // namespace

void TControl::SetHint(const std::string& hint) {
  Hint = hint;
  if (!Form->Tooltip)
    Form->Tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                    Form->Handle, nullptr, GetModuleHandleA(nullptr), nullptr);
  TOOLINFOA ti{};
  ti.cbSize = TTTOOLINFOA_V1_SIZE;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = Form->Handle;
  ti.uId = reinterpret_cast<UINT_PTR>(Handle);
  ti.lpszText = Hint.data();
  SendMessageA(Form->Tooltip, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
  SendMessageA(Form->Tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}

TRadioButton::TRadioButton(TControl& parent, TTextArg name, TTextArg caption, int x,
                           int y, int w, int h, bool checked) {
  // Automatic: a click (also the one an arrow key gives) checks the button before its BN_CLICKED
  // arrives. The first of a run of them with one parent starts a group.
  bool first = true;
  for (auto c = parent.Form->Controls.rbegin(); c != parent.Form->Controls.rend(); ++c)
    if ((*c)->Parent == &parent) {
      first = !dynamic_cast<TRadioButton*>(*c);
      break;
    }
  Create(parent, name, "BUTTON", caption, BS_AUTORADIOBUTTON | WS_TABSTOP | (first ? WS_GROUP : 0), 0, x, y, w, h);
  g_controlProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(Handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RadioProc)));
  SendMessageA(Handle, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  Selected = checked;
}

void TRadioButton::SetChecked(bool on) {
  if (on) {
    Select(Checked());
    return;
  }
  SendMessageA(Handle, BM_SETCHECK, BST_UNCHECKED, 0);
  Selected = false;
}

// Checks this one and unchecks the rest of its group; runs the handler unless it was checked.
void TRadioButton::Select(bool was) {
  for (HWND s = GetWindow(GetParent(Handle), GW_CHILD); s; s = GetWindow(s, GW_HWNDNEXT))
    if (auto* r = dynamic_cast<TRadioButton*>(FromHandle(s)); r && r != this) {
      SendMessageA(s, BM_SETCHECK, BST_UNCHECKED, 0);
      r->Selected = false;
    }
  SendMessageA(Handle, BM_SETCHECK, BST_CHECKED, 0);
  Selected = true;
  if (!was && OnClick) OnClick();
}

void TRadioButton::Command(int code) {
  // The button has checked itself already: whether the choice changed is what it was before.
  if (code == BN_CLICKED) Select(Selected);
}

TBevel::TBevel(TControl& parent, TTextArg name, TBevelShape shape, int x, int y, int w, int h) {
  Create(parent, name, "STATIC", "", shape == TBevelShape::Frame ? SS_ETCHEDFRAME : SS_ETCHEDHORZ, 0, x, y,
         w, h);
}

TListView::TListView(TControl& parent, TTextArg name, std::vector<TColumn> columns, int x, int y,
                     int w, int h, bool multiSelect) {
  Create(parent, name, WC_LISTVIEWA, "", LVS_REPORT | LVS_SHOWSELALWAYS | WS_TABSTOP | (multiSelect ? 0 : LVS_SINGLESEL),
         WS_EX_CLIENTEDGE, x, y, w, h);
  ListView_SetExtendedListViewStyle(Handle, LVS_EX_FULLROWSELECT);
  for (size_t i = 0; i < columns.size(); ++i) {
    LVCOLUMNA c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH;
    c.pszText = const_cast<char*>(columns[i].Caption);
    c.cx = columns[i].Width;
    SendMessageA(Handle, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&c));
  }
}

int TListView::AddRow(const std::vector<std::string>& cells) {
  int row = ListViewInsert(Handle, cells.empty() ? std::string() : cells[0]);
  for (size_t i = 1; i < cells.size(); ++i) ListViewSetText(Handle, row, static_cast<int>(i), cells[i]);
  return row;
}

std::string TListView::Cell(int row, int column) const { return ListViewText(Handle, row, column); }

std::vector<std::string> TListView::Row(int row) const {
  std::vector<std::string> cells;
  for (int c = 0, n = ColumnCount(); c < n; ++c) cells.push_back(Cell(row, c));
  return cells;
}

void TListView::SetCell(int row, int column, const std::string& s) { ListViewSetText(Handle, row, column, s); }

void TListView::EndUpdate() {
  SendMessageA(Handle, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(Handle, nullptr, TRUE);
}

int TListView::ColumnCount() const {
  return static_cast<int>(SendMessageA(ListView_GetHeader(Handle), HDM_GETITEMCOUNT, 0, 0));
}

std::string TListView::ColumnCaption(int column) const {
  char buf[256] = "";
  LVCOLUMNA c{};
  c.mask = LVCF_TEXT;
  c.pszText = buf;
  c.cchTextMax = sizeof buf;
  SendMessageA(Handle, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&c));
  return buf;
}

TListBox::TListBox(TControl& parent, TTextArg name, int x, int y, int w, int h) {
  Create(parent, name, "LISTBOX", "", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
         WS_EX_CLIENTEDGE, x, y, w, h);
}

std::string TListBox::Item(int i) const {
  int n = static_cast<int>(SendMessageA(Handle, LB_GETTEXTLEN, i, 0));
  if (n < 0) return {};
  std::string s(n + 1, '\0');
  s.resize(SendMessageA(Handle, LB_GETTEXT, i, reinterpret_cast<LPARAM>(s.data())));
  return s;
}

std::vector<std::string> TListBox::Items() const {
  std::vector<std::string> v;
  for (int i = 0, n = Count(); i < n; ++i) v.push_back(Item(i));
  return v;
}

void TListBox::EndUpdate() {
  SendMessageA(Handle, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(Handle, nullptr, TRUE);
}

TComboBox::TComboBox(TControl& parent, TTextArg name, TComboStyle style, int x, int y, int w,
                     int dropHeight, int maxLength)
    : Style(style) {
  Create(parent, name, "COMBOBOX", "",
         (style == TComboStyle::DropDown ? CBS_DROPDOWN | CBS_AUTOHSCROLL : CBS_DROPDOWNLIST) | WS_VSCROLL | WS_TABSTOP,
         0, x, y, w, dropHeight);
  if (maxLength) SetMaxLength(maxLength);
}

std::string TComboBox::Item(int i) const {
  int n = static_cast<int>(SendMessageA(Handle, CB_GETLBTEXTLEN, i, 0));
  if (n < 0) return {};
  std::string s(n + 1, '\0');
  s.resize(SendMessageA(Handle, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(s.data())));
  return s;
}

std::vector<std::string> TComboBox::Items() const {
  std::vector<std::string> v;
  for (int i = 0, n = Count(); i < n; ++i) v.push_back(Item(i));
  return v;
}

void TComboBox::Clear() {
  ClearItems();
  SetWindowTextA(Handle, "");
}

void TComboBox::SetText(const std::string& s) {
  if (Style == TComboStyle::DropDown)
    SetWindowTextA(Handle, s.c_str());
  else
    SetItemIndex(static_cast<int>(SendMessageA(Handle, CB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(s.c_str()))));
}

void TComboBox::Command(int code) {
  if ((code == CBN_SELCHANGE || code == CBN_EDITCHANGE) && OnChange) OnChange();
}

TSpinEdit::TSpinEdit(TControl& parent, TTextArg name, int x, int y, int w, int h, int minValue,
                     int maxValue, int value)
    : MinValue(minValue), MaxValue(maxValue) {
  Create(parent, name, "EDIT", std::to_string(value), ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, x, y, w, h);
  UpDown = CreateWindowExA(0, UPDOWN_CLASSA, "",
                           WS_CHILD | WS_VISIBLE | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS | UDS_SETBUDDYINT,
                           0, 0, 0, 0, GetParent(Handle), nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(UpDown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Handle), 0);
  SendMessageA(UpDown, UDM_SETRANGE32, minValue, maxValue);
  SendMessageA(UpDown, UDM_SETPOS32, 0, value);
}

int TSpinEdit::Value() const {
  std::string s = Text();
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (s.empty() || *end || s[0] == ' ') return MinValue;
  return static_cast<int>(std::clamp<long>(v, MinValue, MaxValue));
}

void TSpinEdit::Command(int code) {
  if (code == EN_KILLFOCUS) {
    int v = Value();
    if (Text() != std::to_string(v)) SetValue(v);
  }
}

void TPopupMenu::Popup(int screenX, int screenY) {
  std::vector<std::string> captions;
  for (TMenuItem* i : Items) captions.push_back(i->Caption);
  int k = Dialogs().Popup(Form.Handle, captions, POINT{screenX, screenY});
  if (k >= 0 && k < static_cast<int>(Items.size()) && Items[k]->OnClick) Items[k]->OnClick();
}

}  // namespace ui
