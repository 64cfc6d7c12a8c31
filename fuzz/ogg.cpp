// Ogg Vorbis reader through the facade, every getter exercised.
#include <cstdint>
#include <vector>

#include "AudioFiles.h"
#include "FuzzSupport.h"
#include "OggVorbisFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TGeneralAudioFile file(fuzzsupport::WriteInput(data, size, ".ogg"));
  const TOggVorbisFile* ogg = file.OggFile();
  if (!ogg) __builtin_trap();
  volatile int64_t sink = int64_t{file.Duration()} + file.Bitrate() + file.Samplerate() + file.Channels() + ogg->Samples();
  sink = sink + file.Title().size() + file.Year().size() + file.Track().size() + ogg->ISRC().size();
  std::vector<std::u16string> names;
  ogg->GetAllFields(names);
  for (size_t i = 0; i < names.size(); ++i) {
    sink = sink + ogg->GetPropertyByIndex(static_cast<int32_t>(i)).size();
    sink = sink + ogg->GetPropertyByFieldname(names[i]).size();
  }
  if (!file.Valid() && (file.Samplerate() != 0 || file.Channels() != 0)) __builtin_trap();
  (void)sink;
  return 0;
}
