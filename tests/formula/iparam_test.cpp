// Parameter values per chart period in "%siparam.dat".
#include <cmath>
#include <filesystem>
#include <limits>

#include "tests/formula/library_support.h"

using namespace formula_test;

namespace {

constexpr size_t kRecord = 2064;

CKvIndexParam Param(const char *name, double minimum, double maximum, double value) {
  CKvIndexParam p{};
  std::snprintf(p.name, sizeof p.name, "%s", name);
  p.minimum = minimum;
  p.maximum = maximum;
  p.defaultValue = value;
  p.reserved = 1;
  p.value = value;
  return p;
}

double SlotOf(const std::string &record, int param, int slot) {
  double v;
  std::memcpy(&v, record.data() + 16 + 128 * param + 8 * slot, sizeof v);
  return v;
}

std::string RecordFor(const char *name, double value) {
  std::string r(kRecord, '\0');
  std::memcpy(r.data(), name, std::strlen(name));
  for (int i = 0; i < 16; ++i)
    for (int j = 0; j < 16; ++j) std::memcpy(r.data() + 16 + 128 * i + 8 * j, &value, 8);
  return r;
}

std::string Version(int32_t v) { return std::string(reinterpret_cast<const char *>(&v), 4); }

// The library holds "KDJ" (N 1-100 = 9, M 2-40 = 3); a chart's copy of it
// is `chart`.
class ParamValues : public LibraryFolderTest {
 protected:
  void SetUp() override {
    LibraryFolderTest::SetUp();
    auto *group = new CKvIndexGroup("G");
    auto *f = new CKvIndex;
    std::snprintf(f->name, sizeof f->name, "KDJ");
    f->AddParam(Param("N", 1, 100, 9));
    f->AddParam(Param("M", 2, 40, 3));
    group->Add(f);
    KvIndexManager().AddGroup(group);
    library = f;
    chart.Assign(*f);
    std::snprintf(chart.name, sizeof chart.name, "kdj");  // names match without regard to case
  }
  void TearDown() override {
    KvIndexManager().Clear();
    LibraryFolderTest::TearDown();
  }
  std::string File() const { return root_ + "/user/iparam.dat"; }
  std::string Records() {
    const std::string bytes = Get(File());
    EXPECT_EQ(bytes.substr(0, 4), Version(1));
    return bytes.size() >= 4 ? bytes.substr(4) : std::string();
  }

  CKvIndex *library = nullptr;
  CKvIndex chart;
};

TEST_F(ParamValues, SavingOnePeriodOfANewRecordFillsTheOtherSlotsFromTheLibrary) {
  chart.params[0].value = 20;
  chart.params[1].value = 5;
  chart.SaveParamValues(8);
  const std::string records = Records();
  ASSERT_EQ(records.size(), kRecord);
  EXPECT_STREQ(records.c_str(), "kdj");
  for (int j = 0; j < 16; ++j) {
    EXPECT_EQ(SlotOf(records, 0, j), j == 8 ? 20 : 9) << j;
    EXPECT_EQ(SlotOf(records, 1, j), j == 8 ? 5 : 3) << j;
  }

  // Another period changes only its slot; code 0 writes every slot.
  chart.params[0].value = 30;
  chart.SaveParamValues(3);
  EXPECT_EQ(SlotOf(Records(), 0, 3), 30);
  EXPECT_EQ(SlotOf(Records(), 0, 8), 20);
  EXPECT_EQ(SlotOf(Records(), 0, 0), 9);
  chart.params[0].value = 44;
  chart.SaveParamValues(0);
  ASSERT_EQ(Records().size(), kRecord);
  for (int j = 0; j < 16; ++j) EXPECT_EQ(SlotOf(Records(), 0, j), 44) << j;
}

TEST_F(ParamValues, LoadingClampsToTheRangeAndTakesTheDefaultForWhatIsNotANumber) {
  struct Case {
    double stored;
    double expected;
  };
  for (const Case &c : std::vector<Case>{{50, 50},
                                         {101, 100},
                                         {-5, 1},
                                         {std::numeric_limits<double>::quiet_NaN(), 9},
                                         {std::numeric_limits<double>::infinity(), 9}}) {
    SCOPED_TRACE(c.stored);
    Put(File(), Version(1) + RecordFor("OTHER", 1) + RecordFor("KDJ", c.stored));
    chart.params[0].value = 77;
    chart.LoadParamValues(8);
    EXPECT_EQ(chart.params[0].value, c.expected);
  }
}

TEST_F(ParamValues, WithoutAFileTheLibraryValuesAreTakenAlongTheChain) {
  library->params[0].value = 12;
  chart.params[0].value = 77;
  auto *overlay = new CKvIndex;
  overlay->Assign(*library);
  overlay->params[0].value = 55;
  chart.next = overlay;
  chart.LoadParamValues(8);
  EXPECT_EQ(chart.params[0].value, 12);
  EXPECT_EQ(overlay->params[0].value, 12);
  EXPECT_FALSE(std::filesystem::exists(File()));
}

TEST_F(ParamValues, AFileOfAnotherVersionIsDeletedOnLoadAndMadeAnewOnSave) {
  Put(File(), Version(2) + RecordFor("KDJ", 50));
  chart.params[0].value = 77;
  chart.LoadParamValues(8);
  EXPECT_EQ(chart.params[0].value, 77);
  EXPECT_FALSE(std::filesystem::exists(File()));

  Put(File(), Version(2) + RecordFor("KDJ", 50));
  chart.SaveParamValues(8);
  ASSERT_EQ(Records().size(), kRecord);
  EXPECT_EQ(SlotOf(Records(), 0, 8), 77);
}

TEST_F(ParamValues, ARecordCutShortAtTheEndIsWrittenOver) {
  Put(File(), Version(1) + RecordFor("OTHER", 1) + RecordFor("KDJ", 50).substr(0, 700));
  chart.params[0].value = 60;
  chart.SaveParamValues(0);
  const std::string records = Records();
  ASSERT_EQ(records.size(), 2 * kRecord);
  EXPECT_EQ(SlotOf(records, 0, 0), 1);
  EXPECT_EQ(SlotOf(records.substr(kRecord), 0, 5), 60);
  // And the record is found again by name.
  chart.params[0].value = 0;
  chart.LoadParamValues(5);
  EXPECT_EQ(chart.params[0].value, 60);
}

// A chart formula whose library formula was deleted keeps its values, and
// the file keeps its record.
TEST_F(ParamValues, WithoutTheLibraryFormulaNothingChanges) {
  const std::string before = Version(1) + RecordFor("KDJ", 50);
  Put(File(), before);
  KvIndexManager().Clear();
  chart.params[0].value = 77;
  chart.LoadParamValues(8);
  EXPECT_EQ(chart.params[0].value, 77);
  chart.SaveParamValues(8);
  chart.SaveParamValues(0);
  EXPECT_EQ(Get(File()), before);
  std::filesystem::remove(File());
  chart.LoadParamValues(8);
  EXPECT_EQ(chart.params[0].value, 77);
}

}  // namespace
