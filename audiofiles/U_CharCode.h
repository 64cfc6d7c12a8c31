// The code-page setting of the ID3 classes: which 8-bit code page their
// text in encoding 0 (and all ID3v1 text) is decoded with when the
// owner asks for it.
#pragma once

#include <cstdint>
#include <string>

struct TCodePage {
  std::u16string Description = u"System default";
  // Windows code page number; 0 = the system ANSI code page.
  uint32_t CodePage = 0;
  // Position in a caller's list of code pages; reading ignores it.
  int32_t Index = 0;
};

// The setting every tag and frame starts with.
inline TCodePage DefaultCodePage() { return TCodePage{}; }
