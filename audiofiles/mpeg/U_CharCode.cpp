#include "U_CharCode.h"

#include "TextUtils.h"

std::u16string DecodeCodePageText(std::string_view bytes, bool autoCorrect, const TCodePage& charCode) {
  if (autoCorrect && charCode.CodePage != 0 && charCode.CodePage != SystemAnsiCodePage()) {
    // The converter yields precomposed characters for the single-byte pages.
    std::u16string text = CodePageToUtf16(bytes, charCode.CodePage);
    if (!text.empty()) return text;
  }
  return AnsiToUtf16(bytes);
}
