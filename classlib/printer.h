// The printer: one process-wide TPrinter that prints documents page by page
// through Qt's print support, and the print dialog that chooses where.
//
// Each page is drawn into a memory device context over a white page-sized
// bitmap, with the same GDI calls that draw on screen; the finished page
// goes to the printer (or to a PDF file) at NewPage and EndDoc. Pages are
// A4 at 300 dots per inch: 2480 x 3508 pixels upright, the other way round
// in landscape.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "classlib/graphics.h"
#include "platform/windef.h"

enum TPrinterOrientation { poPortrait, poLandscape };

// What goes wrong while printing is thrown as this, as the class library's
// printer does; callers catch it and report.
class EPrinter : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace platform {

// What the print dialog chooses.
struct PrintSetup {
  // A PDF file to print into (a Windows-form or POSIX path); empty prints
  // on the printer named below, or the system's default one.
  std::string outputFile;
  std::string printerName;
  TPrinterOrientation orientation = poPortrait;
};

// Runs the print dialog on the setup and returns whether the user chose to
// print. The default shows Qt's print dialog; tests install a stand-in.
using PrintDialogHandler = std::function<bool(PrintSetup &setup)>;
// Installs a handler (an empty one puts Qt's dialog back) and returns the
// one installed before.
PrintDialogHandler SetPrintDialogHandler(PrintDialogHandler handler);

}  // namespace platform

class TPrinter {
 public:
  TPrinter();
  ~TPrinter();
  TPrinter(const TPrinter &) = delete;
  TPrinter &operator=(const TPrinter &) = delete;

  // Starts a document on the first page. Throws EPrinter when no printer
  // or file can be opened, or when a document is already being printed.
  void BeginDoc();
  // Sends the page drawn so far and starts a fresh white one.
  void NewPage();
  // Sends the last page and closes the document.
  void EndDoc();
  // Drops the document; a PDF file begun for it is removed.
  void Abort();

  bool Printing() const { return printing_; }
  bool Aborted() const { return aborted_; }
  // 1 for the first page of the document being printed.
  int PageNumber() const { return pageNumber_; }
  int PageWidth() const;
  int PageHeight() const;
  int PixelsPerInch() const { return kDotsPerInch; }
  // The context that draws on the current page; null while not printing.
  HDC Handle() const { return dc_; }
  // A canvas on that context while printing; its pen, brush and font stay
  // from page to page. The page has PixelsPerInch() dots to the inch, so a
  // font of p points is Height -(p * PixelsPerInch() / 72).
  TCanvas *Canvas() { return &canvas_; }

  TPrinterOrientation Orientation() const { return setup_.orientation; }
  // Ignored while printing.
  void SetOrientation(TPrinterOrientation orientation);
  // Where the next document goes.
  platform::PrintSetup &Setup() { return setup_; }

  // The document's name in the print queue (GBK).
  std::string Title;

  static constexpr int kDotsPerInch = 300;

 private:
  struct Job;
  void SendPage();
  void ClearPage();
  void Finish();

  platform::PrintSetup setup_;
  TCanvas canvas_;
  bool printing_ = false;
  bool aborted_ = false;
  int pageNumber_ = 0;
  HDC dc_ = nullptr;
  HGDIOBJ page_ = nullptr;
  HGDIOBJ previousBitmap_ = nullptr;
  Job *job_ = nullptr;
};

// The one printer of the program.
TPrinter *Printer();

// The print dialog: Execute shows it for the printer's setup and returns
// true when the user chose to print.
class TPrintDialog : public TComponent {
 public:
  VCL_CLASS_NAME(TPrintDialog)
  explicit TPrintDialog(TComponent *owner = nullptr) : TComponent(owner) {}
  bool Execute();
};
