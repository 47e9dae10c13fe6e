// A form offscreen with the controls a test puts on it, and the harness
// that drives them.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "classlib/forms.h"
#include "testing/view_harness.h"

// Puts a control's message entry back when the test's replacement (and
// what it captured) goes out of scope.
struct KeepWindowProc {
  explicit KeepWindowProc(TControl *control) : control(control), inherited(control->WindowProc) {}
  ~KeepWindowProc() { control->WindowProc = inherited; }
  TControl *control;
  TWndMethod inherited;
};

struct ControlTest : ::testing::Test {
  void SetUp() override {
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(40, 40, 420, 320);
  }
  void TearDown() override {
    form.reset();
    h.Pump();
  }
  template <typename T>
  T *Make(int left, int top, int width, int height) {
    auto *control = new T(form.get());
    control->SetParent(form.get());
    control->SetBounds(left, top, width, height);
    return control;
  }
  void ShowForm() {
    form->Show();
    h.Pump();
  }
  testing_support::ViewHarness h;
  std::unique_ptr<TForm> form;
};
