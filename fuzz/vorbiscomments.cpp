// The comment block reader alone, on memory. The first byte chooses the
// form (bit 0: FLAC form without header) and whether the block size is
// known (bit 1: unknown); the second shortens the size the caller gives.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "VorbisComments.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const bool skipHeader = data[0] & 1;
  const bool unknownSize = data[0] & 2;
  const int64_t blockSize = unknownSize ? -1 : std::max<int64_t>(0, int64_t(size) - 2 - data[1]);
  TMemoryStream stream(std::string("PRE") + std::string(reinterpret_cast<const char*>(data + 2), size - 2));
  stream.Seek(3);
  TVorbisComments comments;
  const bool valid = comments.ReadFromStream(stream, blockSize, skipHeader);
  if (blockSize >= 0 && stream.Position() != 3 + blockSize) __builtin_trap();
  if (valid != comments.ValidComment()) __builtin_trap();
  std::vector<std::u16string> names;
  comments.GetAllFields(names);
  if (static_cast<int32_t>(names.size()) != comments.Count()) __builtin_trap();
  volatile size_t sink = comments.Date().size() + comments.Title().size();
  for (size_t i = 0; i < names.size(); ++i) sink = sink + comments.GetPropertyByFieldname(names[i]).size();
  (void)sink;
  return 0;
}
