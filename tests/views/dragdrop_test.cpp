#include "views/dragdrop.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/fileapi.h"
#include "platform/messages.h"
#include "tests/views/view_world.h"

namespace {

using views_test::ViewWorld;

// A form that keeps the hand-overs it is told of.
class DropForm : public TForm {
 public:
  DropForm() : TForm(nullptr) {
    SetBorderStyle(bsNone);
    SetClientSize(200, 100);
    Show();
  }
  void WndProc(TMessage &m) override {
    if (m.Msg == WM_DROP_STOCKS) {
      numbers.push_back(uint32_t(m.WParam));
      points.push_back(m.LParam);
      return;
    }
    TForm::WndProc(m);
  }
  std::vector<uint32_t> numbers;
  std::vector<LPARAM> points;
};

class DragDropTest : public ViewWorld {
 protected:
  DragDropTest() {
    const char *old = std::getenv("XDG_DATA_HOME");
    if (old) oldDataHome_ = old;
    hadDataHome_ = old != nullptr;
    box_.WriteText("appdata/keep", "");
    setenv("XDG_DATA_HOME", box_.Path("appdata").c_str(), 1);
  }
  ~DragDropTest() override {
    if (hadDataHome_)
      setenv("XDG_DATA_HOME", oldDataHome_.c_str(), 1);
    else
      unsetenv("XDG_DATA_HOME");
  }
  std::string FileBytes(uint32_t n) { return box_.Read("appdata/" + std::to_string(n) + ".txt"); }
  bool FileThere(uint32_t n) { return box_.Exists("appdata/" + std::to_string(n) + ".txt"); }

