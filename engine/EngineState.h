// The engine behind the C interface: its state and handle tables, the
// error code of the calling thread, and the guard that every entry point
// runs in. Bass.cpp translates the C calls; Mixer.cpp renders.
//
// Threads: any number of callers; the engine thread (MixerLoop), which
// renders playing streams into the ring; the output's consumer (PortAudio
// callback, PulseAudio client thread or silent clock), which only reads the
// ring. Who writes what is
// written beside each field of Engine. Locks, always taken in this order:
// E.lifecycle (held through the whole of BASS_Init and BASS_Free, so that
// one device comes up only after the last one is wholly down), E.mutex,
// then a stream's locks (Stream.h) or the output's own (HeardFrames: a
// PulseAudio stream's main loop lock, which its callbacks hold but which
// never waits for an engine lock). Anything that needs the engine (the
// heard frame, the time until new audio is heard) is asked before a stream
// is touched. E.wakeMutex is a leaf, held only to signal the engine thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>

#include "FrameRing.h"
#include "Output.h"
#include "Stream.h"
#include "bass.h"

namespace quav::bass {

// ---- Error codes: BASS_ErrorGetCode answers the calling thread's last. ----

inline thread_local int tLastError = BASS_OK;

template <class T>
T Fail(int code, T result) {
  tLastError = code;
  return result;
}
inline BOOL Fail(int code) { return Fail(code, FALSE); }
template <class T>
T Ok(T result) {
  tLastError = BASS_OK;
  return result;
}

// Every entry point runs in it: nothing may leave through the C interface
// as an exception; running out of memory and other failures deep inside
// become error codes, with `failure` as the result.
template <class T, class Fn>
T Guarded(T failure, Fn&& fn) {
  try {
    return fn();
  } catch (const std::bad_alloc&) {
    return Fail(BASS_ERROR_MEM, failure);
  } catch (...) {
    return Fail(BASS_ERROR_UNKNOWN, failure);
  }
}

inline constexpr QWORD kBadQword = ~QWORD{0};
inline constexpr DWORD kBadDword = ~DWORD{0};
// Output buffered ahead of the device (seconds); slides and volume changes
// are heard this much (plus the device latency) after they are made, which
// the single-file run-down needs short. The engine thread tops it up every
// 50 ms and a device takes at most half of it at once, so a wake-up some
// 40 ms late still finds the next take waiting.
inline constexpr double kAheadSeconds = 0.12;
// The largest device buffer BASS_CONFIG_DEV_BUFFER accepts.
inline constexpr DWORD kMaxDeviceBufferMs = 5000;

// Seconds on a steady clock since its first use.
double NowSeconds();

// ---- The engine state ----

struct Engine {
  // Serialises BASS_Init and BASS_Free; never held by anything else.
  std::mutex lifecycle;

  std::mutex mutex;
  // ---- Under mutex (written by BASS_Init, BASS_Free and the handle calls,
  // read by any caller) ----
  bool initialised = false;
  int device = -1;
  std::unique_ptr<quav::Output> output;
  std::map<DWORD, std::shared_ptr<quav::Stream>> streams;
  std::map<DWORD, DWORD> effects;  // effect -> stream
  std::map<std::string, DWORD> plugins;
  std::map<DWORD, DWORD> config{{BASS_CONFIG_NET_PLAYLIST, 0}, {BASS_CONFIG_MF_VIDEO, 1}, {BASS_CONFIG_DEV_BUFFER, 0}};
  DWORD nextHandle = 1;
  // Counts the devices brought up, so that a stream opened for one device
  // is never handed to the next.
  uint64_t generation = 0;

  // ---- The device's figures and ring: written under mutex by BASS_Init
  // before the engine thread starts, and the ring freed by BASS_Free only
  // after that thread has been joined, so the engine thread reads them
  // without the lock; callers read them under mutex. The ring's two
  // counters are its own (FrameRing.h). ----
  int rate = 44100;
  std::unique_ptr<quav::FrameRing> ring;
  size_t targetFrames = 0;

  // Started by BASS_Init, joined by BASS_Free (under lifecycle only).
  std::thread mixer;
  std::mutex wakeMutex;
  std::condition_variable wake;
  bool stopMixer = false;  // under wakeMutex
  bool wakeUp = false;     // under wakeMutex: a stream started

  // Written by the engine thread (and reset by BASS_Free), read by anyone.
  std::atomic<float> cpu{0.0f};

  DWORD NewHandle() {
    DWORD h = nextHandle++;
    if (nextHandle == 0) nextHandle = 1;
    return h;
  }

  // Output frame being heard now (the output's clock, which runs on while
  // the device plays silence).
  uint64_t HeardFrame() { return output ? output->HeardFrames() : 0; }
  // Seconds from now until a frame written now is heard.
  double AheadSeconds() { return output ? output->AheadFrames(*ring) / rate : 0.0; }
};

// The one engine. Deliberately never destroyed: the output's threads may
// still run while the process exits without BASS_Free.
extern Engine& E;

// ---- Operations on it; each takes E.mutex (or E.wakeMutex) itself ----

std::shared_ptr<quav::Stream> FindStream(DWORD handle);
// The stream an effect belongs to.
std::shared_ptr<quav::Stream> FindEffectStream(HFX fx);
// Wakes the engine thread: a stream started.
void WakeMixer();
// Wall time when audio rendered from now on is heard.
double HeardChangeTime();
// Output frame being heard now.
uint64_t HeardFrame();
// Output frames written to the ring so far.
uint64_t WrittenFrames();
// True once the device in use has gone away for good (Output::Lost).
bool OutputLost();
// Brings the device down; E.lifecycle held.
void ShutDown();

// The engine thread (Mixer.cpp): renders every playing stream into the
// ring until it holds the target, until ShutDown stops it. The output
// outlives the thread.
void MixerLoop(quav::Output* output);

}  // namespace quav::bass
