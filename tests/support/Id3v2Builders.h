// Builders for ID3v2 frames and tags (major versions 2, 3 and 4).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "TestSupport.h"
#include "TextUtils.h"

namespace mp3build {

// Frame header flag bytes.
inline constexpr uint8_t kV3Compression = 0x80, kV3Encryption = 0x40, kV3Grouping = 0x20;
inline constexpr uint8_t kV4Grouping = 0x40, kV4Compression = 0x08, kV4Encryption = 0x04, kV4Unsync = 0x02,
                         kV4DataLength = 0x01;
// Tag header flags.
inline constexpr uint8_t kTagUnsync = 0x80, kTagExtended = 0x40, kTagFooter = 0x10;

// A frame: header in the version's layout (v2 24-bit size, v3 32-bit
// big-endian, v4 seven bits per byte) followed by the content as given.
// `size` overrides the announced size when not ~0u.
inline std::string Id3v2Frame(uint8_t version, std::string_view id, std::string_view content, uint8_t statusFlags = 0,
                              uint8_t formatFlags = 0, uint32_t size = ~0u) {
  const uint32_t n = size == ~0u ? static_cast<uint32_t>(content.size()) : size;
  testsupport::Bytes b;
  b.raw(id);
  if (version == 2) {
    b.u24be(n);
  } else {
    if (version == 4)
      b.syncsafe(n);
    else
      b.u32be(n);
    b.u8(statusFlags).u8(formatFlags);
  }
  b.raw(content);
  return b.str();
}

// Text content: encoding byte, then the text in that encoding
// (0 Latin-1, 1 UTF-16LE with FF FE, 2 UTF-16BE, 3 UTF-8).
inline std::string EncodedText(uint8_t encoding, std::u16string_view text) {
  testsupport::Bytes b;
  switch (encoding) {
    case 1: b.u8(0xFF).u8(0xFE).utf16le(text); break;
    case 2:
      for (char16_t c : text) b.u16be(c);
      break;
    case 3: b.raw(Utf16ToUtf8(text)); break;
    default:
      for (char16_t c : text) b.u8(c);
      break;
  }
  return b.str();
}
inline std::string TextContent(uint8_t encoding, std::u16string_view text) {
  return std::string(1, static_cast<char>(encoding)) + EncodedText(encoding, text);
}
// The terminator of a description in an encoding.
inline std::string Terminator(uint8_t encoding) {
  return encoding == 1 || encoding == 2 ? std::string(2, '\0') : std::string(1, '\0');
}

// An 8-bit text frame.
inline std::string Id3v2TextFrame(uint8_t version, std::string_view id, std::string_view text) {
  return Id3v2Frame(version, id, std::string(1, '\0') + std::string(text));
}

// COMM/USLT content: encoding, language, description, terminator, text.
inline std::string CommentContent(uint8_t encoding, std::string_view language, std::u16string_view description,
                                  std::u16string_view text) {
  return std::string(1, static_cast<char>(encoding)) + std::string(language) + EncodedText(encoding, description) +
         Terminator(encoding) + EncodedText(encoding, text);
}

// Inserts a zero byte behind every FF that is followed by a byte of
// 0xE0 or more, by 00, or by nothing.
inline std::string Unsynchronise(std::string_view bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    out.push_back(bytes[i]);
    if (static_cast<uint8_t>(bytes[i]) != 0xFF) continue;
    if (i + 1 == bytes.size() || static_cast<uint8_t>(bytes[i + 1]) >= 0xE0 || bytes[i + 1] == '\0')
      out.push_back('\0');
  }
  return out;
}

// A tag: "ID3", version, revision 0, flags, seven-bit size of the body
// (frames + padding; also any extended header the caller put in `body`),
// the body, `padding` zero bytes and, with kTagFooter in version 4, a
// footer "3DI" that repeats the header.
inline std::string Id3v2Tag(uint8_t version, std::string_view body, uint8_t flags = 0, uint32_t padding = 0) {
  testsupport::Bytes header;
  header.raw("ID3").u8(version).u8(0).u8(flags).syncsafe(static_cast<uint32_t>(body.size() + padding));
  testsupport::Bytes b = header;
  b.raw(body).zeros(padding);
  if (version == 4 && (flags & kTagFooter)) b.raw("3DI").raw(header.str().substr(3));
  return b.str();
}

// A tag with title and artist text frames in the version's IDs, and
// optional padding.
inline std::string SimpleId3v2Tag(uint8_t version, std::string_view title, std::string_view artist,
                                  uint32_t padding = 0) {
  const bool v2 = version == 2;
  return Id3v2Tag(
      version,
      Id3v2TextFrame(version, v2 ? "TT2" : "TIT2", title) + Id3v2TextFrame(version, v2 ? "TP1" : "TPE1", artist), 0,
      padding);
}

}  // namespace mp3build
