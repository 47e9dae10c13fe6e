// The warning sound goes to the installed recorder, sound kind and tone
// intact; a tone the desktop would refuse is refused without a sound.
#include <gtest/gtest.h>

#include "platform/beep.h"
#include "platform/msgbox.h"
#include "testing/beep_recorder.h"

namespace {

TEST(BeepTest, BeepsReachTheRecorderAndBadTonesAreRefused) {
  BeepRecorder beeps;
  EXPECT_TRUE(MessageBeep(MB_ICONEXCLAMATION));
  EXPECT_TRUE(Beep(597, 500));
  EXPECT_FALSE(Beep(36, 100));
  EXPECT_FALSE(Beep(32768, 100));
  const auto calls = beeps.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_FALSE(calls[0].tone);
  EXPECT_EQ(calls[0].type, MB_ICONEXCLAMATION);
  EXPECT_TRUE(calls[1].tone);
  EXPECT_EQ(calls[1].frequency, 597u);
  EXPECT_EQ(calls[1].duration, 500u);
}

}  // namespace
