#include "charts/lineproperty.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/datetime.h"

namespace {

TLabel *MakeLabel(TForm *form, const char *caption, int x, int y) {
  auto *label = new TLabel(form);
  label->SetParent(form);
  label->SetCaption(caption);
  label->SetBounds(x, y, 60, 14);
  return label;
}

}  // namespace

TLinePropertyDlg::TLinePropertyDlg(const STKINFO *info, TComponent *owner, const TLine *line)
    : TForm(owner), type(line->type), pointCount(line->anchorCount > 1 ? 2 : 1), colour(line->colour) {
  std::memset(points, 0, sizeof points);
  for (int i = 0; i < pointCount; ++i) points[i] = line->anchors[i];
  SetCaption("自画线属性");
  SetBorderStyle(bsDialog);
  Position = poScreenCenter;
  SetWidth(268);
  SetHeight(242);

  struct Block {
    TLabel **title, **time, **price;
    TPanel **rule;
    TDateTimePicker **date, **clock;
    TEdit **edit;
    const char *caption;
  } blocks[2] = {{&Label2, &Label3, &Label4, &Panel1, &DateTimePicker1, &DateTimePicker2, &Edit1, "端点①坐标"},
                 {&Label5, &Label6, &Label7, &Panel2, &DateTimePicker3, &DateTimePicker4, &Edit2, "端点②坐标"}};
  for (int i = 0; i < 2; ++i) {
    const int top = 8 + 84 * i;
    Block &b = blocks[i];
    *b.title = MakeLabel(this, b.caption, 8, top);
    *b.rule = new TPanel(this);
    (*b.rule)->SetParent(this);
    (*b.rule)->SetBounds(72, top + 6, 180, 2);
    (*b.rule)->SetCaption("");
    *b.time = MakeLabel(this, "时间:", 16, top + 24);
    *b.date = new TDateTimePicker(this);
    (*b.date)->SetParent(this);
    (*b.date)->Kind = dtkDate;
    (*b.date)->SetBounds(56, top + 20, 100, 21);
    *b.clock = new TDateTimePicker(this);
    (*b.clock)->SetParent(this);
    (*b.clock)->Kind = dtkTime;
    (*b.clock)->SetBounds(160, top + 20, 92, 21);
    *b.price = MakeLabel(this, "价格:", 16, top + 52);
    *b.edit = new TEdit(this);
    (*b.edit)->SetParent(this);
    (*b.edit)->SetBounds(56, top + 48, 100, 21);
  }
  const char *captions[3] = {"颜色", "确定", "取消"};
  TXPButton **buttons[3] = {&XPButton1, &XPButton2, &XPButton3};
  for (int i = 0; i < 3; ++i) {
    *buttons[i] = new TXPButton(this);
    (*buttons[i])->SetParent(this);
    (*buttons[i])->SetCaption(captions[i]);
    (*buttons[i])->SetBounds(16 + 80 * i, 176, 72, 25);
  }
  XPButton1->OnClick = [this](TObject *sender) { XPButton1Click(sender); };
  XPButton2->SetDefault(true);
  XPButton2->OnClick = [this](TObject *sender) { XPButton2Click(sender); };
  XPButton3->Cancel = true;
  XPButton3->ModalResult = mrCancel;
  ColorDialog1 = new TColorDialog(this);

  if (pointCount == 1) {
    for (TControl *c : {static_cast<TControl *>(Label5), static_cast<TControl *>(Label6),
                        static_cast<TControl *>(Label7), static_cast<TControl *>(Panel2),
                        static_cast<TControl *>(DateTimePicker3), static_cast<TControl *>(DateTimePicker4),
                        static_cast<TControl *>(Edit2)})
      c->SetVisible(false);
    for (TXPButton *b : {XPButton1, XPButton2, XPButton3}) b->SetTop(92);
    SetHeight(158);
  }
  // The value format of the instrument.
  char format[16];
  std::snprintf(format, sizeof format, "%%.%df", info ? int(info->decimals) : 4);
  for (int i = 0; i < pointCount; ++i) {
    ShowPoint(i);
    char value[64];
    std::snprintf(value, sizeof value, format, double(points[i].price));
    (i == 0 ? Edit1 : Edit2)->SetText(value);
  }
  DoCreate();
}

void TLinePropertyDlg::ShowPoint(int i) {
  const PackedDateTime t = points[i].time;
  TDateTimePicker *date = i == 0 ? DateTimePicker1 : DateTimePicker3;
  TDateTimePicker *clock = i == 0 ? DateTimePicker2 : DateTimePicker4;
  date->SetDate(int(PackedYear(t)), int(PackedMonth(t)), int(PackedDay(t)));
  clock->SetTime(int(PackedHour(t)), int(PackedMinute(t)), 0);
}

void TLinePropertyDlg::ReadPoint(int i) {
  TDateTimePicker *date = i == 0 ? DateTimePicker1 : DateTimePicker3;
  TDateTimePicker *clock = i == 0 ? DateTimePicker2 : DateTimePicker4;
  const std::string text = (i == 0 ? Edit1 : Edit2)->Text();
  // A field without a number gives 0.
  points[i].price = float(std::strtod(text.c_str(), nullptr));
  // The date and time parts are written into their bit fields; the others stay.
  PackedDateTime t = points[i].time;
  t = (t & ~(0xFFFu << 20)) | (PackedDateTime(date->Year() & 0xFFF) << 20);
  t = (t & ~(0xFu << 16)) | (PackedDateTime(date->Month() & 0xF) << 16);
  t = (t & ~(0x1Fu << 11)) | (PackedDateTime(date->Day() & 0x1F) << 11);
  t = (t & ~(0x1Fu << 6)) | (PackedDateTime(clock->Hour() & 0x1F) << 6);
  t = (t & ~0x3Fu) | PackedDateTime(clock->Minute() & 0x3F);
  points[i].time = t;
}

void TLinePropertyDlg::XPButton1Click(TObject *) {
  ColorDialog1->Color = TColor(colour);
  if (ColorDialog1->Execute()) colour = COLORREF(ColorToRGB(ColorDialog1->Color)) & 0xFFFFFF;
}

void TLinePropertyDlg::XPButton2Click(TObject *) {
  for (int i = 0; i < pointCount; ++i) ReadPoint(i);
  SetModalResult(mrOk);
}
