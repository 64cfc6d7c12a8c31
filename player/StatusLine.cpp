#include "StatusLine.h"

#include <array>
#include <cinttypes>

#include "Console.h"

namespace {

// Left thresholds: 27204, then × 2 / 3 while above 200. Right thresholds:
// 210, then × 3 / 2 while below 32768. Thirteen each, about 3.5 dB apart.
constexpr std::array<uint32_t, kMeterWidth> MakeLeftThresholds() {
  std::array<uint32_t, kMeterWidth> t{};
  uint32_t v = 27204;
  for (auto& x : t) {
    x = v;
    v = v * 2 / 3;
  }
  return t;
}

constexpr std::array<uint32_t, kMeterWidth> MakeRightThresholds() {
  std::array<uint32_t, kMeterWidth> t{};
  uint32_t v = 210;
  for (auto& x : t) {
    x = v;
    v = v * 3 / 2;
  }
  return t;
}

constexpr auto kLeftThresholds = MakeLeftThresholds();
constexpr auto kRightThresholds = MakeRightThresholds();
static_assert(kLeftThresholds.back() == 209 && kRightThresholds.back() == 27204);

}  // namespace

uint32_t PercentPlayed(uint32_t elapsed, uint32_t total) { return total == 0 ? 0 : elapsed * 100u / total; }

std::string LevelMeterText(uint32_t level) {
  const uint32_t left = level & 0xFFFF;
  const uint32_t right = level >> 16;
  std::string text;
  text.reserve(2 * kMeterWidth + 1);
  for (uint32_t threshold : kLeftThresholds) text += left >= threshold ? '*' : '-';
  text += ' ';
  for (uint32_t threshold : kRightThresholds) text += right >= threshold ? '*' : '-';
  return text;
}

std::string StatusLineText(const StatusValues& v) {
  std::string line = Format("Playing: %u%% ", PercentPlayed(v.Elapsed, v.Total));
  line += Format(" - %u:%.2u - L ", v.Elapsed / 60, v.Elapsed % 60);
  if (v.State == kStateStalled)
    line += Format("-- buffering : %.5" PRId64 " --", v.Buffered);
  else
    line += LevelMeterText(v.Level);
  line += Format(" R - cpu %.2f%%\r", v.Cpu);
  return line;
}

std::string BlankingLine() { return std::string(kBlankingWidth, ' ') + "\r\n"; }

void LevelMeter(uint32_t level) { console::Write(LevelMeterText(level)); }

void StatusLine(const StatusValues& values) { console::Write(StatusLineText(values)); }

void WriteBlankingLine() { console::Write(BlankingLine()); }
