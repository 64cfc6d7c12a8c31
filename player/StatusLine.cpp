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

std::string StatusLineText(const StatusValues& v, int columns) {
  const std::string head = Format("%s: %u%%  - %u:%.2u", v.Paused ? "Paused" : "Playing",
                                  PercentPlayed(v.Elapsed, v.Total), v.Elapsed / 60, v.Elapsed % 60);
  std::string meter;
  if (!v.Notice.empty()) {
    // In place of "L <meter> R", as wide.
    meter = " - " + v.Notice;
    if (meter.size() < 2 * kMeterWidth + 8) meter.resize(2 * kMeterWidth + 8, ' ');
  } else if (v.Stalled && !v.Paused) {
    meter = Format(" - L -- buffering : %.5" PRId64 " -- R", v.Buffered);
  } else {
    meter = " - L " + LevelMeterText(v.Paused ? 0 : v.Level) + " R";
  }
  const std::string cpu = Format(" - cpu %.2f%%", v.Cpu);
  if (columns <= 0 || columns >= kBlankingWidth) return head + meter + cpu + "\r";
  const auto room = static_cast<size_t>(columns - 1);
  for (const std::string& line : {head + meter + cpu, head + cpu, head})
    if (line.size() <= room) return line + "\r";
  return head.substr(0, room) + "\r";
}

std::string BlankingLine(int columns) {
  const int width = columns <= 0 || columns >= kBlankingWidth ? kBlankingWidth : columns - 1;
  return std::string(static_cast<size_t>(width), ' ') + "\r\n";
}

void LevelMeter(uint32_t level) { console::Write(LevelMeterText(level)); }

namespace {
// The status line on screen: a line the same as it is not written again,
// and a shorter one blanks out what the last one left behind ("Paused" is
// shorter than "Playing").
std::string gShown;
}  // namespace

void StatusLine(const StatusValues& values) {
  std::string line = StatusLineText(values, console::OutputColumns());
  const size_t length = line.size() - 1;  // without the CR
  if (length + 1 < gShown.size()) line.insert(length, gShown.size() - 1 - length, ' ');
  if (line == gShown) return;
  gShown = line;
  console::Write(line);
}

void WriteBlankingLine() {
  gShown.clear();
  console::Write(BlankingLine(console::OutputColumns()));
}