  std::string oldDataHome_;
  bool hadDataHome_ = false;
};

TEST(DragObjects, TheDataObjectOffersTextInAGlobalBlockOnly) {
  auto *data = new CDragDropStringObject("SH,600000");
  struct Case {
    WORD format;
    DWORD aspect, tymed;
    HRESULT result;
  } cases[] = {{CF_TEXT, DVASPECT_CONTENT, TYMED_HGLOBAL, S_OK},
               {CF_TEXT, DVASPECT_CONTENT, TYMED_HGLOBAL | 4, S_OK},
               {2, DVASPECT_CONTENT, TYMED_HGLOBAL, DV_E_FORMATETC},
               {CF_TEXT, 2, TYMED_HGLOBAL, DV_E_FORMATETC},
               {CF_TEXT, DVASPECT_CONTENT, 4, DV_E_FORMATETC}};
  for (const Case &c : cases) {
    const FORMATETC f{c.format, nullptr, c.aspect, -1, c.tymed};
    EXPECT_EQ(data->QueryGetData(&f), c.result);
    STGMEDIUM m{7, &m, nullptr};
    EXPECT_EQ(data->GetData(&f, &m), c.result);
    if (c.result == S_OK) {
      EXPECT_EQ(m.tymed, TYMED_HGLOBAL);
      EXPECT_STREQ(static_cast<const char *>(m.hGlobal), "SH,600000");
      ReleaseStgMedium(&m);
    } else {
      EXPECT_EQ(m.hGlobal, nullptr);
    }
  }
  const FORMATETC text = TextFormat();
  STGMEDIUM m;
  EXPECT_EQ(data->GetData(nullptr, &m), E_INVALIDARG);
  EXPECT_EQ(data->GetData(&text, nullptr), E_INVALIDARG);
  FORMATETC out;
  EXPECT_EQ(data->GetCanonicalFormatEtc(&text, &out), DATA_S_SAMEFORMATETC);
  EXPECT_EQ(data->GetDataHere(&text, &m), E_NOTIMPL);
  EXPECT_EQ(data->EnumFormatEtc(1, nullptr), E_INVALIDARG);
  EXPECT_EQ(data->DAdvise(&text, 0, nullptr, nullptr), OLE_E_ADVISENOTSUPPORTED);

  void *asked = nullptr;
  EXPECT_EQ(data->QueryInterface(IID_IDropTarget, &asked), E_NOINTERFACE);
  EXPECT_EQ(asked, nullptr);
  EXPECT_EQ(data->QueryInterface(IID_IDataObject, &asked), S_OK);
  EXPECT_EQ(asked, data);
  EXPECT_EQ(data->Release(), 1u);
  EXPECT_EQ(data->Release(), 0u);  // gone
}

TEST(DragObjects, EscapeCancelsAndReleasingTheButtonDrops) {
  CReportViewDropSource source;
  EXPECT_EQ(source.QueryContinueDrag(TRUE, MK_LBUTTON), DRAGDROP_S_CANCEL);
  EXPECT_EQ(source.QueryContinueDrag(FALSE, 0), DRAGDROP_S_DROP);
  EXPECT_EQ(source.QueryContinueDrag(FALSE, MK_LBUTTON), S_OK);
  EXPECT_EQ(source.GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
}

TEST_F(DragDropTest, ADropWritesTheNumberedFileAndTellsTheWindow) {
  DropForm form;
  auto *target = new CReportViewDropTarget(form.Handle());
  auto *data = new CDragDropStringObject("ABCD,600000");
  DWORD effect = 99;
  EXPECT_EQ(target->DragEnter(data, MK_LBUTTON, POINT{5, 5}, &effect), S_OK);
  EXPECT_EQ(effect, DROPEFFECT_COPY);
  EXPECT_EQ(target->DragOver(MK_LBUTTON, POINT{6, 6}, &effect), S_OK);
  EXPECT_EQ(target->Drop(data, 0, POINT{300, 40}, &effect), S_OK);
  EXPECT_EQ(effect, DROPEFFECT_NONE);
  harness_.Pump();
  ASSERT_EQ(form.numbers.size(), 1u);
  EXPECT_EQ(form.points[0], MAKELPARAM(300, 40));
  EXPECT_EQ(FileBytes(form.numbers[0]), std::string("ABCD\0" "600000\0", 12));
  data->Release();
  target->Release();
}

TEST_F(DragDropTest, TheTextRulesAndTheNextFreeNumber) {
  const std::string longest = "SH," + std::string(60, '9');  // 63 characters
  struct Case {
    std::string text;
    bool written;
  } cases[] = {{longest, true}, {longest + "9", false}, {"SH600000", false}, {",", true}};
  uint32_t start = 500;
  for (const Case &c : cases) {
    uint32_t n = 0;
    EXPECT_EQ(WriteHandOverFile(c.text.c_str(), start, &n), c.written) << c.text;
    if (c.written) EXPECT_EQ(n, start);
    EXPECT_EQ(FileThere(start), c.written);
    start += 10;
  }
  // A number in use moves on to the next.
  uint32_t n = 0;
  ASSERT_TRUE(WriteHandOverFile("SH,600000", 700, &n));
  ASSERT_TRUE(WriteHandOverFile("SH,600036", 700, &n));
  EXPECT_EQ(n, 701u);
  STKPTR stock;
  ASSERT_TRUE(TakeHandOverFile(701, &stock));
  EXPECT_TRUE(SameStock(stock, STKPTR(0, 0, 1)));
  EXPECT_FALSE(FileThere(701));
  // A file that names nothing is deleted all the same.
  ASSERT_TRUE(WriteHandOverFile("XX,123456", 800, &n));
  EXPECT_FALSE(TakeHandOverFile(800, &stock));
  EXPECT_FALSE(FileThere(800));
  EXPECT_FALSE(TakeHandOverFile(801, &stock));
  EXPECT_EQ(DragText(STKPTR(1, 0, 1)), "QH,AL05");
}

TEST_F(DragDropTest, AnotherProcessHandsAnInstrumentOver) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    uint32_t n = 0;
    const bool ok = WriteHandOverFile("QH,AL05", 4242, &n) && n == 4242;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  STKPTR stock;
  ASSERT_TRUE(TakeHandOverFile(4242, &stock));
  EXPECT_TRUE(SameStock(stock, STKPTR(1, 0, 1)));
}

TEST_F(DragDropTest, TheDragLoopFollowsTheMouseToTheTarget) {
  DropForm form;
  auto *target = new CReportViewDropTarget(form.Handle());
  ASSERT_TRUE(RegisterDragDrop(form.Handle(), target));
  EXPECT_FALSE(RegisterDragDrop(form.Handle(), target));
  target->Release();
  CReportViewDropSource source;
  for (bool cancel : {false, true}) {
    auto *data = new CDragDropStringObject("SH,600036");
    harness_.Soon([&] {
      PostMessageA(form.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, 20));
      if (cancel) PostMessageA(form.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
      PostMessageA(form.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(30, 20));
    });
    DWORD effect = 0;
    EXPECT_EQ(DoDragDrop(data, &source, DROPEFFECT_COPY, &effect), cancel ? DRAGDROP_S_CANCEL : DRAGDROP_S_DROP);
    data->Release();
    harness_.Pump();
  }
  ASSERT_EQ(form.numbers.size(), 1u);
  STKPTR stock;
  EXPECT_TRUE(TakeHandOverFile(form.numbers[0], &stock));
  EXPECT_TRUE(SameStock(stock, STKPTR(0, 0, 1)));
  EXPECT_TRUE(RevokeDragDrop(form.Handle()));
}

}  // namespace
