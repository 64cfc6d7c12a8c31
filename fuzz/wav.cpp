// Fuzz target: the WAV reader on arbitrary bytes in a memory stream.
#include <cstdlib>

#include "FuzzSupport.h"
#include "WavFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream input = fuzzsupport::InputStream(data, size);
  Twavfile file;
  const TAudioError result = file.ReadFromOpenStream(input);
  const Twavfile* wav = &file;
  if ((result == FileErr_None) != wav->Valid()) std::abort();
  if (wav->FileSize() != static_cast<int64_t>(size)) std::abort();
  if (wav->Channels() < 0 || wav->Channels() > 65535) std::abort();
  return 0;
}
