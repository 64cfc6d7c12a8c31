// Real-time playback on the silent device: positions, levels, states and
// slides advance with the clock as they would on hardware.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "EngineTestSupport.h"

using namespace enginetest;
using Clock = std::chrono::steady_clock;

namespace {

double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

class SilentPlayback : public SilentDeviceTest {};

TEST_F(SilentPlayback, OneSecondToneTakesAboutOneSecondAndPositionNeverRunsAhead) {
  const std::string path = ToneFile(fDir, "one.wav", 440, 1.0, 44100, 2);
  const HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  const QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
  EXPECT_EQ(length, 176400u);
  EXPECT_EQ(BASS_ChannelIsActive(h), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
  EXPECT_EQ(BASS_ChannelGetLevel(h), 0u);  // not playing

  const auto start = Clock::now();
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  bool heardSound = false;
  QWORD last = 0;
  DWORD state = BASS_ACTIVE_PLAYING;
  while ((state = BASS_ChannelIsActive(h)) != BASS_ACTIVE_STOPPED && Since(start) < 5.0) {
    const double before = Since(start);
    const QWORD pos = BASS_ChannelGetPosition(h, BASS_POS_BYTE);
    EXPECT_GE(pos, last) << "position went back";
    EXPECT_LE(BASS_ChannelBytes2Seconds(h, pos), Since(start) + 0.002) << "position ahead of the clock";
    if (before > 0.2 && before < 0.8) {
      EXPECT_GT(BASS_ChannelBytes2Seconds(h, pos), before - 0.5) << "far behind";
    }
    const DWORD level = BASS_ChannelGetLevel(h);
    if (before > 0.2 && before < 0.8) {
      EXPECT_NEAR(static_cast<double>(level & 0xFFFF), 16384, 400);
      EXPECT_NEAR(static_cast<double>(level >> 16), 16384, 400);
      heardSound = heardSound || level != 0;
    }
    EXPECT_NE(state, static_cast<DWORD>(BASS_ACTIVE_STALLED));
    last = pos;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const double wall = Since(start);
  EXPECT_EQ(state, static_cast<DWORD>(BASS_ACTIVE_STOPPED));
  // About a second: never sooner, a little later on a busy machine.
  EXPECT_GT(wall, 0.98);
  EXPECT_LT(wall, 1.6);
  EXPECT_TRUE(heardSound);
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), length);
  EXPECT_EQ(BASS_ChannelGetLevel(h), 0u);
  const float cpu = BASS_GetCPU();
  EXPECT_GE(cpu, 0.0f);
  EXPECT_TRUE(std::isfinite(cpu));
}

TEST_F(SilentPlayback, WindDownSlidesRunInWallTimeWhetherPlayingOrEnded) {
  const std::string path = ToneFile(fDir, "long.wav", 440, 3.0, 44100, 2);
  const HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 0.5f));
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_NEAR(static_cast<double>(BASS_ChannelGetLevel(h) & 0xFFFF), 8192, 300);

  // The player's run-down: rate to 1000 Hz over 500 ms, then a 200 ms fade.
  ASSERT_TRUE(BASS_ChannelSlideAttribute(h, BASS_ATTRIB_FREQ, 1000.0f, 500));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto fade = Clock::now();
  ASSERT_TRUE(BASS_ChannelSlideAttribute(h, BASS_ATTRIB_VOL, 0.0f, 200));
  EXPECT_TRUE(BASS_ChannelIsSliding(h, BASS_ATTRIB_VOL));
  while (BASS_ChannelIsSliding(h, BASS_ATTRIB_VOL) && Since(fade) < 2.0)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  // The fade ends when it has been heard: 200 ms plus the buffered audio.
  EXPECT_GT(Since(fade), 0.2);
  EXPECT_LT(Since(fade), 0.8);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(BASS_ChannelGetLevel(h), 0u);
  EXPECT_EQ(BASS_ChannelIsActive(h), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
  // The slowed stream has used well under its 3 s.
  EXPECT_LT(BASS_ChannelBytes2Seconds(h, BASS_ChannelGetPosition(h, BASS_POS_BYTE)), 1.0);

  // A stream that is not playing still slides, in wall time.
  ASSERT_TRUE(BASS_ChannelStop(h));
  EXPECT_EQ(BASS_ChannelIsActive(h), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
  const auto idle = Clock::now();
  ASSERT_TRUE(BASS_ChannelSlideAttribute(h, BASS_ATTRIB_VOL, 1.0f, 100));
  while (BASS_ChannelIsSliding(h, BASS_ATTRIB_VOL) && Since(idle) < 2.0)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_GE(Since(idle), 0.1);
  EXPECT_LT(Since(idle), 0.3);
}

TEST_F(SilentPlayback, PauseResumeRestartAndFree) {
  const std::string path = ToneFile(fDir, "p.wav", 440, 2.0, 44100, 1);
  const HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
  ASSERT_NE(h, 0u);
  EXPECT_FALSE(BASS_ChannelPause(h));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOPLAY);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  ASSERT_TRUE(BASS_ChannelPause(h));
  EXPECT_EQ(BASS_ChannelIsActive(h), static_cast<DWORD>(BASS_ACTIVE_PAUSED));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let the buffer drain
  const QWORD paused = BASS_ChannelGetPosition(h, BASS_POS_BYTE);
  EXPECT_GT(paused, 0u);
  EXPECT_EQ(paused % 2, 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), paused);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_GT(BASS_ChannelGetPosition(h, BASS_POS_BYTE), paused);
  ASSERT_TRUE(BASS_ChannelPlay(h, TRUE));
  EXPECT_LT(BASS_ChannelGetPosition(h, BASS_POS_BYTE), paused);
  // A second stream plays alongside; freeing everything stops both.
  const HSTREAM other = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
  ASSERT_TRUE(BASS_ChannelPlay(other, FALSE));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(BASS_ChannelIsActive(other), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
  EXPECT_TRUE(BASS_StreamFree(h));
  EXPECT_TRUE(BASS_Free());
  EXPECT_EQ(BASS_ChannelIsActive(other), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

// A device with a long buffer (the silent one, asked for 700 ms): the heard
// position lags by that much, and a stream still ends once its last frame
// has been heard, while the device plays the silence after it.
TEST(BufferedDevice, PositionLagsByTheLatencyAndTheStreamEnds) {
  testsupport::TempDir dir;
  EXPECT_FALSE(BASS_SetConfig(BASS_CONFIG_DEV_BUFFER, 5001));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
  ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_DEV_BUFFER, 700));
  const bool initialised = BASS_Init(0, 44100, 0, nullptr, nullptr);
  BASS_SetConfig(BASS_CONFIG_DEV_BUFFER, 0);
  ASSERT_TRUE(initialised);
  const HSTREAM h = BASS_StreamCreateFile(FALSE, ToneFile(dir, "half.wav", 440, 0.5).c_str(), 0, 0, 0);
  ASSERT_NE(h, 0u);
  const auto start = Clock::now();
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), 0u);
  EXPECT_EQ(BASS_ChannelIsActive(h), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_NEAR(BASS_ChannelBytes2Seconds(h, BASS_ChannelGetPosition(h, BASS_POS_BYTE)), Since(start) - 0.7, 0.08);
  while (BASS_ChannelIsActive(h) != BASS_ACTIVE_STOPPED && Since(start) < 5.0)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const double ended = Since(start);
  EXPECT_GT(ended, 1.19);
  EXPECT_LT(ended, 1.7);
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), BASS_ChannelGetLength(h, BASS_POS_BYTE));
  EXPECT_TRUE(BASS_Free());
}

