// System output devices through PortAudio.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <portaudio.h>
#if QUAV_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

#include "Backends.h"
#include "DeviceClock.h"
#include "bass.h"

namespace quav {

namespace {

#if QUAV_HAVE_ALSA
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}
#endif

bool Contains(std::string hay, const char* needle) {
  std::transform(hay.begin(), hay.end(), hay.begin(), [](unsigned char c) { return std::tolower(c); });
  return hay.find(needle) != std::string::npos;
}

// The kind of device, guessed from its name where the name says it.
unsigned GuessType(const std::string& name) {
  if (Contains(name, "hdmi")) return BASS_DEVICE_TYPE_HDMI;
  if (Contains(name, "displayport")) return BASS_DEVICE_TYPE_DISPLAYPORT;
  if (Contains(name, "spdif") || Contains(name, "s/pdif") || Contains(name, "iec958")) return BASS_DEVICE_TYPE_SPDIF;
  if (Contains(name, "headphone")) return BASS_DEVICE_TYPE_HEADPHONES;
  if (Contains(name, "headset")) return BASS_DEVICE_TYPE_HEADSET;
  if (Contains(name, "speaker")) return BASS_DEVICE_TYPE_SPEAKERS;
  return 0;
}

bool gPortAudioReady = false;

// Frames an ALSA device takes per callback: a power of two (ALSA's plug-ins
// keep to it; other sizes double the wake-ups), near a third of the buffer
// and at most mostPerTake. PortAudio's own choice is about 20 ms, and every
// period wakes its output thread and, behind ALSA's pulse plug-in, the
// sound server client's thread as well.
unsigned long FramesPerTake(double latency, int rate, double mostPerTake) {
  const double want = std::min(latency / 3, mostPerTake) * rate;
  unsigned long frames = 64;
  while (static_cast<double>(frames * 2) <= want) frames *= 2;
  return frames;
}

}  // namespace

std::vector<SystemDevice> ProbePortAudioDevices() {
  std::vector<SystemDevice> devices;
#if QUAV_HAVE_ALSA
  snd_lib_error_set_handler(&IgnoreAlsaError);
#endif
  const PaError rc = WithoutStderr([] { return Pa_Initialize(); });
  if (rc != paNoError) return devices;
  gPortAudioReady = true;
  const PaDeviceIndex defaultOut = Pa_GetDefaultOutputDevice();
  const PaDeviceIndex count = Pa_GetDeviceCount();
  for (PaDeviceIndex i = 0; i < count; ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (info == nullptr || info->maxOutputChannels <= 0) continue;
    SystemDevice d;
    d.name = info->name ? info->name : "";
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
    d.driver = api && api->name ? api->name : "";
    d.isDefault = i == defaultOut;
    d.type = GuessType(d.name);
    d.paIndex = i;
    d.maxChannels = info->maxOutputChannels;
    devices.push_back(std::move(d));
  }
  return devices;
}

namespace {

class PortAudioOutput final : public Output {
 public:
  PortAudioOutput(PaStream* stream, int rate, int channels) : fStream(stream), fRate(rate), fChannels(channels) {}
  ~PortAudioOutput() override {
    Stop();
    if (fStream) WithoutStderr([this] { return Pa_CloseStream(fStream); });
  }

  bool Start(FrameRing& ring) override {
    fRing = &ring;
    fClock.Reset(static_cast<uint64_t>(LatencySeconds() * fRate));
    return WithoutStderr([this] { return Pa_StartStream(fStream); }) == paNoError;
  }

  void Stop() override {
    if (fStream && Pa_IsStreamActive(fStream) == 1) WithoutStderr([this] { return Pa_StopStream(fStream); });
  }

  void Drain(double limitSeconds) override {
    if (fRing != nullptr) DrainByClock(*this, *fRing, limitSeconds);
  }

  double LatencySeconds() const override {
    const PaStreamInfo* info = Pa_GetStreamInfo(fStream);
    return info ? std::max(0.0, info->outputLatency) : 0.0;
  }
  int Rate() const override { return fRate; }
  uint64_t HeardFrames() override { return fClock.Heard(); }

  void SetStream(PaStream* stream) { fStream = stream; }

  // Real-time: only the ring and the output buffer are touched.
  static int Callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                      PaStreamCallbackFlags, void* user) {
    auto* self = static_cast<PortAudioOutput*>(user);
    float* out = static_cast<float*>(output);
    if (self->fChannels == 2) {
      const size_t got = self->fRing->Read(out, frames);
      std::memset(out + got * 2, 0, (frames - got) * 2 * sizeof(float));
      self->fClock.Handed(got, frames);
      return paContinue;
    }
    // A mono device gets the average of the two channels.
    float pair[256 * 2];
    size_t done = 0;
    while (done < frames) {
      const size_t want = std::min<size_t>(256, frames - done);
      const size_t got = self->fRing->Read(pair, want);
      for (size_t i = 0; i < got; ++i) out[done + i] = 0.5f * (pair[2 * i] + pair[2 * i + 1]);
      done += got;
      if (got < want) {
        std::memset(out + done, 0, (frames - done) * sizeof(float));
        break;
      }
    }
    self->fClock.Handed(done, frames);
    return paContinue;
  }

 private:
  // Set before the stream starts (construction, SetStream, Start) by the
  // controlling thread; the callback only reads fRing and fChannels.
  PaStream* fStream;
  int fRate;
  int fChannels;
  FrameRing* fRing = nullptr;
  DeviceClock fClock;  // Handed by the callback only
};

}  // namespace

uint32_t PortAudioVersion() { return static_cast<uint32_t>(Pa_GetVersion()); }

std::unique_ptr<Output> MakePortAudioOutput(const SystemDevice& device, int rate, double bufferSeconds,
                                            double mostPerTake) {
  if (!gPortAudioReady) return nullptr;
  const PaDeviceInfo* info = Pa_GetDeviceInfo(device.paIndex);
  if (info == nullptr) return nullptr;
  const int channels = std::min(2, device.maxChannels);
  auto output = std::make_unique<PortAudioOutput>(nullptr, rate, channels);
  PaStreamParameters params{};
  params.device = device.paIndex;
  params.channelCount = channels;
  params.sampleFormat = paFloat32;
  // Generous buffering by default: sound servers behind ALSA stutter with
  // tight buffers on a busy machine, and the engine is not interactive.
  const double asked = bufferSeconds > 0 ? bufferSeconds : std::max(info->defaultHighOutputLatency, 0.15);
  params.suggestedLatency = asked;
  unsigned long period = paFramesPerBufferUnspecified;
  const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
  if (api != nullptr && api->type == paALSA) {
    // On ALSA, periods of our choosing, and a buffer of as many whole
    // periods as cover what was asked (four of 2048 frames by default at
    // 44.1 kHz: the pulse plug-in's thread wakes half as often as with
    // three). Other host APIs keep their own: through WASAPI (under Wine)
    // a period of 2048 frames lost part of the first second.
    period = FramesPerTake(asked, rate, mostPerTake);
    params.suggestedLatency =
        std::max(1.0, std::ceil(asked * rate / static_cast<double>(period))) * static_cast<double>(period) / rate;
  }
  PaStream* stream = nullptr;
  const PaError rc = WithoutStderr([&] {
    return Pa_OpenStream(&stream, nullptr, &params, rate, period, paClipOff, &PortAudioOutput::Callback, output.get());
  });
  if (rc != paNoError || stream == nullptr) return nullptr;
  output->SetStream(stream);
  return output;
}

}  // namespace quav
