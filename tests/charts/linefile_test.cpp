// The drawn-line and reference-line files through a view stand-in that
// holds an instrument, a period, window formulas, objects and a main formula.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>

#include "charts/linefile.h"
#include "formula/kvindex.h"
#include "market/utildata.h"
#include "platform/fileapi.h"
#include "tests/charts/line_fixture.h"

using namespace line_fixture;

namespace {

class FakeView : public TLineFileOwner {
 public:
  FakeView(ChartWorld &world, int market, int stock, int8_t period, std::vector<std::string> formulas = {"K", "MACD"})
      : world_(world), stock_(market, 0, stock), period_(period), formulas_(std::move(formulas)) {}
  ~FakeView() override {
    for (TLine *line : slots_) delete line;
  }

  STKPTR LineStock() const override { return stock_; }
  int8_t LinePeriod() const override { return period_; }
  int LineWindowCount() const override { return int(formulas_.size()); }
  const char *LineWindowFormula(int window) const override {
    return window >= 0 && window < int(formulas_.size()) && !formulas_[window].empty() ? formulas_[window].c_str()
                                                                                        : nullptr;
  }
  TLine **LineSlots() override { return slots_; }
  uint32_t &LineCount() override { return count_; }
  void MapLoadedLine(TLine *line, int window) override {
    world_.Map(*line);
    line->map.window = window;
  }
  CKvIndex *MainFormula() override { return &main; }

  // Adds an object in a window with its anchors at bar times.
  TLine *Add(int type, int window, int bar0, float price0, int bar1 = 0, float price1 = 0) {
    TLine *line = TLine::CreateByType(type);
    world_.Map(*line);
    line->map.window = window;
    line->state = kLinePlaced;
    line->anchors[0].time = world_.times[bar0];
    line->anchors[0].price = price0;
    if (line->anchorCount > 1) {
      line->anchors[1].time = world_.times[bar1];
      line->anchors[1].price = price1;
    }
    slots_[count_++] = line;
    return line;
  }
  // type@window:bar0,bar1 of every object, in order.
  std::vector<std::string> Objects() const {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < count_; ++i) {
      const TLine *l = slots_[i];
      std::string s = std::to_string(l->type) + "@" + std::to_string(l->map.window);
      for (int a = 0; a < l->anchorCount; ++a)
        s += (a ? "," : ":") + std::to_string(FindUIntSortedIndex(l->anchors[a].time)) + "=" +
             std::to_string(int(l->anchors[a].price));
      out.push_back(s);
    }
    return out;
  }

  CKvIndex main;

 private:
  int FindUIntSortedIndex(uint32_t time) const {
    for (size_t i = 0; i < world_.times.size(); ++i)
      if (world_.times[i] == time) return int(i);
    return -1;
  }
  ChartWorld &world_;
  STKPTR stock_;
  int8_t period_;
  std::vector<std::string> formulas_;
  TLine *slots_[kMaxViewLines] = {};
  uint32_t count_ = 0;
};

// A store whose writes fail once a number of bytes has gone out.
class FailingStore : public TLineFileStore {
 public:
  FailingStore(std::string folder, uint32_t budget) : TLineFileStore(std::move(folder)), budget_(budget) {}

 protected:
  bool WriteBytes(HANDLE file, const void *bytes, uint32_t length) override {
    const uint32_t now = std::min(length, budget_);
    budget_ -= now;
    TLineFileStore::WriteBytes(file, bytes, now);
    return now == length;
  }

 private:
  uint32_t budget_;
};

class LineFiles : public ::testing::Test {
 protected:
  std::string Folder() const { return std::string(UserFolder()); }
  static const char *UserFolder();
  std::string Bytes(const std::string &name) const { return world.box.Read("user/" + name); }
  void Write(const std::string &name, const std::string &bytes) const {
    world.box.Write("user/" + name, bytes.data(), bytes.size());
  }

  ChartWorld world;
  TLineFileStore store;
};

}  // namespace