// A stream whose decoding cannot keep up with the device (a 192 kHz file
// through 2000 equaliser bands) runs the output dry before its end: it
// reports itself stalled, not stopped, and its position still moves on.
TEST_F(SilentPlayback, AStreamThatCannotKeepUpIsStalledNotStopped) {
  const std::string path = ToneFile(fDir, "hires.wav", 1000, 2.0, 192000, 2);
  const HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
  ASSERT_NE(h, 0u);
  for (int i = 0; i < 2000; ++i) {
    const HFX fx = BASS_ChannelSetFX(h, BASS_FX_DX8_PARAMEQ, 0);
    const BASS_DX8_PARAMEQ p{1000.0f, 12.0f, i % 2 ? 0.5f : -0.5f};
    ASSERT_TRUE(BASS_FXSetParameters(fx, &p));
  }
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  const auto start = Clock::now();
  int stalled = 0, playing = 0;
  QWORD firstStalledAt = 0;
  while (Since(start) < 1.5) {
    const DWORD state = BASS_ChannelIsActive(h);
    ASSERT_NE(state, static_cast<DWORD>(BASS_ACTIVE_STOPPED)) << "a starved stream is not finished";
    if (state == BASS_ACTIVE_STALLED && stalled++ == 0) firstStalledAt = BASS_ChannelGetPosition(h, BASS_POS_BYTE);
    if (state == BASS_ACTIVE_PLAYING) ++playing;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_GT(stalled, 10) << "never stalled (" << playing << " polls playing)";
  EXPECT_GT(BASS_ChannelGetPosition(h, BASS_POS_BYTE), firstStalledAt);
  EXPECT_LT(BASS_ChannelBytes2Seconds(h, BASS_ChannelGetPosition(h, BASS_POS_BYTE)), 1.5);
  EXPECT_TRUE(BASS_ChannelStop(h));
  EXPECT_EQ(BASS_ChannelIsActive(h), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
}

// Any number of bands applies on a stream that is converted to the
// device's rate: a hundred bands of +0.1 dB at 1 kHz lift a 1 kHz tone in a
// 48 kHz file by 10 dB on the 44.1 kHz silent device.
TEST_F(SilentPlayback, AHundredBandsApplyOnAConvertedStream) {
  const std::string path = fDir.write("48k.wav", WavBytes(48000, 2, 48000, Sine(1000, 48000, 0.1)));
  const HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
  ASSERT_NE(h, 0u);
  for (int i = 0; i < 100; ++i) {
    const HFX fx = BASS_ChannelSetFX(h, BASS_FX_DX8_PARAMEQ, 0);
    const BASS_DX8_PARAMEQ p{1000.0f, 12.0f, 0.1f};
    ASSERT_TRUE(BASS_FXSetParameters(fx, &p));
  }
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const DWORD level = BASS_ChannelGetLevel(h);
  EXPECT_NEAR(static_cast<double>(level & 0xFFFF), 0.1 * std::pow(10.0, 10.0 / 20) * 32768, 400);
  EXPECT_NEAR(static_cast<double>(level >> 16), 0.1 * std::pow(10.0, 10.0 / 20) * 32768, 400);
  EXPECT_TRUE(BASS_StreamFree(h));
}

}  // namespace

namespace {

// The calls a console player makes for one track, in its order, on the
// silent device: nine equaliser bands, length, volume, play, 50 ms ticks,
// the run-down and the fade.
TEST(PlayerRoad, OneTrackFromOpenToFade) {
  testsupport::TempDir dir;
  const std::string path = ToneFile(dir, "road.mp3", 440, 1.5, 44100, 2);
  ASSERT_FALSE(path.empty());
  const std::u16string wide(path.begin(), path.end());  // the temp path is ASCII
  ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1));
  ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_MF_VIDEO, 1));
  ASSERT_TRUE(BASS_Init(0, 44100, BASS_DEVICE_3D, nullptr, nullptr));
  for (const char16_t* addOn : {u"bassflac.dll", u"basshls.dll", u"bassdsd.dll", u"bassalac.dll", u"bassopus.dll"})
    BASS_PluginLoad(addOn, BASS_UNICODE);
  const HSTREAM h = BASS_StreamCreateFile(FALSE, wide.c_str(), 0, 0, BASS_UNICODE);
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  for (int k = 0; k < 9; ++k) {
    const HFX fx = BASS_ChannelSetFX(h, BASS_FX_DX8_PARAMEQ, 0);
    EXPECT_NE(fx, 0u);
    const float center = 64.0f * static_cast<float>(1 << k);
    const BASS_DX8_PARAMEQ p{center, center / 2, 0.0f};
    BASS_FXSetParameters(fx, &p);  // outside the classic ranges: refused, the band stays flat
  }
  const auto length = static_cast<uint32_t>(BASS_ChannelGetLength(h, BASS_POS_BYTE));
  const auto total = static_cast<uint32_t>(BASS_ChannelBytes2Seconds(h, length));
  EXPECT_EQ(total, 1u);
  ASSERT_TRUE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 20 / 100.0f));
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  const auto start = Clock::now();
  DWORD state = BASS_ChannelIsActive(h);
  DWORD loudest = 0;
  int ticks = 0;
  while (state != BASS_ACTIVE_STOPPED && ticks < 200) {
    const DWORD level = BASS_ChannelGetLevel(h);
    loudest = std::max(loudest, level & 0xFFFF);
    const auto position = static_cast<uint32_t>(BASS_ChannelGetPosition(h, BASS_POS_BYTE));
    const auto elapsed = static_cast<uint32_t>(BASS_ChannelBytes2Seconds(h, position));
    BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 20 / 100.0f);
    EXPECT_GE(BASS_GetCPU(), 0.0f);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ++ticks;
    if (elapsed == total) break;
    state = BASS_ChannelIsActive(h);
  }
  // It stops at the first tick that shows one whole second.
  EXPECT_GT(Since(start), 0.95);
  EXPECT_LT(Since(start), 1.6);
  // Amplitude 0.5 at volume 0.2: a tenth of full scale.
  EXPECT_NEAR(static_cast<double>(loudest), 3277, 250);
  BASS_ChannelSlideAttribute(h, BASS_ATTRIB_FREQ, 1000.0f, 500);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  BASS_ChannelSlideAttribute(h, BASS_ATTRIB_VOL, 0.0f, 200);
  const auto fade = Clock::now();
  while (BASS_ChannelIsSliding(h, BASS_ATTRIB_VOL) && Since(fade) < 3.0)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_LT(Since(fade), 0.8);
  EXPECT_TRUE(BASS_Free());
}

}  // namespace

