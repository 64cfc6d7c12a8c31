#include "U_CharCode.h"

#include "TextUtils.h"

namespace {

// The system ANSI page is a superset of ASCII; pure ASCII text (most tag
// text) is widened directly instead of going through the converter.
std::u16string SystemAnsiToUtf16(std::string_view bytes) {
  for (char c : bytes)
    if (static_cast<uint8_t>(c) >= 0x80) return AnsiToUtf16(bytes);
  return std::u16string(bytes.begin(), bytes.end());
}

}  // namespace

std::u16string DecodeCodePageText(std::string_view bytes, bool autoCorrect,
                                  const TCodePage& charCode) {
  if (autoCorrect) {
    // The converter yields precomposed characters for the single-byte pages.
    std::u16string text = CodePageToUtf16(bytes, charCode.CodePage);
    if (!text.empty()) return text;
  }
  return SystemAnsiToUtf16(bytes);
}
