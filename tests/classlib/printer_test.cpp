#include "classlib/printer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <cstdio>
#include <string>
#include <utility>

#include "platform/gdi.h"
#include "classlib/picture.h"
#include "testing/print_dialog_standin.h"
#include "testing/temp_folder.h"

namespace {

class PrinterTest : public testing_support::TempFolderTest {
 protected:
  // The pages of a PDF file: its page objects, and the media box of the first.
  static int PageCount(const std::string &pdf) {
    int count = 0;
    const std::string page = "/Type /Page";
    for (size_t at = pdf.find(page); at != std::string::npos; at = pdf.find(page, at + 1))
      if (at + page.size() < pdf.size() && pdf[at + page.size()] != 's') ++count;
    return count;
  }
  // Width and height in points of the first page's media box.
  static std::pair<int, int> MediaBox(const std::string &pdf) {
    const size_t at = pdf.find("/MediaBox");
    if (at == std::string::npos) return {0, 0};
    double left = 0, top = 0, right = 0, bottom = 0;
    std::sscanf(pdf.c_str() + pdf.find('[', at) + 1, "%lf %lf %lf %lf", &left, &top, &right, &bottom);
    return {int(right - left + 0.5), int(bottom - top + 0.5)};
  }
};

TEST_F(PrinterTest, PrintsEveryPageIntoThePdfTheDialogChose) {
  PrintDialogStandIn dialog(R"(.\Report.pdf)");
  TComponent form(nullptr);
  auto *printDialog = new TPrintDialog(&form);  // freed with its owner
  ASSERT_TRUE(printDialog->Execute());
  EXPECT_EQ(dialog.Shown(), 1);

  TPrinter *printer = Printer();
  printer->Title = "行情报表";
  EXPECT_EQ(printer->Handle(), nullptr);
  printer->BeginDoc();
  ASSERT_TRUE(printer->Printing());
  EXPECT_EQ(printer->PageWidth(), 2480);
  EXPECT_EQ(printer->PageHeight(), 3508);
  EXPECT_EQ(printer->PageNumber(), 1);
  ASSERT_NE(printer->Handle(), nullptr);
  EXPECT_EQ(printer->Canvas()->Handle(), printer->Handle());
  printer->NewPage();
  EXPECT_EQ(printer->PageNumber(), 2);
  printer->NewPage();
  printer->EndDoc();
  EXPECT_FALSE(printer->Printing());
  EXPECT_EQ(printer->Handle(), nullptr);
  EXPECT_FALSE(printer->Canvas()->HandleAllocated());

  const std::string pdf = Get("Report.pdf");
  ASSERT_EQ(pdf.substr(0, 5), "%PDF-");
  EXPECT_EQ(PageCount(pdf), 3);
  // A4 upright, in points.
  EXPECT_EQ(MediaBox(pdf), std::make_pair(595, 842));
}

TEST_F(PrinterTest, WhatIsDrawnOnAPageReachesThePaper) {
  PrintDialogStandIn dialog("drawn.pdf");
  ASSERT_TRUE(TPrintDialog().Execute());
  TPrinter *printer = Printer();
  printer->BeginDoc();
  HDC dc = printer->Handle();
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 300);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 2480);
  EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 3508);
  EXPECT_EQ(GetPixel(dc, 100, 100), RGB(255, 255, 255));
  printer->Canvas()->Brush()->SetColor(clBlack);
  printer->Canvas()->FillRect(TRect(100, 100, 400, 300));
  EXPECT_EQ(GetPixel(dc, 100, 100), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc, 400, 300), RGB(255, 255, 255));
  // A window's picture stretched onto the page, as views print themselves.
  TBitmap picture;
  platform::PixelImage quad;
  quad.width = quad.height = 2;
  quad.argb = {0xFF000000u, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFF000000u};
  ASSERT_TRUE(picture.SetPixels(quad));
  ASSERT_TRUE(picture.Draw(dc, RECT{1000, 1000, 1400, 1400}));
  EXPECT_EQ(GetPixel(dc, 1199, 1199), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc, 1200, 1199), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc, 1399, 1399), RGB(0, 0, 0));
  // A 9-point font is 9/72 of an inch at the page's resolution.
  printer->Canvas()->Font()->SetName("宋体");
  printer->Canvas()->Font()->SetHeight(-9 * printer->PixelsPerInch() / 72);
  EXPECT_NEAR(printer->Canvas()->TextHeight("年"), 37, 4);
  // A new page starts white; the canvas keeps its brush.
  printer->NewPage();
  EXPECT_EQ(GetPixel(dc, 100, 100), RGB(255, 255, 255));
  EXPECT_EQ(printer->Canvas()->Brush()->Color(), clBlack);
  printer->EndDoc();
  const std::string drawn = Get("drawn.pdf");
  EXPECT_EQ(PageCount(drawn), 2);
  // Only the page with something on it carries a picture.
  size_t images = 0;
  for (size_t at = drawn.find("/Subtype /Image"); at != std::string::npos; at = drawn.find("/Subtype /Image", at + 1))
    ++images;
  EXPECT_EQ(images, 1u);
}

TEST_F(PrinterTest, LandscapeTurnsThePage) {
  PrintDialogStandIn dialog("wide.pdf", poLandscape);
  ASSERT_TRUE(TPrintDialog().Execute());
  TPrinter *printer = Printer();
  EXPECT_EQ(printer->Orientation(), poLandscape);
  printer->BeginDoc();
  EXPECT_EQ(printer->PageWidth(), 3508);
  EXPECT_EQ(printer->PageHeight(), 2480);
  // The orientation stays while a document is printed.
  printer->SetOrientation(poPortrait);
  EXPECT_EQ(printer->PageWidth(), 3508);
  printer->EndDoc();
  EXPECT_EQ(MediaBox(Get("wide.pdf")), std::make_pair(842, 595));
}

TEST_F(PrinterTest, CancelledDialogAndMisuseChangeNothing) {
  {
    PrintDialogStandIn cancelled("");
    EXPECT_FALSE(TPrintDialog().Execute());
    EXPECT_EQ(Printer()->Setup().outputFile, "");
  }
  PrintDialogStandIn dialog("doc.pdf");
  ASSERT_TRUE(TPrintDialog().Execute());
  TPrinter *printer = Printer();
  EXPECT_THROW(printer->NewPage(), EPrinter);
  EXPECT_THROW(printer->EndDoc(), EPrinter);
  printer->BeginDoc();
  EXPECT_THROW(printer->BeginDoc(), EPrinter);
  EXPECT_TRUE(printer->Printing());
  // Aborting drops the half-made file.
  printer->Abort();
  EXPECT_TRUE(printer->Aborted());
  EXPECT_FALSE(printer->Printing());
  EXPECT_FALSE(std::filesystem::exists(root_ + "/doc.pdf"));

  // A file that can't be made fails at the start, with nothing left open.
  printer->Setup().outputFile = root_ + "/no/such/folder/doc.pdf";
  EXPECT_THROW(printer->BeginDoc(), EPrinter);
  EXPECT_FALSE(printer->Printing());
  EXPECT_EQ(printer->Handle(), nullptr);
}

}  // namespace
