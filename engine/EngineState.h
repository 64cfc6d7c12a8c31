// The engine behind the C interface: its state and handle tables with the
// operations on them, the error code of the calling thread, and the guard
// that every entry point runs in. Bass.cpp translates the C calls into
// these operations; Mixer.cpp renders.
//
// Threads: any number of callers; the engine thread (Engine::MixLoop), which
// renders playing streams into the ring; the output's consumer (PortAudio
// callback, PulseAudio client thread or silent clock), which only reads the
// ring. Who writes what is written beside each field of Engine. Locks,
// always taken in this order: fLifecycle (held through the whole of StartUp
// and ShutDown, so that one device comes up only after the last one is
// wholly down), fMutex, then a stream's locks (Stream.h) or the output's own
// (HeardFrames: a PulseAudio stream's main loop lock, which its callbacks
// hold but which never waits for an engine lock). Anything that needs the
// engine (the clock, the time until new audio is heard) is asked before a
// stream is touched. fWakeMutex is a leaf, held only to signal the engine
// thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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

// ---- What the operations hand out ----

// One look at the device's clock, taken under one lock; all zero and not
// lost while no device is up.
struct ClockSnapshot {
  uint64_t written = 0;  // output frames written to the ring (read first: never below heard)
  uint64_t heard = 0;    // output frame being heard now
  bool lost = false;     // the device has gone away for good (Output::Lost)
};

// The device as the engine thread renders for it: fixed from StartUp until
// ShutDown has joined the thread (the output and the ring outlive it).
struct MixTarget {
  quav::Output* output = nullptr;
  quav::FrameRing* ring = nullptr;
  int rate = 44100;
  size_t targetFrames = 0;  // frames the thread keeps ahead in the ring
};

// The device a stream is being opened for: the stream is added only while
// that device is still up (another, maybe at another rate, may have come up
// meanwhile).
struct OpeningFor {
  uint64_t generation = 0;
  int rate = 44100;
};

enum class DeviceState { Down, Running, Lost };

// What an operation that makes a handle answers: the handle, or 0 and the
// error code.
struct MadeHandle {
  DWORD handle = 0;
  int error = BASS_OK;
};

// ---- The engine state ----

// The operations that can fail answer with an error code (BASS_OK on
// success), those that make a handle with a MadeHandle. Each takes the
// locks it needs itself.
class Engine {
 public:
  // ---- Options ----
  // BASS_ERROR_ILLTYPE (no such option), BASS_ERROR_ILLPARAM (out of range).
  int SetConfig(DWORD option, DWORD value);
  std::optional<DWORD> Config(DWORD option);  // nullopt: no such option

  // ---- The device ----
  // Brings device (0 silent, 1.. listed, -1 the default) up at rate and
  // starts the engine thread: BASS_ERROR_ALREADY, BASS_ERROR_DEVICE,
  // BASS_ERROR_DRIVER, BASS_ERROR_START.
  int StartUp(int device, int rate);
  // Brings it down again, once what was mixed has been heard (a lost device
  // at once), and frees every stream: BASS_ERROR_INIT when none is up.
  int ShutDown();
  int Device();  // the device up, -1 when none
  DeviceState State();
  ClockSnapshot Clock();
  // Wall time when audio rendered from now on is heard.
  double HeardChangeTime();
  float Cpu() const { return fCpu.load(std::memory_order_relaxed); }

  // ---- Handles ----
  // A plug-in of that (normalised) name: BASS_ERROR_ALREADY when loaded.
  MadeHandle AddPlugin(const std::string& name);
  // The device up, for a stream about to be opened; nullopt when none is.
  std::optional<OpeningFor> Opening();
  // BASS_ERROR_INIT when that device went down meanwhile.
  MadeHandle AddStream(const OpeningFor& opening, std::shared_ptr<quav::Stream> stream);
  // Frees a stream with its effects and the joins to it: BASS_ERROR_HANDLE.
  int FreeStream(DWORD handle);
  std::shared_ptr<quav::Stream> FindStream(DWORD handle);
  // The stream an effect belongs to.
  std::shared_ptr<quav::Stream> FindEffectStream(HFX fx);
  // An equaliser band on stream s of handle `stream`: BASS_ERROR_HANDLE when
  // the stream was freed meanwhile.
  MadeHandle AddEffect(quav::Stream& s, DWORD stream, int priority);
  // BASS_ERROR_HANDLE when fx is not an effect of that stream.
  int RemoveEffect(quav::Stream& s, DWORD stream, HFX fx);

