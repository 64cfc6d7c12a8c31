// The status line that each tick of a playing track rewrites in place, and
// its two-channel level meter.
#pragma once

#include <cstdint>
#include <string>

// What one tick knows about the playing stream.
struct StatusValues {
  bool Stalled = false;  // the stream waits for data
  uint32_t Elapsed = 0;  // whole seconds heard
  uint32_t Total = 0;    // whole seconds of the track
  uint32_t Level = 0;    // left peak in the low 16 bits, right peak in the high 16 bits
  int64_t Buffered = 0;  // bytes downloaded ahead of decoding (read when stalled)
  double Cpu = 0;        // engine load in percent
  bool Paused = false;   // "Paused" where it says "Playing", and an empty meter
  std::string Notice;    // shown for a moment in place of the meter ("Volume: 55")
};

inline constexpr int kMeterWidth = 13;
inline constexpr int kBlankingWidth = 67;

// Elapsed × 100 / total in 32-bit unsigned arithmetic, truncated; 0 when
// the total is 0.
uint32_t PercentPlayed(uint32_t elapsed, uint32_t total);

// The two 13-character bars and the blank between them: the left bar fills
// from its right end, the right bar from its left end.
std::string LevelMeterText(uint32_t level);

// The whole status line, ending in a lone CR. On a terminal narrower than
// the blanking line (columns from 1 to 66) it is cut to fit in one column
// less, so that it never wraps: the meter goes first, then the processor
// load, then what the rest does not fit.
std::string StatusLineText(const StatusValues& values, int columns = 0);

// 67 blanks and CR LF: clears the status line when a track ends; on a
// narrower terminal one blank less than its width.
std::string BlankingLine(int columns = 0);

// Console writers of the texts above, at the width of the terminal; a
// status line the same as the one on screen is not written again.
void LevelMeter(uint32_t level);
void StatusLine(const StatusValues& values);
void WriteBlankingLine();
