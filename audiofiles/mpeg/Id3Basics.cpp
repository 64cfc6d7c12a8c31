#include "Id3Basics.h"

#include <cstdio>
#include <cstring>

void TID3v1Structure::Decode(const uint8_t bytes[kSize]) {
  std::memcpy(ID, bytes, 3);
  std::memcpy(Title, bytes + 3, 30);
  std::memcpy(Artist, bytes + 33, 30);
  std::memcpy(Album, bytes + 63, 30);
  std::memcpy(Year, bytes + 93, 4);
  std::memcpy(Comment, bytes + 97, 30);
  Genre = bytes[127];
}

std::string RemoveUnsynchronisation(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    out.push_back(bytes[i]);
    // FF 00: keep the FF, drop the 00 that was inserted behind it.
    if (static_cast<uint8_t>(bytes[i]) == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == '\0') ++i;
  }
  return out;
}

bool IsValidFrameID(std::string_view id, uint8_t version) {
  const size_t wanted = version == 2 ? 3 : 4;
  if (id.size() != wanted) return false;
  for (char c : id) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!ok) return false;
  }
  return true;
}

void ShowId3ErrorBox(const std::string& message) {
  std::fprintf(stderr, "Error: %s\n", message.c_str());
  std::fflush(stderr);
}