  // ---- Playing (played streams) ----
  // Starts s, dropping any join that would start it: BASS_ERROR_REINIT (the
  // device is lost), BASS_ERROR_NOTAVAIL (the file cannot rewind).
  int Play(const std::shared_ptr<quav::Stream>& s, bool restart);
  // Joins s to the end of the stream `previous` (0: only drops the joins to
  // s): BASS_ERROR_REINIT, BASS_ERROR_HANDLE, BASS_ERROR_DECODE,
  // BASS_ERROR_ALREADY (s is playing), BASS_ERROR_NOTAVAIL.
  int Join(const std::shared_ptr<quav::Stream>& s, DWORD previous);
  // Rendering goes on from frame: BASS_ERROR_NOTAVAIL (the file cannot seek).
  int Seek(quav::Stream& s, int64_t frame);

 private:
  DWORD NewHandle();                        // fMutex held
  ClockSnapshot ClockLocked();              // fMutex held
  void DropJoinsTo(const quav::Stream& s);  // fMutex held
  // Wakes the engine thread: a stream started.
  void WakeMixer();
  // The engine thread (Mixer.cpp): renders every playing stream into the
  // ring until it holds the target, until ShutDown stops it.
  void MixLoop(MixTarget target);
  // Engine thread: waits (idle: longer) for the next round; false once
  // ShutDown stops it.
  bool WaitForRound(bool idle);
  std::vector<std::shared_ptr<quav::Stream>> PlayingStreams();

  // Serialises StartUp and ShutDown; never held by anything else.
  std::mutex fLifecycle;

  std::mutex fMutex;
  // ---- Under fMutex (written by StartUp, ShutDown and the handle
  // operations, read by any caller) ----
  bool fInitialised = false;
  int fDevice = -1;
  std::unique_ptr<quav::Output> fOutput;
  std::map<DWORD, std::shared_ptr<quav::Stream>> fStreams;
  std::map<DWORD, DWORD> fEffects;  // effect -> stream
  std::map<std::string, DWORD> fPlugins;
  std::map<DWORD, DWORD> fConfig{{BASS_CONFIG_NET_PLAYLIST, 0}, {BASS_CONFIG_MF_VIDEO, 1}, {BASS_CONFIG_DEV_BUFFER, 0}};
  DWORD fNextHandle = 1;
  // Counts the devices brought up, so that a stream opened for one device
  // is never handed to the next.
  uint64_t fGeneration = 0;

  // ---- The device's figures and ring: written under fMutex by StartUp
  // before the engine thread starts (which gets them as its MixTarget), and
  // the ring freed by ShutDown only after that thread has been joined;
  // callers read them under fMutex. The ring's two counters are its own
  // (FrameRing.h). ----
  int fRate = 44100;
  std::unique_ptr<quav::FrameRing> fRing;

  // Started by StartUp, joined by ShutDown (under fLifecycle only).
  std::thread fMixer;
  std::mutex fWakeMutex;
  std::condition_variable fWake;
  bool fStopMixer = false;  // under fWakeMutex
  bool fWakeUp = false;     // under fWakeMutex: a stream started

  // Written by the engine thread (and reset by ShutDown), read by anyone.
  std::atomic<float> fCpu{0.0f};
};

// The one engine. Deliberately never destroyed: the output's threads may
// still run while the process exits without BASS_Free.
extern Engine& E;

// Runs fn on the stream behind handle (a shared_ptr, found under the
// engine's lock and used after it), in Guarded; failure with
// BASS_ERROR_HANDLE when there is no such stream.
template <class T, class Fn>
T WithStream(DWORD handle, T failure, Fn&& fn) {
  return Guarded(failure, [&]() -> T {
    const std::shared_ptr<quav::Stream> s = E.FindStream(handle);
    return s ? fn(s) : Fail(BASS_ERROR_HANDLE, failure);
  });
}

// The same for the stream an effect belongs to.
template <class T, class Fn>
T WithEffectStream(HFX fx, T failure, Fn&& fn) {
  return Guarded(failure, [&]() -> T {
    const std::shared_ptr<quav::Stream> s = E.FindEffectStream(fx);
    return s ? fn(s) : Fail(BASS_ERROR_HANDLE, failure);
  });
}

}  // namespace quav::bass
