// The code-page setting of the ID3 classes and the decoding of 8-bit tag
// text with it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Which 8-bit code page the ID3 classes use for their 8-bit text (ID3v1
// fields, ID3v2 text in encoding 0) when their AutoCorrectCodepage setting
// is on. Copied by value.
struct TCodePage {
  std::u16string Description = u"System default";  // display name
  uint32_t CodePage = 0;                           // Windows code page number; 0 = system ANSI page
  int32_t Index = 0;                               // position in a caller's list; unused by reading

  bool operator==(const TCodePage&) const = default;
};

// The setting every tag and frame starts with.
inline TCodePage DefaultCodePage() { return TCodePage{}; }

// 8-bit tag text to UTF-16, untrimmed. With autoCorrect the bytes are
// converted with charCode.CodePage (precomposed characters preferred); when
// that yields no characters (unknown page, bytes the page rejects, empty
// input) the system ANSI page is used instead. Without autoCorrect the
// system ANSI page is used directly.
std::u16string DecodeCodePageText(std::string_view bytes, bool autoCorrect, const TCodePage& charCode);
