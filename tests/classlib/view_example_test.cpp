// A worked example of a form and its tests, following the conventions of
// the class library: the logic lives in a plain class that needs no window
// (TallyCore), the form owns it, builds its controls in its constructor and
// keeps its handlers as methods that only feed the core and repaint; the
// painting takes a canvas and a rectangle. The core is tested directly, the
// form through the view harness, and its picture by probing pixels whose
// colours the behaviour fixes (never text pixels).
#include <gtest/gtest.h>

#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "testing/view_harness.h"

using testing_support::ViewHarness;

namespace {

// ---- the core: counts up to a limit ----
class TallyCore {
 public:
  explicit TallyCore(int limit) : limit_(limit > 0 ? limit : 1) {}
  void Add() {
    if (count_ < limit_) ++count_;
  }
  void Reset() { count_ = 0; }
  int Count() const { return count_; }
  // The share of the bar to fill, in pixels of a bar this wide.
  int FilledWidth(int width) const { return width * count_ / limit_; }

 private:
  int limit_;
  int count_ = 0;
};

// ---- the form ----
class TTallyForm : public TForm {
 public:
  static constexpr TColor kBarColor = clNavy;

  explicit TTallyForm(TComponent *owner) : TForm(owner), core_(4) {
    SetCaption("计数");
    SetClientSize(220, 90);
    SetColor(clWhite);
    CountLabel = new TLabel(this);
    CountLabel->SetParent(this);
    CountLabel->SetBounds(8, 8, 60, 16);
    AddButton = new TButton(this);
    AddButton->SetParent(this);
    AddButton->SetCaption("加一");
    AddButton->SetBounds(8, 56, 75, 25);
    AddButton->SetDefault(true);
    AddButton->OnClick = [this](TObject *sender) { AddClick(sender); };
    ResetButton = new TButton(this);
    ResetButton->SetParent(this);
    ResetButton->SetCaption("清零");
    ResetButton->SetBounds(90, 56, 75, 25);
    ResetButton->OnClick = [this](TObject *sender) { ResetClick(sender); };
    Bar = new TPaintBox(this);
    Bar->SetParent(this);
    Bar->SetBounds(8, 30, 200, 16);
    Bar->OnPaint = [this](TObject *) { PaintBar(Bar->Canvas(), Bar->ClientRect()); };
    DoCreate();
    ShowCount();
  }

  const TallyCore &Core() const { return core_; }
  TLabel *CountLabel;
  TButton *AddButton;
  TButton *ResetButton;
  TPaintBox *Bar;

  // Draws the bar into any canvas: the form's, a bitmap's, a printer's.
  void PaintBar(TCanvas *canvas, const TRect &r) {
    canvas->Brush()->SetColor(clWhite);
    canvas->FillRect(r);
    canvas->Brush()->SetColor(kBarColor);
    canvas->FillRect(TRect(r.Left, r.Top, r.Left + core_.FilledWidth(r.Width()), r.Bottom));
    canvas->Brush()->SetColor(clBlack);
    canvas->FrameRect(r);
  }

 private:
  // Handlers only feed the core and show the result.
  void AddClick(TObject *) {
    core_.Add();
    ShowCount();
  }
  void ResetClick(TObject *) {
    core_.Reset();
    ShowCount();
  }
  void ShowCount() {
    CountLabel->SetCaption(std::to_string(core_.Count()));
    Bar->Invalidate();
  }

  TallyCore core_;
};

TEST(TallyCore, CountsUpToItsLimitAndFillsInProportion) {
  struct Case {
    int adds, width, filled;
  } cases[] = {{0, 200, 0}, {1, 200, 50}, {3, 200, 150}, {9, 200, 200}, {1, 3, 0}};
  for (const Case &c : cases) {
    TallyCore core(4);
    for (int i = 0; i < c.adds; ++i) core.Add();
    EXPECT_EQ(core.FilledWidth(c.width), c.filled) << c.adds << " adds";
  }
}

TEST(TallyForm, ButtonsAndEnterDriveTheCoreAndTheBarShowsIt) {
  ViewHarness harness;
  TTallyForm form(nullptr);
  form.Show();
  harness.Click(form.AddButton, 10, 10);
  harness.Click(form.AddButton, 10, 10);
  harness.Key(VK_RETURN);  // the default button
  EXPECT_EQ(form.Core().Count(), 3);
  EXPECT_EQ(form.CountLabel->Caption(), "3");

  // Three quarters of the bar are filled; its frame is black.
  COLORREF bar = ColorToRGB(TTallyForm::kBarColor);
  EXPECT_EQ(harness.Pixel(form.Bar, 1, 8), bar);
  EXPECT_EQ(harness.Pixel(form.Bar, 149, 8), bar);
  EXPECT_EQ(harness.Pixel(form.Bar, 150, 8), RGB(255, 255, 255));
  EXPECT_EQ(harness.Pixel(form.Bar, 0, 0), RGB(0, 0, 0));
  harness.SavePng(harness.Render(form.Handle()), "tally_form");

  harness.Click(form.ResetButton, 10, 10);
  EXPECT_EQ(harness.Pixel(form.Bar, 1, 8), RGB(255, 255, 255));
}

}  // namespace
