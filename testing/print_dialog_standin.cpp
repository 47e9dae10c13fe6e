#include "testing/print_dialog_standin.h"

PrintDialogStandIn::PrintDialogStandIn(std::string pdfFile, TPrinterOrientation orientation)
    : pdfFile_(std::move(pdfFile)), orientation_(orientation) {
  previous_ = platform::SetPrintDialogHandler([this](platform::PrintSetup &setup) {
    ++shown_;
    if (pdfFile_.empty()) return false;
    setup.outputFile = pdfFile_;
    setup.orientation = orientation_;
    return true;
  });
  Printer()->Setup() = platform::PrintSetup();
}

PrintDialogStandIn::~PrintDialogStandIn() {
  if (Printer()->Printing()) Printer()->Abort();
  Printer()->Setup() = platform::PrintSetup();
  platform::SetPrintDialogHandler(std::move(previous_));
}
