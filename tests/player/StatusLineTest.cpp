#include "StatusLine.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {

uint32_t Both(uint32_t peak) { return peak | (peak << 16); }

TEST(LevelMeter, BarsGrowOutwardFromTheMiddle) {
  EXPECT_EQ(LevelMeterText(0), "------------- -------------");
  EXPECT_EQ(LevelMeterText(Both(1000)), "---------**** ****---------");
  EXPECT_EQ(LevelMeterText(Both(27204)), "************* *************");
  EXPECT_EQ(LevelMeterText(Both(32768)), "************* *************");
  // Left peak in the low word, right peak in the high word.
  EXPECT_EQ(LevelMeterText(32768), "************* -------------");
  EXPECT_EQ(LevelMeterText(32768u << 16), "------------- *************");
}

TEST(LevelMeter, ThresholdsAreInclusive) {
  // Left: 27204 18136 12090 8060 5373 3582 2388 1592 1061 707 471 314 209.
  EXPECT_EQ(LevelMeterText(209), "------------* -------------");
  EXPECT_EQ(LevelMeterText(208), "------------- -------------");
  EXPECT_EQ(LevelMeterText(12090), "--*********** -------------");
  EXPECT_EQ(LevelMeterText(12089), "---********** -------------");
  // Right: 210 315 472 708 1062 1593 2389 3583 5374 8061 12091 18136 27204.
  EXPECT_EQ(LevelMeterText(210u << 16), "------------- *------------");
  EXPECT_EQ(LevelMeterText(209u << 16), "------------- -------------");
  EXPECT_EQ(LevelMeterText(12091u << 16), "------------- ***********--");
  EXPECT_EQ(LevelMeterText(12090u << 16), "------------- **********---");
  EXPECT_EQ(LevelMeterText(27203u << 16), "------------- ************-");
}

TEST(StatusLine, Percentage) {
  EXPECT_EQ(PercentPlayed(65, 130), 50u);
  EXPECT_EQ(PercentPlayed(1, 3), 33u);
  EXPECT_EQ(PercentPlayed(3, 3), 100u);
  EXPECT_EQ(PercentPlayed(0, 0), 0u);
  EXPECT_EQ(PercentPlayed(5, 0), 0u);
}

TEST(StatusLine, PiecesInOrderEndingInCarriageReturn) {
  std::setlocale(LC_NUMERIC, "C");
  StatusValues v;
  v.Elapsed = 65;
  v.Total = 130;
  v.Level = Both(1000);
  v.Cpu = 0.254;
  EXPECT_EQ(StatusLineText(v), "Playing: 50%  - 1:05 - L ---------**** ****--------- R - cpu 0.25%\r");

  v.Elapsed = 9;
  v.Total = 0;
  v.Level = 0;
  v.Cpu = 12.5;
  EXPECT_EQ(StatusLineText(v), "Playing: 0%  - 0:09 - L ------------- ------------- R - cpu 12.50%\r");
}

TEST(StatusLine, StalledStreamShowsBytesBufferedInsteadOfMeter) {
  std::setlocale(LC_NUMERIC, "C");
  StatusValues v;
  v.Stalled = true;
  v.Elapsed = 3;
  v.Total = 10;
  v.Level = Both(30000);
  v.Buffered = 4096;
  EXPECT_EQ(StatusLineText(v), "Playing: 30%  - 0:03 - L -- buffering : 04096 -- R - cpu 0.00%\r");
  v.Buffered = 1234567;
  EXPECT_NE(StatusLineText(v).find("-- buffering : 1234567 --"), std::string::npos);
}

TEST(StatusLine, BlankingLineAndItsLimit) {
  EXPECT_EQ(BlankingLine(), std::string(67, ' ') + "\r\n");
  std::setlocale(LC_NUMERIC, "C");
  StatusValues typical;
  typical.Elapsed = 125;
  typical.Total = 300;
  typical.Cpu = 1.25;
  // A typical line fits under the blanking line ...
  EXPECT_LE(StatusLineText(typical).size() - 1, 67u);
  // ... a long one (100 %, ten minutes, two-digit load) is longer than it.
  StatusValues wide;
  wide.Elapsed = 600;
  wide.Total = 600;
  wide.Cpu = 10.0;
  EXPECT_GT(StatusLineText(wide).size() - 1, 67u);
}

TEST(StatusLine, PausedNoticesAndNarrowTerminals) {
  std::setlocale(LC_NUMERIC, "C");
  StatusValues v;
  v.Elapsed = 65;
  v.Total = 130;
  v.Level = Both(1000);
  v.Cpu = 0.25;
  const std::string full = "Playing: 50%  - 1:05 - L ---------**** ****--------- R - cpu 0.25%\r";
  v.Paused = true;
  EXPECT_EQ(StatusLineText(v), "Paused: 50%  - 1:05 - L ------------- ------------- R - cpu 0.25%\r");
  v.Paused = false;
  v.Notice = "Volume: 55";
  EXPECT_EQ(StatusLineText(v), "Playing: 50%  - 1:05 - Volume: 55                      - cpu 0.25%\r");
  v.Notice.clear();
  // Wide enough (or unknown): as it is; narrower, cut to one column less
  // than the terminal, the meter first, then the load.
  struct Case {
    int columns;
    std::string line, blanking;
  } cases[] = {
      {0, full, std::string(67, ' ')},
      {67, full, std::string(67, ' ')},
      {120, full, std::string(67, ' ')},
      {66, "Playing: 50%  - 1:05 - cpu 0.25%\r", std::string(65, ' ')},
      {34, "Playing: 50%  - 1:05 - cpu 0.25%\r", std::string(33, ' ')},
      {33, "Playing: 50%  - 1:05 - cpu 0.25%\r", std::string(32, ' ')},
      {32, "Playing: 50%  - 1:05\r", std::string(31, ' ')},
      {12, "Playing: 50\r", std::string(11, ' ')},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StatusLineText(v, c.columns), c.line) << c.columns;
    EXPECT_EQ(BlankingLine(c.columns), c.blanking + "\r\n") << c.columns;
  }
}

}  // namespace
