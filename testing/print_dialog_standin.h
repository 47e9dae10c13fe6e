// Stands in for the print dialog while it lives: every Execute is counted
// and answered at once. Accepting sends the document into a PDF file.
#pragma once

#include <string>

#include "classlib/printer.h"

class PrintDialogStandIn {
 public:
  // pdfFile empty: the dialog is cancelled.
  explicit PrintDialogStandIn(std::string pdfFile, TPrinterOrientation orientation = poPortrait);
  ~PrintDialogStandIn();
  PrintDialogStandIn(const PrintDialogStandIn &) = delete;
  PrintDialogStandIn &operator=(const PrintDialogStandIn &) = delete;

  int Shown() const { return shown_; }

 private:
  std::string pdfFile_;
  TPrinterOrientation orientation_;
  int shown_ = 0;
  platform::PrintDialogHandler previous_;
};
