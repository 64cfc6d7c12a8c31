// The start-up floor of any program on this machine's FFmpeg and PortAudio:
// it loads the libraries the player loads, asks each for its version (so
// the linker keeps them) and prints the player's status marker. Whatever
// the player needs beyond this to show its first status line is its own.
#include <portaudio.h>

#include <cstdio>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libswresample/swresample.h>
}

int main() {
  const unsigned sum = avformat_version() + avcodec_version() + avutil_version() + swresample_version() +
                       static_cast<unsigned>(Pa_GetVersion());
  std::printf("Playing: %u\n", sum % 10);
  return 0;
}
