// FLAC reader on a memory stream, every getter and the picture access
// exercised.
#include <cstdint>
#include <vector>

#include "FlacFiles.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream input = fuzzsupport::InputStream(data, size);
  TFlacFile file;
  file.ReadFromOpenStream(input);
  const TFlacFile* flac = &file;
  // Unsigned: the sum only keeps the values alive, and may wrap.
  volatile uint64_t sink = uint64_t(file.Duration()) + uint64_t(file.Bitrate()) + uint64_t(file.Samplerate()) +
                           uint64_t(file.Channels()) + uint64_t(flac->Samples());
  sink = sink + file.Title().size() + file.Genre().size() + flac->Contact().size();
  std::vector<std::u16string> names;
  flac->GetAllFields(names);
  for (size_t i = 0; i < names.size(); ++i) sink = sink + flac->GetPropertyByIndex(static_cast<int32_t>(i)).size();
  std::vector<TFlacPictureBlock*> pictures;
  flac->GetAllPictureBlocks(pictures);
  for (const TFlacPictureBlock* p : pictures) sink = sink + p->Description().size() + p->PicDataSize();
  TMemoryStream picture;
  uint32_t type = 0;
  std::string mime;
  std::u16string description;
  if (flac->GetPictureStream(picture, type, mime, description) == pictures.empty()) __builtin_trap();
  // The audio offset lies within the file, except where a leading tag
  // claims more than the file holds: it then stands where the tag ends.
  if (flac->AudioOffset() > file.FileSize() && flac->AudioOffset() != flac->FlacOffset()) __builtin_trap();
  (void)sink;
  return 0;
}
