// Ogg Vorbis reader on a memory stream, every getter exercised.
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "OggVorbisFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream input = fuzzsupport::InputStream(data, size);
  TOggVorbisFile file;
  file.ReadFromOpenStream(input);
  const TOggVorbisFile* ogg = &file;
  // Unsigned: the sum only keeps the values alive, and may wrap.
  volatile uint64_t sink = uint64_t(file.Duration()) + uint64_t(file.Bitrate()) + uint64_t(file.Samplerate()) +
                           uint64_t(file.Channels()) + uint64_t(ogg->Samples());
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
