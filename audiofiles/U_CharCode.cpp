#include "U_CharCode.h"

#include <array>

#include "TextUtils.h"

namespace {

// Windows-1252, the system ANSI page: Latin-1 except for 0x80..0x9F. The
// five bytes the page leaves undefined map to the control characters of
// the same value, as the Windows converter does.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

static_assert(kSystemAnsiCodePage == 1252, "the table below decodes Windows-1252");

std::u16string SystemAnsiToUtf16(std::string_view bytes) {
  std::u16string text(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<uint8_t>(bytes[i]);
    text[i] = b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : char16_t(b);
  }
  return text;
}

}  // namespace

std::u16string DecodeCodePageText(std::string_view bytes, bool autoCorrect,
                                  const TCodePage& charCode) {
  if (autoCorrect && charCode.CodePage != 0 && charCode.CodePage != kSystemAnsiCodePage) {
    // The converter yields precomposed characters for the single-byte pages.
    std::u16string text = CodePageToUtf16(bytes, charCode.CodePage);
    if (!text.empty()) return text;
  }
  return SystemAnsiToUtf16(bytes);
}
