// Fuzz target: the WAV reader on arbitrary bytes in a ".wav" file.
#include <cstdlib>

#include "AudioFiles.h"
#include "FuzzSupport.h"
#include "WavFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzsupport::WriteInput(data, size, ".wav");
  TGeneralAudioFile file(path);
  const Twavfile* wav = file.WavFile();
  if (!wav) std::abort();
  if ((file.LastError() == FileErr_None) != wav->Valid()) std::abort();
  if (wav->FileSize() != static_cast<int64_t>(size)) std::abort();
  if (wav->Channels() < 0 || wav->Channels() > 65535) std::abort();
  return 0;
}
