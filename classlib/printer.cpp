#include "classlib/printer.h"

#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/gdi.h"
#include "platform/path.h"
#include "platform/qtext.h"

namespace platform {
namespace {

std::mutex dialogLock;
PrintDialogHandler dialogHandler;

bool QtPrintDialog(PrintSetup &setup) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageOrientation(setup.orientation == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  if (!setup.printerName.empty()) printer.setPrinterName(QString::fromStdString(setup.printerName));
  if (!setup.outputFile.empty()) printer.setOutputFileName(QString::fromStdString(setup.outputFile));
  QPrintDialog dialog(&printer);
  if (dialog.exec() != QDialog::Accepted) return false;
  setup.orientation = printer.pageLayout().orientation() == QPageLayout::Landscape ? poLandscape : poPortrait;
  setup.outputFile = printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName().toStdString() : "";
  setup.printerName = printer.printerName().toStdString();
  return true;
}

// The POSIX path of a PDF file named either way.
std::string OutputPath(const std::string &name) {
  if (name.empty() || name.front() == '/') return name;
  return ResolvePath(name.c_str());
}

// A4, 210 x 297 mm, in whole dots.
QSize PageSize(TPrinterOrientation orientation) {
  const QSize upright(qRound(210 / 25.4 * TPrinter::kDotsPerInch), qRound(297 / 25.4 * TPrinter::kDotsPerInch));
  return orientation == poLandscape ? upright.transposed() : upright;
}

bool Blank(const DibInfo &dib) {
  const size_t rowBytes = size_t(dib.width) * size_t(dib.bitsPerPixel / 8);
  for (int y = 0; y < dib.height; ++y) {
    const unsigned char *row = dib.bits + size_t(y) * size_t(dib.stride);
    if (row[0] != 0xFF || std::memcmp(row, row + 1, rowBytes - 1) != 0) return false;
  }
  return true;
}

}  // namespace

PrintDialogHandler SetPrintDialogHandler(PrintDialogHandler handler) {
  std::lock_guard<std::mutex> hold(dialogLock);
  std::swap(dialogHandler, handler);
  return handler;
}

}  // namespace platform

using namespace platform;

struct TPrinter::Job {
  QPrinter printer{QPrinter::HighResolution};
  QPainter painter;
  std::string pdfPath;
  QSize size;
};

TPrinter::TPrinter() = default;

TPrinter::~TPrinter() {
  if (printing_) Abort();
}

int TPrinter::PageWidth() const { return PageSize(setup_.orientation).width(); }

int TPrinter::PageHeight() const { return PageSize(setup_.orientation).height(); }

void TPrinter::SetOrientation(TPrinterOrientation orientation) {
  if (!printing_) setup_.orientation = orientation;
}

void TPrinter::BeginDoc() {
  if (printing_) throw EPrinter("Printing in progress");
  auto job = std::make_unique<Job>();
  job->size = PageSize(setup_.orientation);
  QPrinter &printer = job->printer;
  printer.setResolution(kDotsPerInch);
  printer.setFullPage(true);
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setPageOrientation(setup_.orientation == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  printer.setDocName(FromGbk(Title.c_str()));
  if (!setup_.outputFile.empty()) {
    job->pdfPath = OutputPath(setup_.outputFile);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(job->pdfPath));
  } else {
    printer.setOutputFormat(QPrinter::NativeFormat);
    if (!setup_.printerName.empty()) printer.setPrinterName(QString::fromStdString(setup_.printerName));
    if (!printer.isValid()) throw EPrinter("No printer available");
  }
  // The page picture: a white 24-bit bitmap in a memory context.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = job->size.width();
  info.bmiHeader.biHeight = -job->size.height();
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void *bits = nullptr;
  HGDIOBJ page = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = page ? CreateCompatibleDC(nullptr) : nullptr;
  if (!dc) {
    if (page) DeleteObject(page);
    throw EPrinter("Out of resources for the page");
  }
  if (!job->painter.begin(&printer)) {
    DeleteDC(dc);
    DeleteObject(page);
    if (!job->pdfPath.empty()) std::remove(job->pdfPath.c_str());
    throw EPrinter("The printer cannot be opened");
  }
  previousBitmap_ = SelectObject(dc, page);
  SetDeviceResolution(dc, kDotsPerInch, kDotsPerInch);
  page_ = page;
  dc_ = dc;
  job_ = job.release();
  canvas_.SetHandle(dc);
  printing_ = true;
  aborted_ = false;
  pageNumber_ = 1;
  ClearPage();
}

void TPrinter::ClearPage() {
  DibInfo dib;
  if (GetDibInfo(page_, dib) && dib.bits) std::memset(dib.bits, 0xFF, size_t(dib.stride) * size_t(dib.height));
}

void TPrinter::SendPage() {
  DibInfo dib;
  if (!GetDibInfo(page_, dib) || !dib.bits) throw EPrinter("The page is gone");
  // Paper is white already.
  if (Blank(dib)) return;
  QImage image(dib.bits, dib.width, dib.height, dib.stride,
               dib.bitsPerPixel == 32 ? QImage::Format_RGB32 : QImage::Format_BGR888);
  if (dib.bottomUp) image = image.mirrored();
  job_->painter.drawImage(QRect(0, 0, job_->size.width(), job_->size.height()), image);
}

void TPrinter::NewPage() {
  if (!printing_) throw EPrinter("Printer is not printing");
  SendPage();
  if (!job_->printer.newPage()) throw EPrinter("The printer refused a new page");
  ClearPage();
  ++pageNumber_;
}

void TPrinter::Finish() {
  canvas_.SetHandle(nullptr);
  if (dc_) {
    SelectObject(dc_, previousBitmap_);
    DeleteDC(dc_);
  }
  if (page_) DeleteObject(page_);
  dc_ = nullptr;
  page_ = previousBitmap_ = nullptr;
  delete job_;
  job_ = nullptr;
  printing_ = false;
  pageNumber_ = 0;
}

void TPrinter::EndDoc() {
  if (!printing_) throw EPrinter("Printer is not printing");
  SendPage();
  const bool ended = job_->painter.end();
  Finish();
  if (!ended) throw EPrinter("The document could not be finished");
}

void TPrinter::Abort() {
  if (!printing_) return;
  std::string pdf = job_->pdfPath;
  job_->printer.abort();
  job_->painter.end();
  Finish();
  if (!pdf.empty()) std::remove(pdf.c_str());
  aborted_ = true;
}

TPrinter *Printer() {
  static TPrinter printer;
  return &printer;
}

bool TPrintDialog::Execute() {
  PrintDialogHandler handler;
  {
    std::lock_guard<std::mutex> hold(dialogLock);
    handler = dialogHandler;
  }
  PrintSetup setup = Printer()->Setup();
  const bool chosen = handler ? handler(setup) : QtPrintDialog(setup);
  if (chosen && !Printer()->Printing()) Printer()->Setup() = setup;
  return chosen;
}
