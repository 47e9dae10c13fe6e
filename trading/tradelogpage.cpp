#include "trading/tradelogpage.h"

#include "platform/path.h"
#include "trading/deskdata.h"
#include "trading/pluginapi.h"
#include "trading/tradelog.h"

TTradeLogPage::TTradeLogPage(TComponent *owner, const TTradeDesk &desk, std::function<std::string()> tradeDate)
    : TForm(owner), desk_(desk), tradeDate_(std::move(tradeDate)) {
  if (!tradeDate_) {
    tradeDate_ = [] {
      char date[32] = {};
      if (TradePlugin.GetTradeDate) TradePlugin.GetTradeDate(date);
      return std::string(date);
    };
  }
  SetClientSize(520, 300);
  XPTabControl5 = new TXPTabControl(this);
  XPTabControl5->SetParent(this);
  XPTabControl5->SetAlign(alClient);
  for (const char *caption : {"全部", "快捷操作", "止损止盈", "条件单"}) XPTabControl5->Tabs()->Add(caption);
  XPTabControl5->SetTabIndex(0);
  XPMemo2 = new TXPMemo(this);
  XPMemo2->SetParent(XPTabControl5);
  XPMemo2->SetReadOnly(true);
  XPMemo2->ScrollBars = ssBoth;
  XPTabControl5->OnChange = [this](TObject *s) { XPTabControl5Change(s); };
  XPTabControl5->OnResize = [this](TObject *s) { XPTabControl5Resize(s); };
  XPTabControl5Resize(XPTabControl5);
}

void TTradeLogPage::XPTabControl5Change(TObject *) {
  XPMemo2->Lines()->Clear();
  XPMemo2->SetFocus();
  const std::string file = EventLogFile(desk_, XPTabControl5->TabIndex(), tradeDate_().c_str());
  XPMemo2->Lines()->LoadFromFile(platform::ResolvePath(file.c_str()));
  XPMemo2->Lines()->Add("");
}

void TTradeLogPage::XPTabControl5Resize(TObject *) {
  XPMemo2->SetBounds(7, 29, XPTabControl5->Width() - 14, XPTabControl5->Height() - 36);
}
