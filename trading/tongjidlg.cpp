#include "trading/tongjidlg.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "trading/accountreport.h"

namespace {

int LocalDateNumber(time_t t) {
  tm local{};
  localtime_r(&t, &local);
  return (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
}

bool ValidDate(int y, int m, int d) {
  static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1900 || y > 9999 || m < 1 || m > 12 || d < 1 || d > days[m - 1]) return false;
  return !(m == 2 && d == 29 && !(y % 4 == 0 && (y % 100 != 0 || y % 400 == 0)));
}

}  // namespace

TTongJiDlg::TTongJiDlg(TComponent *owner, TAccountReport &report) : TForm(owner), report_(report) {
  SetCaption("交易及账户报告");
  SetBounds(0, 0, 840, 660);
  Position = poScreenCenter;
  SetColor(clWhite);
  Font()->SetName("宋体");
  Font()->SetHeight(-12);
  SetBorderIcons(biSystemMenu | biMaximize);

  Panel1 = new TPanel(this);
  Panel1->SetParent(this);
  Panel1->SetAlign(alTop);
  Panel1->SetHeight(77);
  Panel1->SetBevelInner(bvRaised);
  Panel1->SetBevelOuter(bvLowered);
  Panel1->ShowCaption = false;

  Label1 = new TLabel(this);
  Label1->SetParent(Panel1);
  Label1->SetCaption("时间范围:");
  Label1->SetBounds(16, 14, 70, 17);
  auto radio = [this](const char *caption, int x, int y) {
    auto *r = new TXPRadioButton(this);
    r->SetParent(Panel1);
    r->SetCaption(caption);
    r->SetBounds(x, y, 80, 17);
    return r;
  };
  XPRadioButton2 = radio("最近一周", 90, 12);
  XPRadioButton3 = radio("最近一月", 180, 12);
  XPRadioButton4 = radio("从", 90, 44);
  XPRadioButton2->SetChecked(true);
  XPRadioButton2->OnClick = [this](TObject *s) { XPRadioButton2Click(s); };
  XPRadioButton3->OnClick = [this](TObject *s) { XPRadioButton3Click(s); };
  XPRadioButton4->OnClick = [this](TObject *s) { XPRadioButton4Click(s); };

  DateTimePicker1 = new TXPDateTimePicker(this);
  DateTimePicker1->SetParent(Panel1);
  DateTimePicker1->SetBounds(130, 41, 120, 21);
  Label3 = new TLabel(this);
  Label3->SetParent(Panel1);
  Label3->SetCaption("到");
  Label3->SetBounds(260, 44, 20, 17);
  DateTimePicker2 = new TXPDateTimePicker(this);
  DateTimePicker2->SetParent(Panel1);
  DateTimePicker2->SetBounds(284, 41, 120, 21);

  XPButton1 = new TXPButton(this);
  XPButton1->SetParent(Panel1);
  XPButton1->SetCaption("生成报告");
  XPButton1->SetBounds(430, 39, 121, 25);
  XPButton1->SetDefault(true);
  XPButton1->OnClick = [this](TObject *s) { XPButton1Click(s); };

  CppWebBrowser1 = new TWebBrowser(this);
  CppWebBrowser1->SetParent(this);
  CppWebBrowser1->SetAlign(alClient);

  HandleNeeded();
  const time_t now = time_t(platform::UnixTimeNow());
  SetPickerDate(DateTimePicker2, LocalDateNumber(now));
  SetPickerDate(DateTimePicker1, LocalDateNumber(now - 30 * 86400));

  report_.ResetDialog();
  report_.window = Handle();
  report_.onFetching = [this](bool fetching) {
    XPButton1->SetCaption(fetching ? "查询中，请稍候..." : "生成报告");
    XPButton1->SetEnabled(!fetching);
  };
  report_.onPage = [this](const std::string &path) { CppWebBrowser1->Navigate(path); };
}

TTongJiDlg::~TTongJiDlg() {
  report_.window = nullptr;
  report_.onFetching = nullptr;
  report_.onPage = nullptr;
}

void TTongJiDlg::XPRadioButton2Click(TObject *) { report_.mode = TAccountReport::kLastWeek; }
void TTongJiDlg::XPRadioButton3Click(TObject *) { report_.mode = TAccountReport::kLastMonth; }
void TTongJiDlg::XPRadioButton4Click(TObject *) { report_.mode = TAccountReport::kFromTo; }

void TTongJiDlg::XPButton1Click(TObject *) { report_.Generate(PickerDate(DateTimePicker1), PickerDate(DateTimePicker2)); }

void TTongJiDlg::SetPickerDate(TXPDateTimePicker *picker, int yyyymmdd) {
  (picker == DateTimePicker1 ? lastFrom_ : lastTo_) = yyyymmdd;
  char text[16];
  snprintf(text, sizeof text, "%04d-%02d-%02d", yyyymmdd / 10000, yyyymmdd / 100 % 100, yyyymmdd % 100);
  if (picker->EditHandle()) SetWindowTextA(picker->EditHandle(), text);
}

int TTongJiDlg::PickerDate(TXPDateTimePicker *picker) {
  const int last = picker == DateTimePicker1 ? lastFrom_ : lastTo_;
  char text[64] = {};
  if (picker->EditHandle()) GetWindowTextA(picker->EditHandle(), text, sizeof text);
  int y = 0, m = 0, d = 0;
  char tail = 0;
  if (sscanf(text, "%d-%d-%d%c", &y, &m, &d, &tail) == 3 && ValidDate(y, m, d)) {
    const int date = y * 10000 + m * 100 + d;
    (picker == DateTimePicker1 ? lastFrom_ : lastTo_) = date;
    return date;
  }
  SetPickerDate(picker, last);
  return last;
}

void TTongJiDlg::WndProc(TMessage &message) {
  if (message.Msg == WM_TONGJI_READY) {
    report_.OnReady();
    return;
  }
  if (message.Msg == WM_TONGJI_SETTLEMENT) {
    report_.OnSettlementFailed(reinterpret_cast<char *>(message.WParam));
    return;
  }
  TForm::WndProc(message);
}

int ShowAccountReport(TComponent *owner, TAccountReport &report) {
  TTongJiDlg dialog(owner, report);
  report.ActiveTongJiDlg = &dialog;
  const int result = dialog.ShowModal();
  report.ActiveTongJiDlg = nullptr;
  return result;
}
