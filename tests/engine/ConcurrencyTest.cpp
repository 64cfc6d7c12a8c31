// The engine's promise that every operation may be called from any thread:
// many callers at once on shared and private streams while the device goes
// down and comes up again. Run under ThreadSanitizer by scripts/engine-tsan
// (part of scripts/test); under the other builds it still checks that
// nothing crashes, hangs or fails with an undocumented error.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "EngineTestSupport.h"

using namespace enginetest;

namespace {

using std::chrono::milliseconds;

// Handles shared between the threads: any thread may use or free any of
// them, so a call may always meet a handle another thread has just freed.
template <size_t N>
struct HandlePool {
  std::array<std::atomic<DWORD>, N> slots{};
  void Put(DWORD h, std::mt19937& random) { slots[random() % N].store(h); }
  DWORD Any(std::mt19937& random) { return slots[random() % N].load(); }
  DWORD Take(std::mt19937& random) { return slots[random() % N].exchange(0); }
};

// What one worker saw, for the checks at the end.
struct Tally {
  std::atomic<int> calls{0};  // operations done so far (read by the test while running)
  int created = 0, played = 0, bytesRead = 0, bands = 0, freed = 0;
  std::set<int> errors;  // codes of the calls that failed
  void Check(BOOL ok) {
    if (!ok) errors.insert(BASS_ErrorGetCode());
  }
};

class EngineThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    // Short sources at two rates and in two channel counts; one is encoded
    // when ffmpeg is there, so that a real decoder runs too.
    fFiles.push_back(fDir.write("a.wav", WavBytes(44100, 2, 11025, Sine(440, 44100))));
    fFiles.push_back(fDir.write("b.wav", WavBytes(48000, 1, 9600, Sine(1000, 48000))));
    const std::string flac = ToneFile(fDir, "c.flac", 660, 0.25, 32000, 2);
    if (!flac.empty()) fFiles.push_back(flac);
  }
  void TearDown() override {
    while (BASS_Free()) {
    }
  }

  const std::string& AnyFile(std::mt19937& random) { return fFiles[random() % fFiles.size()]; }

  // One caller: a random mix of every operation on streams of its own and
  // on the shared ones, until told to stop.
  void Worker(unsigned seed, const std::atomic<bool>& stop, Tally& tally) {
    std::mt19937 random(seed);
    std::vector<DWORD> own;  // freed by this thread only (or by BASS_Free)
    std::vector<char> buffer(64 * 1024);
    auto pick = [&]() -> DWORD {
      if (!own.empty() && random() % 2 == 0) return own[random() % own.size()];
      return fShared.Any(random);
    };
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); };
    while (!stop.load()) {
      ++tally.calls;
      switch (random() % 14) {
        case 0:
        case 1: {
          const DWORD flags = random() % 2 ? BASS_STREAM_DECODE : 0;
          const HSTREAM h = BASS_StreamCreateFile(FALSE, AnyFile(random).c_str(), 0, 0, flags);
          tally.Check(h != 0);
          if (h == 0) break;
          ++tally.created;
          if (random() % 3 == 0) {
            fShared.Put(h, random);
          } else if (own.size() < 6) {
            own.push_back(h);
          } else {
            tally.Check(BASS_StreamFree(h));
          }
          break;
        }
        case 2: {
          const BOOL ok = BASS_ChannelPlay(pick(), random() % 4 == 0);
          tally.Check(ok);
          tally.played += ok;
          break;
        }
        case 3: tally.Check(random() % 2 ? BASS_ChannelPause(pick()) : BASS_ChannelStop(pick())); break;
        case 4: {
          const DWORD attrib = random() % 2 ? BASS_ATTRIB_VOL : BASS_ATTRIB_FREQ;
          const float value = attrib == BASS_ATTRIB_VOL ? uniform(-1, 12) : uniform(0, 120000);
          tally.Check(BASS_ChannelSetAttribute(pick(), attrib, value));
          break;
        }
        case 5: {
          const DWORD attrib = random() % 2 ? BASS_ATTRIB_VOL : BASS_ATTRIB_FREQ;
          const float value = attrib == BASS_ATTRIB_VOL ? uniform(0, 1) : uniform(1000, 96000);
          tally.Check(BASS_ChannelSlideAttribute(pick(), attrib, value, random() % 300));
          break;
        }
        case 6: {
          const HFX fx = BASS_ChannelSetFX(pick(), BASS_FX_DX8_PARAMEQ, static_cast<int>(random() % 3));
          tally.Check(fx != 0);
          if (fx == 0) break;
          ++tally.bands;
          fBands.Put(fx, random);
          const BASS_DX8_PARAMEQ eq{uniform(40, 20000), uniform(0, 40), uniform(-20, 20)};
          tally.Check(BASS_FXSetParameters(fx, &eq));
          break;
        }
        case 7: {
          const BASS_DX8_PARAMEQ eq{uniform(80, 8000), uniform(1, 36), uniform(-15, 15)};
          tally.Check(BASS_FXSetParameters(fBands.Any(random), &eq));
          BASS_DX8_PARAMEQ back{};
          tally.Check(BASS_FXGetParameters(fBands.Any(random), &back));
          break;
        }
        case 8: tally.Check(BASS_ChannelRemoveFX(pick(), fBands.Take(random))); break;
        case 9:
        case 10: {
          // The figures a player polls; none of them may wait for decoding.
          const DWORD h = pick();
          BASS_ChannelIsActive(h);
          BASS_ChannelGetLevel(h);
          const QWORD position = BASS_ChannelGetPosition(h, BASS_POS_BYTE);
          const QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
          if (position != ~QWORD{0} && length != ~QWORD{0}) BASS_ChannelBytes2Seconds(h, position);
          BASS_ChannelIsSliding(h, 0);
          float value = 0;
          BASS_ChannelGetAttribute(h, BASS_ATTRIB_FREQ, &value);
          BASS_StreamGetFilePosition(h, BASS_FILEPOS_CURRENT);
          // Numbers only: the texts belong to a stream that another thread
          // may free at any moment.
          BASS_CHANNELINFO info{};
          BASS_ChannelGetInfo(h, &info);
          BASS_GetCPU();
          break;
        }
        case 11: {
          // Odd sizes, 16-bit and float.
          const DWORD bytes = 1 + static_cast<DWORD>(random() % (buffer.size() - 1));
          const DWORD got = BASS_ChannelGetData(pick(), buffer.data(), bytes | (random() % 2 ? BASS_DATA_FLOAT : 0));
          tally.Check(got != ~DWORD{0});
          if (got != ~DWORD{0}) tally.bytesRead += static_cast<int>(got);
          break;
        }
        case 12:
          if (!own.empty()) {
            const size_t at = random() % own.size();
            tally.Check(BASS_StreamFree(own[at]));
            own.erase(own.begin() + static_cast<std::ptrdiff_t>(at));
            ++tally.freed;
          }
          break;
        case 13: {
          const DWORD h = fShared.Take(random);
          tally.Check(BASS_StreamFree(h));
          break;
        }
      }
    }
    for (DWORD h : own) tally.Check(BASS_StreamFree(h));
  }

  testsupport::TempDir fDir;
  std::vector<std::string> fFiles;
  HandlePool<12> fShared;
  HandlePool<24> fBands;
};

