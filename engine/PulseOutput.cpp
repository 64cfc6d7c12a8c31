// System output through a PulseAudio server (PipeWire's pulse server
// included): the sinks are listed over a short-lived connection on a plain
// main loop; playback is an asynchronous stream on a threaded main loop,
// filled from the ring whenever the server asks for more, its heard frame
// taken from the server's timing information.
//
// Threads: the main loop's own thread runs every callback, with the main
// loop's lock held; the controlling thread and callers take that lock
// (LoopLock) to reach the server. What callbacks share with other threads
// is also under fMutex or atomic, so that it is ordered even where the
// client library's own locking goes unseen (the ThreadSanitizer build).
#include <dlfcn.h>
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>

#include "Backends.h"
#include "DeviceClock.h"
#include "bass.h"

namespace quav {

namespace {

// The client library is loaded when a server is first looked for, not with
// the program: a player on the silent device, or on a machine without the
// library, never loads it and the ten libraries it depends on.
// clang-format off
#define QUAV_PULSE_FUNCTIONS(X)                                                                             \
  X(bytes_to_usec)                                                                                          \
  X(context_connect) X(context_disconnect) X(context_get_server_info) X(context_get_sink_info_list)         \
  X(context_get_state) X(context_new) X(context_rttime_new) X(context_set_state_callback) X(context_unref)  \
  X(mainloop_dispatch) X(mainloop_free) X(mainloop_get_api) X(mainloop_new) X(mainloop_poll)                \
  X(mainloop_prepare)                                                                                       \
  X(operation_cancel) X(operation_unref)                                                                    \
  X(proplist_free) X(proplist_gets) X(proplist_new) X(proplist_sets)                                        \
  X(rtclock_now)                                                                                            \
  X(stream_begin_write) X(stream_cancel_write) X(stream_connect_playback) X(stream_disconnect)              \
  X(stream_get_buffer_attr) X(stream_get_state) X(stream_get_timing_info)                                  \
  X(stream_new_with_proplist) X(stream_set_latency_update_callback) X(stream_set_moved_callback)           \
  X(stream_set_started_callback) X(stream_set_state_callback) X(stream_set_write_callback) X(stream_unref)  \
  X(stream_update_timing_info) X(stream_write)                                                              \
  X(threaded_mainloop_free) X(threaded_mainloop_get_api) X(threaded_mainloop_lock) X(threaded_mainloop_new) \
  X(threaded_mainloop_set_name) X(threaded_mainloop_signal) X(threaded_mainloop_start)                      \
  X(threaded_mainloop_stop) X(threaded_mainloop_unlock) X(threaded_mainloop_wait)                           \
  X(timeval_age) X(usec_to_bytes)
// clang-format on

struct PulseLibrary {
#define QUAV_PULSE_MEMBER(name) decltype(&::pa_##name) name = nullptr;
  QUAV_PULSE_FUNCTIONS(QUAV_PULSE_MEMBER)
#undef QUAV_PULSE_MEMBER
};

// nullptr when the library or one of its functions is missing. Loaded once
// and kept for the life of the process.
const PulseLibrary* LoadPulse() {
  static const PulseLibrary* const library = []() -> const PulseLibrary* {
    void* handle = ::dlopen("libpulse.so.0", RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    auto* functions = new PulseLibrary;
    bool all = true;
#define QUAV_PULSE_SYMBOL(name)                                                                \
  functions->name = reinterpret_cast<decltype(functions->name)>(::dlsym(handle, "pa_" #name)); \
  all = all && functions->name != nullptr;
    QUAV_PULSE_FUNCTIONS(QUAV_PULSE_SYMBOL)
#undef QUAV_PULSE_SYMBOL
    if (all) return functions;
    delete functions;
    ::dlclose(handle);
    return nullptr;
  }();
  return library;
}

// The library's functions, once LoadPulse has found them.
const PulseLibrary& Pa() { return *LoadPulse(); }

constexpr const char* kClientName = "quavlin";
// How long a server may take to answer the listing, a connection or a new
// stream before it counts as absent.
constexpr double kAnswerSeconds = 2.0;
// The total latency asked for by default (BASS_CONFIG_DEV_BUFFER 0), and
// how much of it the server may ask for at once: each request wakes this
// client's thread.
constexpr double kDefaultLatencySeconds = 0.2;
constexpr double kRequestShare = 0.3;
// How often the server's timing is asked for (with a write, so that the
// answer is the only wake-up it costs); between reports the heard frame
// runs on the system clock, which keeps within a few frames of the sound
// card's over such a time.
constexpr double kTimingSeconds = 1.0;
constexpr size_t kFrameBytes = 2 * sizeof(float);

pa_usec_t Usec(double seconds) { return static_cast<pa_usec_t>(seconds * 1e6); }

// The kind of device, where the server says: the active port's type, else
// the sink's form factor.
unsigned SinkType(const pa_sink_info& sink) {
  if (sink.active_port != nullptr) {
    switch (sink.active_port->type) {
      case PA_DEVICE_PORT_TYPE_SPEAKER: return BASS_DEVICE_TYPE_SPEAKERS;
      case PA_DEVICE_PORT_TYPE_HEADPHONES: return BASS_DEVICE_TYPE_HEADPHONES;
      case PA_DEVICE_PORT_TYPE_HEADSET:
      case PA_DEVICE_PORT_TYPE_HANDSFREE: return BASS_DEVICE_TYPE_HEADSET;
      case PA_DEVICE_PORT_TYPE_HANDSET:
      case PA_DEVICE_PORT_TYPE_EARPIECE: return BASS_DEVICE_TYPE_HANDSET;
      case PA_DEVICE_PORT_TYPE_LINE: return BASS_DEVICE_TYPE_LINE;
      case PA_DEVICE_PORT_TYPE_SPDIF: return BASS_DEVICE_TYPE_SPDIF;
      case PA_DEVICE_PORT_TYPE_HDMI: return BASS_DEVICE_TYPE_HDMI;
      case PA_DEVICE_PORT_TYPE_NETWORK: return BASS_DEVICE_TYPE_NETWORK;
      default: break;
    }
  }
  const char* form = Pa().proplist_gets(sink.proplist, PA_PROP_DEVICE_FORM_FACTOR);
  const std::string factor = form ? form : "";
  if (factor == "speaker") return BASS_DEVICE_TYPE_SPEAKERS;
  if (factor == "headphone") return BASS_DEVICE_TYPE_HEADPHONES;
  if (factor == "headset" || factor == "hands-free") return BASS_DEVICE_TYPE_HEADSET;
  if (factor == "handset") return BASS_DEVICE_TYPE_HANDSET;
  return 0;
}

// ---- The listing: one connection, iterated here until it has answered ----

struct Listing {
  bool haveServer = false, haveSinks = false;
  std::string defaultSink;
  std::vector<SystemDevice> sinks;
};

// Runs the loop until done() or the deadline; false at the deadline or when
// the loop fails.
template <class Done>
bool Iterate(pa_mainloop* loop, const Done& done, std::chrono::steady_clock::time_point deadline) {
  while (!done()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (Pa().mainloop_prepare(loop, static_cast<int>(left.count())) < 0 || Pa().mainloop_poll(loop) < 0 ||
        Pa().mainloop_dispatch(loop) < 0)
      return false;
  }
  return true;
}

std::vector<SystemDevice> ListSinks() {
  Listing listing;
  pa_mainloop* loop = Pa().mainloop_new();
  if (loop == nullptr) return {};
  pa_context* context = Pa().context_new(Pa().mainloop_get_api(loop), kClientName);
  const auto deadline =
      std::chrono::steady_clock::now() +
      std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(kAnswerSeconds));
  const auto settled = [&] {
    const pa_context_state_t s = Pa().context_get_state(context);
    return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
  };
  if (context != nullptr && Pa().context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 &&
      Iterate(loop, settled, deadline) && Pa().context_get_state(context) == PA_CONTEXT_READY) {
    pa_operation* server = Pa().context_get_server_info(
        context,
        [](pa_context*, const pa_server_info* info, void* user) {
          auto* l = static_cast<Listing*>(user);
          if (info != nullptr && info->default_sink_name != nullptr) l->defaultSink = info->default_sink_name;
          l->haveServer = true;
        },
        &listing);
    pa_operation* sinks = Pa().context_get_sink_info_list(
        context,
        [](pa_context*, const pa_sink_info* info, int eol, void* user) {
          auto* l = static_cast<Listing*>(user);
          if (eol != 0) {
            l->haveSinks = true;
            return;
          }
          SystemDevice d;
          d.backend = SystemDevice::Backend::Pulse;
          d.sinkName = info->name ? info->name : "";
          d.name = info->description && *info->description ? info->description : d.sinkName;
          d.driver = "PulseAudio";
          d.type = SinkType(*info);
          d.maxChannels = info->sample_spec.channels;
          l->sinks.push_back(std::move(d));
        },
        &listing);
    const auto answered = [&] {
      return (listing.haveServer && listing.haveSinks) || Pa().context_get_state(context) != PA_CONTEXT_READY;
    };
    if (server == nullptr || sinks == nullptr || !Iterate(loop, answered, deadline) || !listing.haveServer ||
        !listing.haveSinks)
      listing.sinks.clear();
    if (server) Pa().operation_unref(server);
    if (sinks) Pa().operation_unref(sinks);
  }
  if (context != nullptr) {
    Pa().context_disconnect(context);
    Pa().context_unref(context);
  }
  Pa().mainloop_free(loop);
  for (SystemDevice& d : listing.sinks) d.isDefault = d.sinkName == listing.defaultSink;
  return listing.sinks;
}

// ---- Playback ----

class LoopLock {
 public:
  explicit LoopLock(pa_threaded_mainloop* loop) : fLoop(loop) { Pa().threaded_mainloop_lock(fLoop); }
  ~LoopLock() { Pa().threaded_mainloop_unlock(fLoop); }
  LoopLock(const LoopLock&) = delete;
  LoopLock& operator=(const LoopLock&) = delete;

 private:
  pa_threaded_mainloop* fLoop;
};

class PulseOutput final : public Output {
 public:
  PulseOutput(std::string sink, int rate, double latencySeconds, double mostPerTake)
      : fSink(std::move(sink)), fRate(rate), fAskedSeconds(latencySeconds), fMostPerTake(mostPerTake) {}

  ~PulseOutput() override {
    Stop();
    if (fLoop == nullptr) return;
    {
      LoopLock lock(fLoop);
      if (fContext != nullptr) {
        Pa().context_set_state_callback(fContext, nullptr, nullptr);
        Pa().context_disconnect(fContext);
        Pa().context_unref(fContext);
      }
    }
    Pa().threaded_mainloop_stop(fLoop);
    Pa().threaded_mainloop_free(fLoop);
  }

  // Connects to the server; false when it does not answer.
  bool Connect() {
    fLoop = Pa().threaded_mainloop_new();
    if (fLoop == nullptr) return false;
    Pa().threaded_mainloop_set_name(fLoop, "quav-pulse");
    LoopLock lock(fLoop);
    fContext = Pa().context_new(Pa().threaded_mainloop_get_api(fLoop), kClientName);
    if (fContext == nullptr) return false;
    Pa().context_set_state_callback(fContext, &PulseOutput::OnContextState, this);
    if (Pa().context_connect(fContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
    if (Pa().threaded_mainloop_start(fLoop) < 0) return false;
    return WaitFor([this] { return Pa().context_get_state(fContext) == PA_CONTEXT_READY; }) && !fLost;
  }

  bool Start(FrameRing& ring) override {
    LoopLock lock(fLoop);
    {
      std::lock_guard<std::mutex> guard(fMutex);
      fRing = &ring;
      fClock.Reset(0);
    }
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(fRate), 2};
    pa_proplist* props = Pa().proplist_new();
    Pa().proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
    fStream = Pa().stream_new_with_proplist(fContext, kClientName, &format, nullptr, props);
    Pa().proplist_free(props);
    if (fStream == nullptr) return false;
    Pa().stream_set_state_callback(fStream, &PulseOutput::OnStreamState, this);
    Pa().stream_set_write_callback(fStream, &PulseOutput::OnWrite, this);
    // The total latency asked for (the server shares it between its own
    // buffer and the sink), topped up in requests of at most 30 % of it
    // and at most what the ring may give at once.
    const double latency = fAskedSeconds > 0 ? fAskedSeconds : kDefaultLatencySeconds;
    const double request = std::min(latency * kRequestShare, fMostPerTake);
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(Pa().usec_to_bytes(Usec(latency), &format));
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(Pa().usec_to_bytes(Usec(request), &format));
    attr.fragsize = static_cast<uint32_t>(-1);
    const auto flags = PA_STREAM_ADJUST_LATENCY;
    if (Pa().stream_connect_playback(fStream, fSink.empty() ? nullptr : fSink.c_str(), &attr, flags, nullptr, nullptr) <
        0)
      return false;
    if (!WaitFor([this] { return Pa().stream_get_state(fStream) == PA_STREAM_READY; }) || fLost) return false;
    // Fresh timing whenever playback starts (again) or moves to another
    // sink.
    Pa().stream_set_started_callback(fStream, &PulseOutput::OnPlaybackChange, this);
    Pa().stream_set_moved_callback(fStream, &PulseOutput::OnPlaybackChange, this);
    Pa().stream_set_latency_update_callback(fStream, &PulseOutput::OnTimingReport, this);
    // The latency from the server's timing report: the stream's buffer,
    // which the requests keep full, and the latency the sink was set to.
    fTimingUpdated = false;
    pa_operation* op = Pa().stream_update_timing_info(
        fStream,
        [](pa_stream*, int, void* user) {
          auto* self = static_cast<PulseOutput*>(user);
          self->fTimingUpdated = true;
          Pa().threaded_mainloop_signal(self->fLoop, 0);
        },
        this);
    if (op != nullptr) {
      WaitFor([this] { return fTimingUpdated.load(); });
      Pa().operation_cancel(op);
      Pa().operation_unref(op);
    }
    if (const pa_buffer_attr* got = Pa().stream_get_buffer_attr(fStream)) {
      const pa_timing_info* timing = Pa().stream_get_timing_info(fStream);
      fLatencySeconds = static_cast<double>(Pa().bytes_to_usec(got->tlength, &format) +
                                            (timing != nullptr ? timing->configured_sink_usec : 0)) *
                        1e-6;
    }
    KeepTiming(fStream);
    return true;
  }

  void Stop() override {
    if (fLoop == nullptr) return;
    LoopLock lock(fLoop);
    if (fStream == nullptr) return;
    Pa().stream_set_write_callback(fStream, nullptr, nullptr);
    Pa().stream_set_state_callback(fStream, nullptr, nullptr);
    Pa().stream_set_started_callback(fStream, nullptr, nullptr);
    Pa().stream_set_moved_callback(fStream, nullptr, nullptr);
    Pa().stream_set_latency_update_callback(fStream, nullptr, nullptr);
    Pa().stream_disconnect(fStream);
    Pa().stream_unref(fStream);
    fStream = nullptr;
    KeepTiming(nullptr);
  }

  void Drain(double limitSeconds) override {
    const FrameRing* ring;
    {
      std::lock_guard<std::mutex> guard(fMutex);
      ring = fRing;
    }
    if (ring != nullptr) DrainByClock(*this, *ring, limitSeconds);
  }

  double LatencySeconds() const override { return fLatencySeconds; }
  int Rate() const override { return fRate; }
  bool Lost() const override { return fLost.load(std::memory_order_acquire); }

  uint64_t HeardFrames() override {
    std::lock_guard<std::mutex> guard(fMutex);
    const int64_t at = PlayingFrame();
    if (at > 0) fClock.PlayedTo(static_cast<uint64_t>(at));
    return fClock.Heard();
  }

  // The server takes frames in bursts, a request at a time: what it still
  // holds of them, with what the ring holds, is the wait for a frame
  // written now (until its first timing report, the latency stands in).
  double AheadFrames(const FrameRing& ring) override {
    std::unique_lock<std::mutex> guard(fMutex);
    const int64_t at = PlayingFrame();
    if (at < 0) {
      guard.unlock();
      return Output::AheadFrames(ring);
    }
    const auto held = static_cast<int64_t>(fClock.HandedFrames()) - at;
    return static_cast<double>(ring.Available()) + static_cast<double>(std::max<int64_t>(0, held));
  }

 private:
  // The device frame the server plays now (fMutex held): where it stood at
  // its last timing report, plus the time since while it plays; -1 before
  // the first report and once the server is lost (its last word stands).
  int64_t PlayingFrame() {
    if (Lost() || !fTiming.valid) return -1;
    double since = -fTiming.sinkSeconds;
    if (fTiming.playing)
      since += std::clamp(static_cast<double>(Pa().timeval_age(&fTiming.stamp)) * 1e-6, 0.0, kTimingSeconds * 3);
    return std::max<int64_t>(0, fTiming.readFrame + std::llround(since * fRate));
  }

  // Copies the timing report of stream (the loop's lock held; null: none)
  // for PlayingFrame, which several calls of every status tick ask for:
  // they then never wait for the loop's thread. Called wherever the report
  // may have changed: a report came, frames were written, playback started
  // or moved, the stream came or went. The callbacks pass the stream they
  // were given (fStream is the controlling thread's).
  void KeepTiming(pa_stream* stream) {
    const pa_timing_info* timing = stream != nullptr ? Pa().stream_get_timing_info(stream) : nullptr;
    Timing kept;
    if (timing != nullptr && !timing->read_index_corrupt) {
      kept.valid = true;
      kept.playing = timing->playing != 0;
      kept.readFrame = timing->read_index / static_cast<int64_t>(kFrameBytes);
      kept.sinkSeconds = static_cast<double>(timing->sink_usec) * 1e-6;
      kept.stamp = timing->timestamp;
    }
    std::lock_guard<std::mutex> guard(fMutex);
    fTiming = kept;
  }

  // Waits, the loop's lock held, until ready() or kAnswerSeconds pass or
  // the connection fails.
  template <class Ready>
  bool WaitFor(const Ready& ready) {
    fLate = false;
    pa_time_event* timer = Pa().context_rttime_new(
        fContext, Pa().rtclock_now() + Usec(kAnswerSeconds),
        [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* user) {
          auto* self = static_cast<PulseOutput*>(user);
          self->fLate = true;
          Pa().threaded_mainloop_signal(self->fLoop, 0);
        },
        this);
    bool ok;
    while (!(ok = ready()) && !fLate && !fLost) Pa().threaded_mainloop_wait(fLoop);
    if (timer != nullptr) Pa().threaded_mainloop_get_api(fLoop)->time_free(timer);
    return ok;
  }

  static void OnContextState(pa_context* context, void* user) {
    auto* self = static_cast<PulseOutput*>(user);
    // The destructor clears this callback before it disconnects, so a
    // connection that ends here was ended by the server.
    if (!PA_CONTEXT_IS_GOOD(Pa().context_get_state(context))) self->fLost.store(true);
    Pa().threaded_mainloop_signal(self->fLoop, 0);
  }

  static void OnStreamState(pa_stream* stream, void* user) {
    auto* self = static_cast<PulseOutput*>(user);
    // Stop clears this callback first, so a stream that ends here was ended
    // by the server: no sink left to move it to, or the server going away.
    if (!PA_STREAM_IS_GOOD(Pa().stream_get_state(stream))) self->fLost.store(true);
    Pa().threaded_mainloop_signal(self->fLoop, 0);
  }

  static void OnPlaybackChange(pa_stream* stream, void* user) {
    static_cast<PulseOutput*>(user)->KeepTiming(stream);
    AskTiming(stream);
  }

  static void OnTimingReport(pa_stream* stream, void* user) { static_cast<PulseOutput*>(user)->KeepTiming(stream); }

  static void AskTiming(pa_stream* stream) {
    if (pa_operation* op = Pa().stream_update_timing_info(stream, nullptr, nullptr)) Pa().operation_unref(op);
  }

  // The server asks for bytes: the ring's frames, then silence when it has
  // run dry.
  static void OnWrite(pa_stream* stream, size_t bytes, void* user) {
    auto* self = static_cast<PulseOutput*>(user);
    while (bytes >= kFrameBytes) {
      void* data = nullptr;
      size_t size = bytes;
      if (Pa().stream_begin_write(stream, &data, &size) < 0 || data == nullptr) return;
      size = std::min(size, bytes) / kFrameBytes * kFrameBytes;
      if (size == 0) {
        Pa().stream_cancel_write(stream);
        return;
      }
      const size_t frames = size / kFrameBytes;
      auto* out = static_cast<float*>(data);
      {
        std::lock_guard<std::mutex> guard(self->fMutex);
        const size_t got = self->fRing != nullptr ? self->fRing->Read(out, frames) : 0;
        std::memset(out + got * 2, 0, (frames - got) * kFrameBytes);
        self->fClock.Record(got, frames);
      }
      if (Pa().stream_write(stream, data, size, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
      bytes -= size;
    }
    self->KeepTiming(stream);
    const pa_usec_t now = Pa().rtclock_now();
    if (now - self->fTimingAskedAt >= Usec(kTimingSeconds)) {
      self->fTimingAskedAt = now;
      AskTiming(stream);
    }
  }

  const std::string fSink;  // empty: the server's default sink
  const int fRate;
  const double fAskedSeconds;
  const double fMostPerTake;
  // Created by Connect, freed by the destructor; fStream by Start and Stop,
  // under the loop's lock.
  pa_threaded_mainloop* fLoop = nullptr;
  pa_context* fContext = nullptr;
  pa_stream* fStream = nullptr;
  pa_usec_t fTimingAskedAt = 0;                     // the loop thread's alone
  double fLatencySeconds = kDefaultLatencySeconds;  // set by Start
  // Stored by the loop's callbacks: the connection or the stream ended
  // without us; a wait ran out; a timing report came.
  std::atomic<bool> fLost{false}, fLate{false}, fTimingUpdated{false};
  std::mutex fMutex;  // guards the ring pointer, the clock (the consumer's state) and the timing copy
  FrameRing* fRing = nullptr;
  DeviceClock fClock;
  struct Timing {
    bool valid = false;  // a report came, its read index sound
    bool playing = false;
    int64_t readFrame = 0;
    double sinkSeconds = 0;
    timeval stamp{};
  } fTiming;
};

}  // namespace

std::vector<SystemDevice> ProbePulseSinks() {
  std::vector<SystemDevice> sinks;
  if (LoadPulse() == nullptr) return sinks;
  WithoutStderr([&] {
    sinks = ListSinks();
    return 0;
  });
  return sinks;
}

std::unique_ptr<Output> MakePulseOutput(const SystemDevice* sink, int rate, double bufferSeconds, double mostPerTake) {
  if (LoadPulse() == nullptr || rate <= 0 || static_cast<unsigned>(rate) > PA_RATE_MAX) return nullptr;
  auto output = std::make_unique<PulseOutput>(sink ? sink->sinkName : std::string(), rate, bufferSeconds, mostPerTake);
  bool connected = false;
  WithoutStderr([&] {
    connected = output->Connect();
    return 0;
  });
  return connected ? std::move(output) : nullptr;
}

}  // namespace quav
