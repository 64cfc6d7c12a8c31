#include <gtest/gtest.h>

#include "TextUtils.h"
#include "U_CharCode.h"

namespace {

TEST(CharCode, DefaultSettingIsSystemPage) {
  const TCodePage page;
  EXPECT_EQ(page.Description, u"System default");
  EXPECT_EQ(page.CodePage, 0u);
  EXPECT_EQ(page.Index, 0);
  EXPECT_EQ(DefaultCodePage(), page);
}

TEST(CharCode, SystemPageIsWindows1252) {
  const TCodePage page;
  EXPECT_EQ(DecodeCodePageText("Abc", false, page), u"Abc");
  // 0x80 is the euro sign in Windows-1252, 0xE9 e with acute.
  EXPECT_EQ(DecodeCodePageText("\x80\xE9", false, page), u"\u20AC\u00E9");
  EXPECT_EQ(DecodeCodePageText("", false, page), u"");
  // Every byte decodes to one character; the page's five gaps become the
  // control characters of the same value.
  EXPECT_EQ(DecodeCodePageText("\x81\x8D\x8F\x90\x9D", false, page), u"\u0081\u008D\u008F\u0090\u009D");
  EXPECT_EQ(DecodeCodePageText("\x9F\xA0\xFF", false, page), u"\u0178\u00A0\u00FF");
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::u16string decoded = DecodeCodePageText(all, false, page);
  ASSERT_EQ(decoded.size(), 256u);
  // The table agrees with the encoder of the text helpers, byte for byte.
  for (int b = 0; b < 256; ++b) {
    if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;
    EXPECT_EQ(static_cast<uint8_t>(Utf16ToAnsi(decoded.substr(b, 1))[0]), b) << b;
  }
  // Nothing is trimmed here; zero bytes stay.
  EXPECT_EQ(DecodeCodePageText(std::string_view(" a\0", 3), false, page), std::u16string(u" a\0", 3));
}

TEST(CharCode, ChosenPageOnlyWithAutoCorrect) {
  TCodePage cyrillic;
  cyrillic.CodePage = 1251;
  // 0xC0 0xE1: capital A and small be in Windows-1251.
  EXPECT_EQ(DecodeCodePageText("\xC0\xE1", true, cyrillic), u"\u0410\u0431");
  EXPECT_EQ(DecodeCodePageText("\xC0\xE1", false, cyrillic), u"\u00C0\u00E1");

  TCodePage greek;
  greek.CodePage = 1253;
  EXPECT_EQ(DecodeCodePageText("\xE1", true, greek), u"\u03B1");

  // Windows-1258 writes accents as combining marks after the letter;
  // they come out precomposed: a + 0xEC (combining acute) is a-acute.
  TCodePage vietnamese;
  vietnamese.CodePage = 1258;
  EXPECT_EQ(DecodeCodePageText("a\xEC", true, vietnamese), u"\u00E1");

  TCodePage utf8;
  utf8.CodePage = 65001;
  EXPECT_EQ(DecodeCodePageText("\xC3\xA4", true, utf8), u"\u00E4");
}

TEST(CharCode, UnknownPageFallsBackToSystemPage) {
  TCodePage bogus;
  bogus.CodePage = 4242;
  EXPECT_EQ(DecodeCodePageText("\xE9t\xE9", true, bogus), u"\u00E9t\u00E9");
}

}  // namespace
