#include "shell/alarm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "classlib/forms.h"
#include "market/dataio5.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "platform/messages.h"
#include "shell/framecore.h"
#include "shell/quoteconn.h"
#include "testing/beep_recorder.h"
#include "testing/market_fixture.h"
#include "testing/market_fixture_min.h"
#include "testing/msgbox_recorder.h"

using namespace market_fixture;

namespace {

// One stored record of the newer form (296 bytes) or its first 36 bytes.
std::string Record(const char *market, const char *code, float high, float low, const std::string &sound = "",
                   bool old = false) {
  std::string r(old ? 36 : 296, '\0');
  std::memcpy(&r[0], market, strnlen(market, 9));
  std::memcpy(&r[9], code, strnlen(code, 7));
  const float values[5] = {high, low, AlarmUnset(), AlarmUnset(), AlarmUnset()};
  std::memcpy(&r[16], values, sizeof values);
  if (!old) std::memcpy(&r[36], sound.data(), std::min<size_t>(sound.size(), 260));
  return r;
}

std::string Header(const char *magic, uint32_t flags) {
  std::string h(magic, 6);
  h.append(reinterpret_cast<const char *>(&flags), 4);
  return h;
}

class AlarmTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteDataSet(StandardDataSet(MakePackedDateTime(2024, 1, 15, 2, 0)), box_.Root());
    BuildMarketTableOffline();
    pufa_ = Find("600000", 0);
    cu_ = Find("CU05", 3);
    std::ofstream(Sound("own.wav")) << "RIFF";
    std::ofstream(Sound("other.wav")) << "RIFF";
  }
  void TearDown() override { FreeMarketTable(); }

  static STKPTR Find(const char *code, int market) {
    const STKINFO *info = MarketAt(market)->FindStock(code);
    return info ? STKPTR(market, info->kind, info->index) : STKPTR();
  }
  std::string Sound(const char *name) const { return box_.Root() + "/user/" + name; }
  std::string File() const { return box_.Root() + "/user/ALARM.SET"; }
  void WriteFile(const std::string &bytes) { std::ofstream(File(), std::ios::binary) << bytes; }
  std::string ReadFile() const {
    std::ifstream in(File(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static REALQUOTE Quote(uint32_t last, float lastVolume = 0, float volume = 0, float amount = 0) {
    REALQUOTE q{};
    q.last = last;
    q.lastVolume = lastVolume;
    q.volume = volume;
    q.amount = amount;
    return q;
  }
  static std::vector<std::string> Drain(TAlarm &engine) {
    std::vector<std::string> played;
    char path[kAlarmSoundPath];
    while (engine.TakeSound(path)) played.push_back(path);
    return played;
  }

  MarketSandbox box_;
  MessageBoxRecorder boxes_;
  BeepRecorder beeps_;
  STKPTR pufa_, cu_;
};

// The older form is read and the next save writes the newer one, byte for
// byte: names and codes padded with NUL, thresholds as stored.
TEST_F(AlarmTest, AnOlderFileLoadsAndIsSavedInTheNewerForm) {
  WriteFile(Header("KVAS03", 2) + Record("SH", "600000", 10.5f, AlarmUnset(), "", true) +
            Record("sh", "600010", AlarmUnset(), 1.5f, "", true) + Record("QH", "cu05", 70000, 60000, "", true));
  TAlarm engine(false);
  ASSERT_EQ(engine.items.GetCount(), 3);
  EXPECT_FALSE(engine.soundOn);
  EXPECT_TRUE(engine.popupOn);
  EXPECT_TRUE(SameStock(engine.items.GetAt(0).stock, pufa_));
  EXPECT_TRUE(SameStock(engine.items.GetAt(2).stock, cu_)) << "names and codes without regard to case";
  EXPECT_FALSE(AlarmIsSet(engine.items.GetAt(0).priceLow));
  EXPECT_TRUE(engine.Save());
  const std::string expected = Header("KVAS04", 2) + Record("SH", "600000", 10.5f, AlarmUnset()) +
                               Record("SH", "600010", AlarmUnset(), 1.5f) + Record("QH", "CU05", 70000, 60000);
  EXPECT_EQ(ReadFile(), expected);
}

// What a file keeps: the switches of a file without records stay as they
// are; records of unknown markets or codes are dropped without counting;
// at most 100 items; a path that fills its field, or names no file, is
// forgotten; a 7-character code is read whole and written back whole.
TEST_F(AlarmTest, LoadingKeepsWhatResolvesAndReadsFieldsBounded) {
  {
    WriteFile(Header("KVAS04", 0));
    TAlarm engine(false);
    EXPECT_EQ(engine.items.GetCount(), 0);
    EXPECT_TRUE(engine.soundOn && engine.popupOn) << "a file without records keeps the switches";
  }
  {
    WriteFile("KVAS99" + std::string(4 + 296, '\0'));
    TAlarm engine(false);
    EXPECT_EQ(engine.items.GetCount(), 0);
  }
  {
    std::string file = Header("KVAS04", 3);
    for (int i = 0; i < 30; ++i) file += Record("XX", "600000", 1, AlarmUnset());  // no such market
    file += Record("SH", "999999", 1, AlarmUnset());                             // no such code
    for (int i = 0; i < 119; ++i) file += Record("SH", "600000", float(i), AlarmUnset());
    WriteFile(file);
    TAlarm engine(false);
    ASSERT_EQ(engine.items.GetCount(), kAlarmMaxItems);
    EXPECT_EQ(engine.items.GetAt(0).priceHigh, 0.0f);
    EXPECT_EQ(engine.items.GetAt(99).priceHigh, 99.0f) << "the first 100 that resolve";
    engine.items.RemoveAll();
  }
  {
    // A 7-character code fills its field without a terminator.
    STKINFO *entry = GetStockInfo(pufa_);
    std::memcpy(entry->code, "6000001", 7);
    MarketAt(0)->InvalidateCodeIndex();
    WriteFile(Header("KVAS04", 3) + Record("SH", "6000001", 1, AlarmUnset(), std::string(260, 'a')) +
              Record("SH", "6000001", 2, AlarmUnset(), Sound("own.wav")) +
              Record("SH", "6000001", 3, AlarmUnset(), Sound("gone.wav")));
    TAlarm engine(false);
    ASSERT_EQ(engine.items.GetCount(), 3);
    EXPECT_STREQ(engine.items.GetAt(0).sound, "") << "a path without its end names no file";
    EXPECT_EQ(std::string(engine.items.GetAt(1).sound), Sound("own.wav"));
    EXPECT_STREQ(engine.items.GetAt(2).sound, "") << "a file that is gone is forgotten";
    engine.Save();
    const std::string saved = ReadFile();
    ASSERT_EQ(saved.size(), 10u + 3 * 296);
    EXPECT_EQ(saved.substr(10 + 9, 7), "6000001");
    EXPECT_EQ(saved.substr(10 + 296 + 36, Sound("own.wav").size() + 1), Sound("own.wav") + '\0');
    engine.items.RemoveAll();
  }
}

// A save that cannot write leaves the old file and says nothing.
TEST_F(AlarmTest, AFailedSaveKeepsTheOldFile) {
  const std::string old = Header("KVAS04", 3) + Record("SH", "600000", 1, AlarmUnset());
  WriteFile(old);
  TAlarm engine(false);
  std::filesystem::create_directory(File() + ".tmp");  // the new file can't be made
  engine.items.RemoveAll();
  EXPECT_FALSE(engine.Save());
  EXPECT_EQ(ReadFile(), old);
  EXPECT_EQ(boxes_.Count(), 0u);
  std::filesystem::remove(File() + ".tmp");
}

// The thresholds of one quote: the bounds fire when reached exactly, unset
// (NaN) thresholds never fire, a quote without a price fires nothing, and
// a fired item stays silent until it is armed again.
TEST_F(AlarmTest, AQuoteFiresTheItemsWhoseThresholdsItReaches) {
  WriteFile(Header("KVAS04", 0));
  TAlarm engine(false);
  const float nan = std::nanf("");
  struct Case {
    const char *what;
    float high, low, size, volume, amount;
    REALQUOTE quote;
    uint32_t state;
  } cases[] = {
      {"ceiling reached exactly", 10.5f, nan, nan, nan, nan, Quote(10500), ALARM_ABOVE_HIGH},
      {"floor reached exactly", nan, 10.5f, nan, nan, nan, Quote(10500), ALARM_BELOW_LOW},
      {"between the bounds", 11.0f, 10.0f, nan, nan, nan, Quote(10500), 0},
      {"no price yet", nan, 10.5f, nan, nan, nan, Quote(0, 1e9f, 1e9f, 1e9f), 0},
      {"all unset", nan, nan, nan, nan, nan, Quote(10500, 1e9f, 1e9f, 1e9f), 0},
      {"a quiet NaN and the dialogs' pattern", nan, AlarmUnset(), nan, nan, nan, Quote(1), 0},
      {"trade size, volume, amount", nan, nan, 50, 1000, 2e6f, Quote(10500, 50, 1000, 2e6f),
       ALARM_TRADE_SIZE | ALARM_VOLUME | ALARM_AMOUNT},
  };
  for (const Case &c : cases) {
    engine.items.RemoveAll();
    AlarmData item = NewAlarmItem(pufa_);
    item.priceHigh = c.high, item.priceLow = c.low, item.tradeSize = c.size, item.volume = c.volume,
    item.amount = c.amount;
    engine.AddAlarm(item);
    engine.CheckQuote(pufa_, c.quote);
    EXPECT_EQ(engine.items.GetAt(0).state, c.state) << c.what;
    EXPECT_EQ(engine.items.GetAt(0).firedAt.wYear != 0, c.state != 0) << c.what;
  }
  // Another instrument's quote leaves the item alone; once fired, quotes
  // that cross other thresholds change nothing until the re-arm.
  engine.items.RemoveAll();
  AlarmData item = NewAlarmItem(pufa_);
  item.priceHigh = 10.5f;
  item.volume = 5000;
  engine.AddAlarm(item);
  engine.CheckQuote(cu_, Quote(99999, 0, 1e9f));
  EXPECT_EQ(engine.items.GetAt(0).state, 0u);
  engine.CheckQuote(pufa_, Quote(10600));
  engine.CheckQuote(pufa_, Quote(10700, 0, 9000));
  EXPECT_EQ(engine.items.GetAt(0).state, ALARM_ABOVE_HIGH);
  engine.Rearm();
  EXPECT_EQ(engine.items.GetAt(0).state, 0u);
  EXPECT_EQ(engine.items.GetAt(0).firedAt.wYear, 0);
  engine.CheckQuote(pufa_, Quote(10000, 0, 9000));
  EXPECT_EQ(engine.items.GetAt(0).state, ALARM_VOLUME);
  engine.items.RemoveAll();
}

// The sounds of one quote: the items' own sounds in list order, one beep,
// one default sound for the items without a usable file; each heard in
// three passes. Without sound only the beep. Beyond 20 pending sounds the
// newest are dropped; "中止声音" empties everything.
TEST_F(AlarmTest, FiredItemsQueueTheirSoundsThreeTimesInOrder) {
  WriteFile(Header("KVAS04", 3));
  TAlarm engine(false);
  const auto add = [&](const std::string &sound) {
    AlarmData item = NewAlarmItem(pufa_);
    item.priceHigh = 1.0f;
    std::strncpy(item.sound, sound.c_str(), sizeof item.sound - 1);
    engine.AddAlarm(item);
  };
  add(Sound("own.wav"));
  add(Sound("gone.wav"));
  add(Sound("other.wav"));
  engine.CheckQuote(pufa_, Quote(10500));
  const std::vector<std::string> pass = {Sound("own.wav"), Sound("other.wav"), "BEP", ".\\alarm.wav"};
  std::vector<std::string> expected;
  for (int i = 0; i < 3; ++i) expected.insert(expected.end(), pass.begin(), pass.end());
  EXPECT_EQ(Drain(engine), expected);

  engine.soundOn = false;
  engine.Rearm();
  engine.CheckQuote(pufa_, Quote(10500));
  EXPECT_EQ(Drain(engine), (std::vector<std::string>{"BEP", "BEP", "BEP"}));

  engine.soundOn = true;
  engine.items.RemoveAll();
  for (int i = 0; i < 25; ++i) add(Sound("own.wav"));
  engine.CheckQuote(pufa_, Quote(10500));
  EXPECT_EQ(Drain(engine).size(), size_t(3 * kAlarmSoundSlots)) << "the beep and the rest dropped";

  engine.Rearm();
  engine.CheckQuote(pufa_, Quote(10500));
  engine.StopSounds();
  EXPECT_TRUE(Drain(engine).empty());
  engine.Rearm();
  engine.CheckQuote(pufa_, Quote(10500));
  EXPECT_FALSE(Drain(engine).empty()) << "alarms after a stop are heard again";
  engine.items.RemoveAll();
}

// A firing asks the main window for the alarm window (with pop-ups on) and
// for a new subscription, which holds the armed items only.
TEST_F(AlarmTest, AFiringPostsToTheMainWindowAndArmedItemsAreSubscribed) {
  WriteFile(Header("KVAS04", 3));
  TAlarm engine(false);
  DSINFO all{};
  std::memset(all.marketRights, 0xFF, sizeof all.marketRights);
  TakeOverRights(all);
  TForm form(nullptr);
  HWND window = form.Handle();
  engine.frameWindow = window;
  AlarmData item = NewAlarmItem(pufa_);
  item.priceHigh = 10.0f;
  engine.AddAlarm(item);
  item.stock = cu_;
  engine.AddAlarm(item);
  EArray<STKMS> list;
  TSubscriptionBuilder before(list);
  engine.AddArmedStocks(before);
  EXPECT_EQ(list.GetCount(), 2);
  engine.CheckQuote(pufa_, Quote(10500));
  std::vector<UINT> posted;
  MSG msg;
  while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) posted.push_back(msg.message);
  EXPECT_EQ(posted, (std::vector<UINT>{WM_SHOW_ALARM_WINDOW, WM_MF_REFRESH_SUBSCRIPTION}));
  list.RemoveAll();
  TSubscriptionBuilder after(list);
  engine.AddArmedStocks(after);
  ASSERT_EQ(list.GetCount(), 1);
  const int subscribed = list.GetData()[0].stock;
  EXPECT_EQ(subscribed, int(cu_.stock));
  ClearRights();
  engine.items.RemoveAll();
}

TEST_F(AlarmTest, TheListHoldsAHundredItems) {
  WriteFile(Header("KVAS04", 3));
  TAlarm engine(false);
  AlarmData item = NewAlarmItem(pufa_);
  item.state = ALARM_VOLUME;
  for (int i = 0; i < kAlarmMaxItems; ++i) EXPECT_EQ(engine.AddAlarm(item), i);
  EXPECT_EQ(engine.items.GetAt(0).state, 0u) << "added items are armed";
  EXPECT_EQ(engine.AddAlarm(item), -1);
  EXPECT_EQ(engine.items.GetCount(), kAlarmMaxItems);
  EXPECT_FALSE(engine.RemoveAlarm(kAlarmMaxItems));
  EXPECT_TRUE(engine.RemoveAlarm(0));
  engine.items.RemoveAll();
}

// The sound thread ends when asked, also while it waits out its first
// second, and the engine's destruction saves the list.
TEST_F(AlarmTest, TheSoundThreadIsJoinedAndTheListSavedAtTheEnd) {
  WriteFile(Header("KVAS04", 3) + Record("SH", "600000", 1, AlarmUnset()));
  {
    TAlarm engine;
    EXPECT_TRUE(engine.SoundThreadRunning());
    engine.CheckQuote(pufa_, Quote(10500));
    engine.StopSoundThread();
    EXPECT_FALSE(engine.SoundThreadRunning());
    engine.items.RemoveAll();
  }
  EXPECT_EQ(ReadFile(), Header("KVAS04", 3));
}

}  // namespace