TEST_F(EngineThreads, ManyCallersAtOnceWhileTheDeviceGoesDownAndUpAgain) {
  ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
  constexpr int kWorkers = 4;
  std::atomic<bool> stop{false};
  std::vector<Tally> tallies(kWorkers);
  std::vector<std::thread> workers;
  for (int i = 0; i < kWorkers; ++i)
    workers.emplace_back([this, i, &stop, &tallies] { Worker(1000u + static_cast<unsigned>(i), stop, tallies[i]); });

  // The device goes down under the callers' feet and comes up again at
  // another rate; the callers go on throughout. The phases are counted in
  // calls, not time, so that a slow build (ThreadSanitizer) does as much.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  auto waitForCalls = [&](int each) {
    for (;;) {
      int least = each;
      for (const Tally& t : tallies) least = std::min(least, t.calls.load());
      if (least >= each || std::chrono::steady_clock::now() > deadline) return;
      std::this_thread::sleep_for(milliseconds(20));
    }
  };
  waitForCalls(300);
  const bool freed = BASS_Free();
  const int freeError = BASS_ErrorGetCode();
  waitForCalls(350);
  const bool again = BASS_Init(0, 48000, 0, nullptr, nullptr);
  const int initError = BASS_ErrorGetCode();
  waitForCalls(500);
  stop = true;
  for (auto& t : workers) t.join();
  EXPECT_TRUE(freed) << freeError;
  ASSERT_TRUE(again) << initError;

  // Every failure was one the interface documents for these calls.
  const std::set<int> allowed = {BASS_ERROR_HANDLE, BASS_ERROR_INIT,  BASS_ERROR_ILLPARAM, BASS_ERROR_NOPLAY,
                                 BASS_ERROR_DECODE, BASS_ERROR_ENDED, BASS_ERROR_NOTAVAIL};
  Tally total;
  for (const Tally& t : tallies) {
    for (int code : t.errors) EXPECT_TRUE(allowed.count(code)) << "undocumented error " << code;
    total.created += t.created;
    total.played += t.played;
    total.bytesRead += t.bytesRead;
    total.bands += t.bands;
  }
  // The mix really ran.
  EXPECT_GT(total.created, 20);
  EXPECT_GT(total.played, 5);
  EXPECT_GT(total.bytesRead, 100000);
  EXPECT_GT(total.bands, 10);

  // The new device works as a fresh one: at its own rate, every stream of
  // the old one gone.
  EXPECT_EQ(BASS_GetDevice(), 0u);
  for (auto& slot : fShared.slots) {
    const DWORD h = slot.exchange(0);
    if (h == 0) continue;
    EXPECT_TRUE(BASS_StreamFree(h) || BASS_ErrorGetCode() == BASS_ERROR_HANDLE);
  }
  const HSTREAM decode = BASS_StreamCreateFile(FALSE, fFiles[0].c_str(), 0, 0, BASS_STREAM_DECODE);
  ASSERT_NE(decode, 0u) << BASS_ErrorGetCode();
  EXPECT_EQ(ReadAll(decode).size(), 11025u * 2);
  const HSTREAM played = BASS_StreamCreateFile(FALSE, fFiles[0].c_str(), 0, 0, 0);
  ASSERT_NE(played, 0u);
  ASSERT_TRUE(BASS_ChannelPlay(played, FALSE));
  const auto start = std::chrono::steady_clock::now();
  while (BASS_ChannelIsActive(played) != BASS_ACTIVE_STOPPED &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
    std::this_thread::sleep_for(milliseconds(10));
  EXPECT_EQ(BASS_ChannelIsActive(played), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
  EXPECT_EQ(BASS_ChannelGetPosition(played, BASS_POS_BYTE), 11025u * 4);
  EXPECT_TRUE(BASS_Free());
}

TEST_F(EngineThreads, InitAndFreeFromSeveralThreadsTakeTurns) {
  // Each device comes up only once the last one is wholly down: no thread
  // waits for ever on an engine thread that was told to go on, and no ring
  // is replaced under a running output.
  constexpr int kThreads = 3;
  std::vector<std::thread> threads;
  std::vector<std::set<int>> errors(kThreads);
  std::atomic<int> streams{0};
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      std::mt19937 random(77u + static_cast<unsigned>(i));
      for (int round = 0; round < 12; ++round) {
        if (!BASS_Init(0, random() % 2 ? 44100 : 48000, 0, nullptr, nullptr)) errors[i].insert(BASS_ErrorGetCode());
        const HSTREAM h = BASS_StreamCreateFile(FALSE, AnyFile(random).c_str(), 0, 0, 0);
        if (h != 0) {
          ++streams;
          if (!BASS_ChannelPlay(h, FALSE)) errors[i].insert(BASS_ErrorGetCode());
        } else {
          errors[i].insert(BASS_ErrorGetCode());
        }
        std::this_thread::sleep_for(milliseconds(random() % 15));
        if (!BASS_Free()) errors[i].insert(BASS_ErrorGetCode());
      }
    });
  }
  for (auto& t : threads) t.join();
  for (const auto& e : errors)
    for (int code : e)
      EXPECT_TRUE(code == BASS_ERROR_ALREADY || code == BASS_ERROR_INIT || code == BASS_ERROR_HANDLE)
          << "error " << code;
  EXPECT_GT(streams.load(), 0);
  EXPECT_FALSE(BASS_Free());
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
}

}  // namespace
