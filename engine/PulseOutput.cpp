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
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>

#include "Backends.h"
#include "DeviceClock.h"
#include "bass.h"

namespace quav {

namespace {

constexpr const char* kClientName = "quavlin";
// How long a server may take to answer the listing, a connection or a new
// stream before it counts as absent.
constexpr double kAnswerSeconds = 2.0;
// The total latency asked for by default (BASS_CONFIG_DEV_BUFFER 0), and
// how much of it the server may ask for at once: each request wakes this
// client's thread.
constexpr double kDefaultLatencySeconds = 0.2;
constexpr double kRequestShare = 0.25;
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
  const char* form = pa_proplist_gets(sink.proplist, PA_PROP_DEVICE_FORM_FACTOR);
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
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (pa_mainloop_prepare(loop, static_cast<int>(left.count())) < 0 || pa_mainloop_poll(loop) < 0 ||
        pa_mainloop_dispatch(loop) < 0)
      return false;
  }
  return true;
}

std::vector<SystemDevice> ListSinks() {
  Listing listing;
  pa_mainloop* loop = pa_mainloop_new();
  if (loop == nullptr) return {};
  pa_context* context = pa_context_new(pa_mainloop_get_api(loop), kClientName);
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(kAnswerSeconds));
  const auto settled = [&] {
    const pa_context_state_t s = pa_context_get_state(context);
    return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
  };
  if (context != nullptr && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 &&
      Iterate(loop, settled, deadline) && pa_context_get_state(context) == PA_CONTEXT_READY) {
    pa_operation* server = pa_context_get_server_info(
        context,
        [](pa_context*, const pa_server_info* info, void* user) {
          auto* l = static_cast<Listing*>(user);
          if (info != nullptr && info->default_sink_name != nullptr) l->defaultSink = info->default_sink_name;
          l->haveServer = true;
        },
        &listing);
    pa_operation* sinks = pa_context_get_sink_info_list(
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
      return (listing.haveServer && listing.haveSinks) || pa_context_get_state(context) != PA_CONTEXT_READY;
    };
    if (server == nullptr || sinks == nullptr || !Iterate(loop, answered, deadline) || !listing.haveServer ||
        !listing.haveSinks)
      listing.sinks.clear();
    if (server) pa_operation_unref(server);
    if (sinks) pa_operation_unref(sinks);
  }
  if (context != nullptr) {
    pa_context_disconnect(context);
    pa_context_unref(context);
  }
  pa_mainloop_free(loop);
  for (SystemDevice& d : listing.sinks) d.isDefault = d.sinkName == listing.defaultSink;
  return listing.sinks;
}

// ---- Playback ----

