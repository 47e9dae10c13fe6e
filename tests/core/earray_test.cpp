#include <gtest/gtest.h>

#include <vector>

#include "core/earray.h"

struct EArrayProbe {
  template <class T>
  static int32_t Capacity(const EArray<T> &a) {
    return a.m_capacity;
  }
  template <class T>
  static int32_t GrowStep(const EArray<T> &a) {
    return a.m_growStep;
  }
};

namespace {

using Probe = EArrayProbe;

// A record of the size of a typical small system record.
struct Rec {
  int32_t id;
  char name[12];
};

std::vector<int> Contents(const EArray<int> &a) {
  return std::vector<int>(a.GetData(), a.GetData() + a.GetCount());
}

void FillTen(EArray<int> &a) {
  for (int i = 0; i < 10; ++i) a.Add(i);
}

// Makes every allocation fail while it lives.
struct NoMemory {
  NoMemory() {
    SetMallocRefusal([](int32_t) { return true; });
  }
  ~NoMemory() { SetMallocRefusal(nullptr); }
};

TEST(EArray, GrowStepSetsFirstCapacity) {
  struct {
    int32_t step, capacity;
  } cases[] = {{0, 128}, {-5, 128}, {1, 1}, {16, 16}, {300, 300}};
  for (const auto &c : cases) {
    EArray<int> a(c.step);
    EXPECT_EQ(Probe::Capacity(a), c.capacity) << c.step;
    EXPECT_EQ(Probe::GrowStep(a), c.capacity) << c.step;
    EXPECT_TRUE(a.IsEmpty());
  }
}

TEST(EArray, CapacityDoublesFromTheFirstGrowthAndKeepsElements) {
  EArray<Rec> a(16);
  std::vector<int32_t> capacities;
  for (int32_t i = 0; i < 129; ++i) {
    Rec r{i, "rec"};
    ASSERT_EQ(a.Add(r), i);
    if (capacities.empty() || capacities.back() != Probe::Capacity(a))
      capacities.push_back(Probe::Capacity(a));
  }
  EXPECT_EQ(capacities, (std::vector<int32_t>{16, 32, 64, 128, 256}));
  for (int32_t i = 0; i < 129; ++i) ASSERT_EQ(a.GetAt(i).id, i);

  EArray<int> d(0);
  for (int i = 0; i < 128; ++i) d.Add(i);
  EXPECT_EQ(Probe::Capacity(d), 128);
  d.Add(128);
  EXPECT_EQ(Probe::Capacity(d), 256);
}

TEST(EArray, FailedFirstAllocationIsMadeGoodByAdd) {
  std::unique_ptr<EArray<int>> a;
  {
    NoMemory refuse;
    a = std::make_unique<EArray<int>>(8);
  }
  EXPECT_EQ(a->GetData(), nullptr);
  EXPECT_EQ(Probe::Capacity(*a), 0);
  EXPECT_EQ(a->Add(5), 0);
  EXPECT_EQ(Probe::Capacity(*a), 8);
  EXPECT_EQ(a->GetAt(0), 5);
}

TEST(EArray, FailedGrowthLeavesArrayUnchanged) {
  EArray<int> a(4);
  for (int i = 0; i < 4; ++i) a.Add(i);
  int *before = a.GetData();
  {
    NoMemory refuse;
    EXPECT_EQ(a.Add(99), -1);
    EXPECT_EQ(a.SetSize(10), 4) << "grows only as far as the storage allows";
  }
  EXPECT_EQ(a.GetData(), before);
  EXPECT_EQ(Contents(a), (std::vector<int>{0, 1, 2, 3}));
}

TEST(EArray, SizesBeyondTheAllocatorAreRefusedNotWrapped) {
  // 16-byte records: a step this large would need more bytes than an int holds.
  EArray<Rec> a(INT32_MAX);
  EXPECT_EQ(a.GetData(), nullptr);
  EXPECT_EQ(a.Add(Rec{1, ""}), -1);
  EXPECT_EQ(a.SetSize(INT32_MAX), 0);
  EXPECT_EQ(a.GetCount(), 0);
}

TEST(EArray, AddingOwnElementWhileGrowing) {
  EArray<Rec> a(2);
  a.Add(Rec{7, "seven"});
  a.Add(Rec{8, "eight"});
  ASSERT_EQ(a.Add(a.GetData()[0]), 2);  // the storage moves during this call
  EXPECT_EQ(a.GetAt(2).id, 7);
  EXPECT_STREQ(a.GetAt(2).name, "seven");
}

TEST(EArray, RemoveAt) {
  struct {
    int32_t index, n;
    std::vector<int> left;
  } cases[] = {
      {9, 5, {0, 1, 2, 3, 4, 5, 6, 7, 8}},
      {10, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {0, 0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {2, 3, {0, 1, 5, 6, 7, 8, 9}},
      {0, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {0, 10, {}},
      {7, INT32_MAX, {0, 1, 2, 3, 4, 5, 6}},
      {-1, 2, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {3, -1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
  };
  for (const auto &c : cases) {
    EArray<int> a(4);
    FillTen(a);
    a.RemoveAt(c.index, c.n);
    EXPECT_EQ(Contents(a), c.left) << "RemoveAt(" << c.index << ", " << c.n << ")";
  }
}

TEST(EArray, SetSizeWithinCapacityKeepsOldElements) {
  EArray<int> a(16);
  FillTen(a);
  int *storage = a.GetData();
  EXPECT_EQ(a.SetSize(3), 3);
  EXPECT_EQ(a.GetData(), storage);
  EXPECT_EQ(a.SetSize(10), 10);
  EXPECT_EQ(Contents(a), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(a.SetSize(-1), 10) << "a negative size is refused";
}

TEST(EArray, SetSizeBeyondCapacityAddsZeroedElementsAndRoom) {
  EArray<int> a(4);
  FillTen(a);  // capacities 4, 8, 16; grow step 16
  EXPECT_EQ(a.SetSize(20), 20);
  EXPECT_EQ(Probe::Capacity(a), 20 + 16) << "n plus the unchanged grow step";
  EXPECT_EQ(Probe::GrowStep(a), 16);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(a.GetAt(i), i);
  for (int i = 10; i < 20; ++i) EXPECT_EQ(a.GetAt(i), 0);
}

TEST(EArray, ShrinkByAndRemoveAll) {
  struct {
    int32_t n, count;
  } cases[] = {{3, 7}, {9, 1}, {10, 0}, {20, 0}, {0, 10}, {-2, 10}};
  for (const auto &c : cases) {
    EArray<int> a(4);
    FillTen(a);
    a.ShrinkBy(c.n);
    EXPECT_EQ(a.GetCount(), c.count) << c.n;
  }
  EArray<int> a(4);
  FillTen(a);
  int *storage = a.GetData();
  a.RemoveAll();
  EXPECT_TRUE(a.IsEmpty());
  EXPECT_EQ(a.GetData(), storage);
  EXPECT_EQ(Probe::Capacity(a), 16);
}

TEST(EArray, SetAtIgnoresIndicesOutsideTheArray) {
  EArray<int> a(4);
  FillTen(a);
  a.SetAt(4, 40);
  a.SetAt(10, 100);
  a.SetAt(-1, -10);
  EXPECT_EQ(Contents(a), (std::vector<int>{0, 1, 2, 3, 40, 5, 6, 7, 8, 9}));
}

// A cache of the elements is rebuilt when the change number moved: every
// call that can add, drop, move or rewrite an element moves it, reading
// does not.
TEST(EArray, EveryChangeMovesTheChangeNumber) {
  struct Case {
    const char *call;
    void (*change)(EArray<int> &);
    bool moves;
  } cases[] = {
      {"Add", [](EArray<int> &a) { a.Add(1); }, true},
      {"Add growing", [](EArray<int> &a) { FillTen(a); }, true},
      {"SetSize", [](EArray<int> &a) { a.SetSize(2); }, true},
      {"RemoveAt", [](EArray<int> &a) { a.RemoveAt(0); }, true},
      {"RemoveAll", [](EArray<int> &a) { a.RemoveAll(); }, true},
      {"ShrinkBy", [](EArray<int> &a) { a.ShrinkBy(1); }, true},
      {"SetAt", [](EArray<int> &a) { a.SetAt(1, 7); }, true},
      {"MarkChanged", [](EArray<int> &a) { a.MarkChanged(); }, true},
      {"SetAt outside", [](EArray<int> &a) { a.SetAt(5, 7); }, false},
      {"reading", [](EArray<int> &a) { (void)(a.GetCount() + a.GetAt(0) + *a.GetData()); }, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.call);
    EArray<int> a(4);
    for (int i = 0; i < 3; ++i) a.Add(i);
    const uint32_t before = a.Changes();
    c.change(a);
    EXPECT_EQ(a.Changes() != before, c.moves);
  }
}

}  // namespace
