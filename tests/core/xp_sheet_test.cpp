// A sheet of the XP-look controls in each of their states, for a person to
// look at: <build>/pictures/xp_controls_a.png.
#include <gtest/gtest.h>

#include <QFileInfo>

#include <functional>
#include <type_traits>
#include <utility>

#include "core/xpbutton.h"
#include "core/xpcheckbox.h"
#include "core/xpchecklistbox.h"
#include "core/xpcombobox.h"
#include "core/xpdatetimepicker.h"
#include "core/xpedit.h"
#include "core/xplistbox.h"
#include "core/xpmemo.h"
#include "core/xppriceedit.h"
#include "core/xppushradiobutton.h"
#include "core/xpradiobutton.h"
#include "core/xprichedit.h"
#include "core/xptreeview.h"
#include "tests/core/xp_test_support.h"

namespace {

using testing_support::PictureSheet;

TEST(XPPalette, EachUnitRegistersItsClass) {
  const std::pair<void (*)(), const char *> units[] = {
      {xpbutton::Register, "TXPButton"},         {xppushradiobutton::Register, "TXPPushRadioButton"},
      {xpcheckbox::Register, "TXPCheckBox"},     {xpradiobutton::Register, "TXPRadioButton"},
      {xpedit::Register, "TXPEdit"},             {xppriceedit::Register, "TXPPriceEdit"},
      {xpmemo::Register, "TXPMemo"},             {xprichedit::Register, "TXPRichEdit"},
      {xplistbox::Register, "TXPListBox"},       {xpchecklistbox::Register, "TXPCheckListBox"},
      {xptreeview::Register, "TXPTreeView"},     {xpcombobox::Register, "TXPComboBox"},
      {xpdatetimepicker::Register, "TXPDateTimePicker"},
  };
  for (auto [reg, name] : units) {
    reg();
    EXPECT_TRUE(IsComponentRegistered("KV Controls", name)) << name;
  }
  EXPECT_FALSE(IsComponentRegistered("KV Controls", "TButton"));
}

TEST(XPSheet, EveryControlInItsStates) {
  testing_support::ViewHarness h;
  xp_test::Form form(h, 400, 300);
  PictureSheet sheet(4);
  // The control as the form shows it, border included.
  auto shot = [&](TControl *control, const std::string &label) {
    QImage all = h.Render(form.form.Handle());
    sheet.Add(label, all.copy(control->Left(), control->Top(), control->Width(), control->Height()));
  };

  {
    auto *b = form.Add<TXPButton>(20, 20, 75, 23, "确定");
    b->Handle();
    shot(b, "button, normal");
    b->SetDefault(true);
    shot(b, "button, default");
    xp_test::Hover(h, b->Handle(), 10, 10);
    shot(b, "button, hot");
    h.MouseDown(b->Handle(), 10, 10);
    shot(b, "button, pressed");
    h.MouseUp(b->Handle(), 10, 10);
    xp_test::Leave(h, b->Handle());
    b->SetFocus();
    h.Pump();
    shot(b, "button, focused");
    form.holder->SetFocus();
    b->SetEnabled(false);
    shot(b, "button, disabled");
    delete b;
  }
  {
    auto *r = form.Add<TXPPushRadioButton>(20, 20, 60, 21, "持仓");
    r->Handle();
    shot(r, "push radio, normal");
    xp_test::Hover(h, r->Handle(), 10, 10);
    shot(r, "push radio, hot");
    xp_test::Leave(h, r->Handle());
    r->SetChecked(true);
    shot(r, "push radio, checked");
    r->SetEnabled(false);
    shot(r, "push radio, disabled");
    delete r;
  }
  // A check box or radio button unchecked and checked, in each state.
  auto boxStates = [&](auto *tag, const std::string &name, const std::string &caption) {
    using T = std::remove_pointer_t<decltype(tag)>;
    for (bool checked : {false, true}) {
      auto *c = form.Add<T>(20, 20, 110, 17, caption);
      c->SetChecked(checked);
      c->Handle();
      std::string on = checked ? ", checked" : "";
      shot(c, name + on);
      xp_test::Hover(h, c->Handle(), 5, 5);
      shot(c, name + ", hot" + on);
      h.MouseDown(c->Handle(), 5, 5);
      shot(c, name + ", pressed" + on);
      xp_test::Hover(h, c->Handle(), 300, 5, MK_LBUTTON);
      h.MouseUp(c->Handle(), 300, 5);
      xp_test::Leave(h, c->Handle());
      form.holder->SetFocus();
      c->SetEnabled(false);
      shot(c, name + ", disabled" + on);
      delete c;
    }
  };
  boxStates(static_cast<TXPCheckBox *>(nullptr), "check box", "复选框");
  boxStates(static_cast<TXPRadioButton *>(nullptr), "radio", "单选按钮");
  auto white = [](TWinControl *c) { c->SetColor(RGB(255, 255, 255)); };
  {
    auto *e = form.Add<TXPEdit>(20, 20, 120, 21);
    white(e);
    e->SetText("edit 123");
    e->Handle();
    shot(e, "edit");
    auto *p = form.Add<TXPPriceEdit>(20, 60, 120, 21);
    white(p);
    p->SetText("-12.5");
    p->Handle();
    shot(p, "price edit");
    auto *m = form.Add<TXPMemo>(20, 100, 120, 50);
    white(m);
    m->SetText("memo\r\nsecond line");
    m->Handle();
    shot(m, "memo");
    auto *r = form.Add<TXPRichEdit>(160, 20, 120, 50);
    white(r);
    r->SetText("rich edit");
    r->Handle();
    shot(r, "rich edit");
    for (TControl *c : std::initializer_list<TControl *>{e, p, m, r}) delete c;
  }
  {
    auto *l = form.Add<TXPListBox>(20, 20, 120, 80);
    white(l);
    for (const char *s : {"第一项", "second", "third"}) l->Items()->Add(s);
    l->SetItemIndex(1);
    l->Handle();
    shot(l, "list box");
    auto *c = form.Add<TXPCheckListBox>(160, 20, 120, 80);
    white(c);
    for (const char *s : {"one", "two", "three"}) c->Items()->Add(s);
    c->SetChecked(1, true);
    c->Handle();
    shot(c, "check list box");
    auto *t = form.Add<TXPTreeView>(20, 120, 120, 80);
    white(t);
    t->Handle();
    shot(t, "tree view");
    for (TControl *x : std::initializer_list<TControl *>{l, c, t}) delete x;
  }
  {
    TXPComboBox::OSVersionCode = 0;
    auto *c = new TXPComboBox(&form.form);
    c->SetParent(&form.form);
    c->SetBounds(20, 20, 120, 21);
    white(c);
    c->Items()->Add("IF2412");
    c->SetItemIndex(0);
    c->Handle();
    shot(c, "combo box");
    xp_test::Hover(h, c->Handle(), 1, 5);
    shot(c, "combo box, hot");
    h.MouseDown(c->Handle(), 1, 5);
    h.MouseMove(c->Handle(), 2, 5, MK_LBUTTON);
    shot(c, "combo box, pressed");
    h.MouseUp(c->Handle(), 2, 5);
    xp_test::Leave(h, c->Handle());
    delete c;
    auto *d = new TXPDateTimePicker(&form.form);
    d->SetBounds(20, 60, 100, 22);
    d->SetParent(&form.form);
    d->Handle();
    SetWindowTextA(d->EditHandle(), "2024-05-06");
    shot(d, "date edit");
    delete d;
  }
  std::string path = h.SavePng(sheet.Compose(), "xp_controls_a");
  EXPECT_TRUE(QFileInfo(QString::fromStdString(path)).size() > 0);
}

}  // namespace