class LoopLock {
 public:
  explicit LoopLock(pa_threaded_mainloop* loop) : fLoop(loop) { pa_threaded_mainloop_lock(fLoop); }
  ~LoopLock() { pa_threaded_mainloop_unlock(fLoop); }
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
      fClosing = true;
      if (fContext != nullptr) {
        pa_context_set_state_callback(fContext, nullptr, nullptr);
        pa_context_disconnect(fContext);
        pa_context_unref(fContext);
      }
    }
    pa_threaded_mainloop_stop(fLoop);
    pa_threaded_mainloop_free(fLoop);
  }

  // Connects to the server; false when it does not answer.
  bool Connect() {
    fLoop = pa_threaded_mainloop_new();
    if (fLoop == nullptr) return false;
    pa_threaded_mainloop_set_name(fLoop, "quav-pulse");
    LoopLock lock(fLoop);
    fContext = pa_context_new(pa_threaded_mainloop_get_api(fLoop), kClientName);
    if (fContext == nullptr) return false;
    pa_context_set_state_callback(fContext, &PulseOutput::OnContextState, this);
    if (pa_context_connect(fContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
    if (pa_threaded_mainloop_start(fLoop) < 0) return false;
    return WaitFor([this] { return pa_context_get_state(fContext) == PA_CONTEXT_READY; }) && !fLost;
  }

  bool Start(FrameRing& ring) override {
    LoopLock lock(fLoop);
    {
      std::lock_guard<std::mutex> guard(fMutex);
      fRing = &ring;
      fClock.Reset(0);
    }
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(fRate), 2};
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
    fStream = pa_stream_new_with_proplist(fContext, kClientName, &spec, nullptr, props);
    pa_proplist_free(props);
    if (fStream == nullptr) return false;
    pa_stream_set_state_callback(fStream, &PulseOutput::OnStreamState, this);
    pa_stream_set_write_callback(fStream, &PulseOutput::OnWrite, this);
    // The total latency asked for (the server shares it between its own
    // buffer and the sink), topped up in requests of at most a quarter of
    // it and at most what the ring may give at once.
    const double latency = fAskedSeconds > 0 ? fAskedSeconds : kDefaultLatencySeconds;
    const double request = std::min(latency * kRequestShare, fMostPerTake);
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(Usec(latency), &spec));
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(pa_usec_to_bytes(Usec(request), &spec));
    attr.fragsize = static_cast<uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                                      PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(fStream, fSink.empty() ? nullptr : fSink.c_str(), &attr, flags, nullptr,
                                   nullptr) < 0)
      return false;
    if (!WaitFor([this] { return pa_stream_get_state(fStream) == PA_STREAM_READY; }) || fLost) return false;
    // The latency the server reports once the first request has been
    // filled: its buffer and the sink's.
    fTimingUpdated = false;
    pa_operation* op = pa_stream_update_timing_info(
        fStream,
        [](pa_stream*, int, void* user) {
          auto* self = static_cast<PulseOutput*>(user);
          self->fTimingUpdated = true;
          pa_threaded_mainloop_signal(self->fLoop, 0);
        },
        this);
    if (op != nullptr) {
      WaitFor([this] { return fTimingUpdated.load(); });
      pa_operation_cancel(op);
      pa_operation_unref(op);
    }
    pa_usec_t usec = 0;
    int negative = 0;
    if (pa_stream_get_latency(fStream, &usec, &negative) == 0 && negative == 0) {
      fLatencySeconds = static_cast<double>(usec) * 1e-6;
    } else if (const pa_buffer_attr* got = pa_stream_get_buffer_attr(fStream)) {
      fLatencySeconds = static_cast<double>(pa_bytes_to_usec(got->tlength, &spec)) * 1e-6;
    }
    return true;
  }

  void Stop() override {
    if (fLoop == nullptr) return;
    LoopLock lock(fLoop);
    if (fStream == nullptr) return;
    pa_stream_set_write_callback(fStream, nullptr, nullptr);
    pa_stream_set_state_callback(fStream, nullptr, nullptr);
    pa_stream_disconnect(fStream);
    pa_stream_unref(fStream);
    fStream = nullptr;
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

  // The frame the server plays now, interpolated from its last timing
  // report; a lost server's last word stands.
  uint64_t HeardFrames() override {
    pa_usec_t usec = 0;
    bool known = false;
    if (!Lost()) {
      LoopLock lock(fLoop);
      known = fStream != nullptr && pa_stream_get_time(fStream, &usec) == 0;
    }
    std::lock_guard<std::mutex> guard(fMutex);
    if (known) fClock.PlayedTo(usec * static_cast<uint64_t>(fRate) / 1000000u);
    return fClock.Heard();
  }

 private:
  // Waits, the loop's lock held, until ready() or kAnswerSeconds pass or
  // the connection fails.
  template <class Ready>
  bool WaitFor(const Ready& ready) {
    fLate = false;
    pa_time_event* timer = pa_context_rttime_new(
        fContext, pa_rtclock_now() + Usec(kAnswerSeconds),
        [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* user) {
          auto* self = static_cast<PulseOutput*>(user);
          self->fLate = true;
          pa_threaded_mainloop_signal(self->fLoop, 0);
        },
        this);
    bool ok;
    while (!(ok = ready()) && !fLate && !fLost) pa_threaded_mainloop_wait(fLoop);
    if (timer != nullptr) pa_threaded_mainloop_get_api(fLoop)->time_free(timer);
    return ok;
  }

  static void OnContextState(pa_context* context, void* user) {
    auto* self = static_cast<PulseOutput*>(user);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) && !self->fClosing) self->fLost.store(true);
    pa_threaded_mainloop_signal(self->fLoop, 0);
  }

  static void OnStreamState(pa_stream* stream, void* user) {
    auto* self = static_cast<PulseOutput*>(user);
    // Stop clears this callback first, so a stream that ends here was ended
    // by the server: no sink left to move it to, or the server going away.
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) self->fLost.store(true);
    pa_threaded_mainloop_signal(self->fLoop, 0);
  }

  // The server asks for bytes: the ring's frames, then silence when it has
  // run dry.
  static void OnWrite(pa_stream* stream, size_t bytes, void* user) {
    auto* self = static_cast<PulseOutput*>(user);
    while (bytes >= kFrameBytes) {
      void* data = nullptr;
      size_t size = bytes;
      if (pa_stream_begin_write(stream, &data, &size) < 0 || data == nullptr) return;
      size = std::min(size, bytes) / kFrameBytes * kFrameBytes;
      if (size == 0) {
        pa_stream_cancel_write(stream);
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
      if (pa_stream_write(stream, data, size, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
      bytes -= size;
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
  bool fClosing = false;  // under the loop's lock
  double fLatencySeconds = kDefaultLatencySeconds;  // set by Start
  // Stored by the loop's callbacks: the connection or the stream ended
  // without us; a wait ran out; a timing report came.
  std::atomic<bool> fLost{false}, fLate{false}, fTimingUpdated{false};
  std::mutex fMutex;  // guards the ring pointer and the clock (the consumer's state)
  FrameRing* fRing = nullptr;
  DeviceClock fClock;
};

}  // namespace

std::vector<SystemDevice> ProbePulseSinks() {
  std::vector<SystemDevice> sinks;
  WithoutStderr([&] {
    sinks = ListSinks();
    return 0;
  });
  return sinks;
}

std::unique_ptr<Output> MakePulseOutput(const SystemDevice* sink, int rate, double bufferSeconds, double mostPerTake) {
  if (rate <= 0 || static_cast<unsigned>(rate) > PA_RATE_MAX) return nullptr;
  auto output = std::make_unique<PulseOutput>(sink ? sink->sinkName : std::string(), rate, bufferSeconds, mostPerTake);
  bool connected = false;
  WithoutStderr([&] {
    connected = output->Connect();
    return 0;
  });
  return connected ? std::move(output) : nullptr;
}

}  // namespace quav
