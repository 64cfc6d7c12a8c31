// The start-up floor of any program on this machine's FFmpeg and PortAudio
// (and, on Linux, sd-bus, which the media controls speak D-Bus through): it
// loads the libraries the player loads, asks each for something (so the
// linker keeps them) and prints the player's status marker. Whatever the
// player needs beyond this to show its first status line is its own.
#include <portaudio.h>
#include <systemd/sd-bus.h>

#include <cstdio>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libswresample/swresample.h>
}

int main() {
  const unsigned sum = avformat_version() + avcodec_version() + avutil_version() + swresample_version() +
                       static_cast<unsigned>(Pa_GetVersion()) + (sd_bus_unref(nullptr) == nullptr ? 1u : 0u);
  // Flushed now, as the player writes its status line: a marker left in
  // the buffer would only show after the libraries' exit work.
  std::printf("Playing: %u\n", sum % 10);
  std::fflush(stdout);
  return 0;
}