TEST_F(LineFiles, RoundTripsKeepOtherInstrumentsAndPeriodsInOrder) {
  FakeView cu(world, 0, 0, 5), cuWeek(world, 0, 0, 9), ag(world, 0, 1, 5), m(world, 1, 0, 5);
  cu.Add(1, 0, 3, 20, 9, 22);
  cu.Add(24, 1, 4, 0);
  cuWeek.Add(5, 0, 1, 18, 6, 25);
  ag.Add(8, 0, 2, 16, 7, 19);
  m.Add(26, 0, 10, 21);
  for (FakeView *v : {&cu, &cuWeek, &ag, &m}) ASSERT_TRUE(store.SaveLines(*v));
  EXPECT_EQ(Bytes("linerec.dat").size(), 8 + 5 * sizeof(LINEREC));

  // Saving one instrument and period again replaces only its records.
  FakeView cu2(world, 0, 0, 5);
  cu2.Add(25, 0, 12, 0);
  ASSERT_TRUE(store.SaveLines(cu2));
  struct Case {
    FakeView *view;
    std::vector<std::string> objects;
  } cases[] = {
      {&cu, {"25@0:12=0"}},
      {&cuWeek, {"5@0:1=18,6=25"}},
      {&ag, {"8@0:2=16,7=19"}},
      {&m, {"26@0:10=21"}},
  };
  for (const Case &c : cases) {
    store.LoadLines(*c.view);
    EXPECT_EQ(c.view->Objects(), c.objects);
  }
  // A view without objects removes its records and leaves the others.
  FakeView empty(world, 0, 1, 5);
  ASSERT_TRUE(store.SaveLines(empty));
  EXPECT_EQ(store.LoadLines(ag), 0);
  EXPECT_EQ(store.LoadLines(cuWeek), 1);
}

TEST_F(LineFiles, RecordsMatchWithoutRegardToCaseAndOnlyShownWindows) {
  FakeView cu(world, 0, 0, 5, {"k", "macd"});
  cu.Add(1, 0, 3, 20, 9, 22);
  cu.Add(2, 1, 3, 20, 9, 22);
  ASSERT_TRUE(store.SaveLines(cu));
  // Upper-case codes in the file match the lower-case instrument.
  std::string bytes = Bytes("linerec.dat");
  for (size_t r = 0; r < 2; ++r) {
    char *rec = bytes.data() + 8 + r * sizeof(LINEREC);
    for (size_t i = 20; i < 36; ++i) rec[i] = char(toupper(rec[i]));
  }
  Write("linerec.dat", bytes);
  FakeView upper(world, 0, 0, 5, {"K", "KDJ"});
  EXPECT_EQ(upper.Objects().size(), 0u);
  store.LoadLines(upper);
  EXPECT_EQ(upper.Objects(), (std::vector<std::string>{"1@0:3=20,9=22"})) << "MACD is no longer shown";
  // Both lines' third label is off the chart.
  EXPECT_EQ(upper.LineSlots()[0]->labels[2].x, -1);
}

TEST_F(LineFiles, ATextObjectKeepsItsFontAndItsBoxIgnoresTheStyle) {
  FakeView cu(world, 0, 0, 5);
  TLine *text = cu.Add(15, 0, 4, 20);
  std::strcpy(text->text, "支撑位");
  std::strcpy(text->fontFace, "Arial");
  text->fontHeight = -20;
  text->fontStyle = 1 | 2;
  text->colour = 0x123456;
  ASSERT_TRUE(store.SaveLines(cu));
  store.LoadLines(cu);
  ASSERT_EQ(cu.LineCount(), 1u);
  const TLine *loaded = cu.LineSlots()[0];
  EXPECT_STREQ(loaded->text, "支撑位");
  EXPECT_STREQ(loaded->fontFace, "Arial");
  EXPECT_EQ(loaded->fontHeight, -20);
  EXPECT_EQ(loaded->fontStyle, 3u);
  EXPECT_EQ(loaded->colour, 0x123456u);
  const SIZE plain = MeasureLineText("支撑位", "Arial", -20, 0, false);
  EXPECT_EQ(loaded->textSize.cx, plain.cx);
  EXPECT_EQ(loaded->textSize.cy, plain.cy);
  EXPECT_LT(loaded->textSize.cx, MeasureLineText("支撑位", "Arial", -20, 3, true).cx);
}

TEST_F(LineFiles, DamagedFilesAreHandledWithoutLosingWhatIsWhole) {
  FakeView cu(world, 0, 0, 5);
  cu.Add(1, 0, 3, 20, 9, 22);
  cu.Add(24, 0, 4, 21);
  cu.Add(25, 0, 5, 0);
  ASSERT_TRUE(store.SaveLines(cu));
  const std::string whole = Bytes("linerec.dat");

  struct Case {
    const char *what;
    std::string bytes;
    int loaded;
    bool exists;
  } cases[] = {
      {"wrong magic: deleted", "PSL5" + whole.substr(4), 0, false},
      {"too short for a count: deleted", "PSL6", 0, false},
      {"cut inside the third record", whole.substr(0, whole.size() - 100), 2, true},
      {"a count far beyond the file", whole.substr(0, 4) + std::string("\xFF\xFF\xFF\x7F", 4) + whole.substr(8), 3,
       true},
  };
  for (const Case &c : cases) {
    Write("linerec.dat", c.bytes);
    EXPECT_EQ(store.LoadLines(cu), c.loaded) << c.what;
    EXPECT_EQ(world.box.Exists("user/linerec.dat"), c.exists) << c.what;
  }
  // A purge of a short file keeps what it read and writes the true count.
  Write("linerec.dat", whole.substr(0, whole.size() - 100));
  FakeView other(world, 0, 1, 5);
  ASSERT_TRUE(store.PurgeLines(other));
  const std::string fixed = Bytes("linerec.dat");
  EXPECT_EQ(fixed.size(), 8 + 2 * sizeof(LINEREC));
  EXPECT_EQ(uint8_t(fixed[4]), 2);
}