namespace {

// A joined stream starts where the one before it ends: it plays while the
// first is still heard, and is heard from its first frame once the first
// stops. Without a join to wait for, it starts at once; cancelled joins
// never start it.
TEST_F(SilentPlayback, JoinedStreamStartsOnTheFrameAfterThePreviousOne) {
  const std::string a = ToneFile(fDir, "a.wav", 440, 0.4), b = ToneFile(fDir, "b.wav", 440, 0.6);
  const HSTREAM first = BASS_StreamCreateFile(FALSE, a.c_str(), 0, 0, 0);
  const HSTREAM second = BASS_StreamCreateFile(FALSE, b.c_str(), 0, 0, 0);
  ASSERT_TRUE(first && second);
  EXPECT_FALSE(BASS_ChannelPlayAfter(second, second));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  ASSERT_TRUE(BASS_ChannelPlay(first, FALSE));
  ASSERT_TRUE(BASS_ChannelPlayAfter(second, first));
  EXPECT_EQ(BASS_ChannelIsActive(second), static_cast<DWORD>(BASS_ACTIVE_STOPPED)) << "waits for the first's end";
  EXPECT_FALSE(BASS_ChannelPlayAfter(first, second));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);

  const auto start = Clock::now();
  while (BASS_ChannelIsActive(first) != BASS_ACTIVE_STOPPED && Since(start) < 5.0)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_EQ(BASS_ChannelIsActive(second), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
  EXPECT_LT(BASS_ChannelBytes2Seconds(second, BASS_ChannelGetPosition(second, BASS_POS_BYTE)), 0.05)
      << "the second is heard from where the first stopped";
  while (BASS_ChannelIsActive(second) != BASS_ACTIVE_STOPPED && Since(start) < 5.0)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_NEAR(Since(start), 1.0, 0.3) << "the two in a row";

  // The first has ended: the second starts at once.
  ASSERT_TRUE(BASS_ChannelPlayAfter(second, first));
  EXPECT_EQ(BASS_ChannelIsActive(second), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
  ASSERT_TRUE(BASS_ChannelStop(second));

  // Stopping the first, or freeing it, cancels the join.
  for (const bool freeIt : {false, true}) {
    ASSERT_TRUE(BASS_ChannelPlay(first, TRUE));
    ASSERT_TRUE(BASS_ChannelPlayAfter(second, first));
    ASSERT_TRUE(freeIt ? BASS_StreamFree(first) : BASS_ChannelStop(first));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(BASS_ChannelIsActive(second), static_cast<DWORD>(BASS_ACTIVE_STOPPED)) << freeIt;
  }
}

}  // namespace