TEST_F(LineFiles, ASaveFailingHalfWayLeavesTheOldFileWhole) {
  FakeView cu(world, 0, 0, 5), ag(world, 0, 1, 5);
  cu.Add(1, 0, 3, 20, 9, 22);
  ag.Add(24, 0, 4, 21);
  ASSERT_TRUE(store.SaveLines(cu));
  ASSERT_TRUE(store.SaveLines(ag));
  const std::string before = Bytes("linerec.dat");
  cu.Add(25, 0, 5, 0);
  FailingStore failing(Folder(), 8 + sizeof(LINEREC) / 2);
  EXPECT_FALSE(failing.SaveLines(cu));
  EXPECT_EQ(Bytes("linerec.dat"), before);
  EXPECT_FALSE(world.box.Exists("user/linerec.dat.new")) << "the staging file is cleared away";
}

TEST_F(LineFiles, CodesAreBoundedToTheirFields) {
  // A seven-character code fills its field without a terminator and does
  // not run into the type.
  TMarketData *shfe = MarketTable.markets[0];
  std::memcpy(shfe->m_stocks[1].code, "AG1106X", 7);
  std::memcpy(shfe->m_info.shortName, "SHFEXCHG", 9);
  FakeView ag(world, 0, 1, 5);
  ag.Add(27, 0, 4, 21);
  ASSERT_TRUE(store.SaveLines(ag));
  const std::string bytes = Bytes("linerec.dat");
  const LINEREC *r = reinterpret_cast<const LINEREC *>(bytes.data() + 8);
  EXPECT_EQ(std::string(r->code, 7), "AG1106X");
  EXPECT_EQ(r->type, 27);
  EXPECT_EQ(std::string(r->market, 9), std::string("SHFEXCHG\0", 9));
  EXPECT_EQ(r->period, 5);
  store.LoadLines(ag);
  EXPECT_EQ(ag.Objects(), (std::vector<std::string>{"27@0:4=21"}));
}

TEST_F(LineFiles, ReferenceLinesPerInstrument) {
  struct Case {
    const char *what;
    int count;
    bool terminator;
  } cases[] = {{"16 values, no terminator", 16, false}, {"3 values and the terminator", 3, true}};
  for (const Case &c : cases) {
    FakeView cu(world, 0, 0, 5);
    for (int i = 0; i < c.count; ++i) cu.main.AddRefLine(10.5 + i, i % 4);
    ASSERT_TRUE(store.SaveRefLines(cu)) << c.what;
    const std::string bytes = Bytes("RefLine.dat");
    ASSERT_EQ(bytes.size(), 8 + sizeof(REFLINEFILEREC)) << c.what << ": one record per instrument";
    const REFLINEFILEREC *r = reinterpret_cast<const REFLINEFILEREC *>(bytes.data() + 8);
    if (c.terminator) EXPECT_TRUE(std::isnan(r->values[c.count])) << c.what;

    FakeView again(world, 0, 0, 5);
    again.main.AddRefLine(99, 0);  // cleared by the load
    EXPECT_EQ(store.LoadRefLines(again), c.count) << c.what;
    EXPECT_EQ(again.main.refLines[c.count - 1].value, 10.5 + c.count - 1) << c.what;
    EXPECT_EQ(again.main.refLines[c.count - 1].decimals, (c.count - 1) % 4) << c.what;
    FakeView other(world, 1, 0, 5);
    other.main.AddRefLine(1, 0);
    EXPECT_EQ(store.LoadRefLines(other), 0) << c.what << ": no record, no lines";
  }
  // A wrong magic deletes the file.
  Write("RefLine.dat", "PSR0" + Bytes("RefLine.dat").substr(4));
  FakeView cu(world, 0, 0, 5);
  EXPECT_EQ(store.LoadRefLines(cu), 0);
  EXPECT_FALSE(world.box.Exists("user/RefLine.dat"));
}

const char *LineFiles::UserFolder() { return UserDataPath; }
