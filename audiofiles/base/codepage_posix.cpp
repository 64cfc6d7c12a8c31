// Code pages on POSIX systems: iconv for the pages other than UTF-8 and
// Windows-1252, which stands in for the system's ANSI code page.
#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "TextUtils.h"

namespace {

constexpr uint32_t kWindows1252 = 1252;
constexpr uint32_t kUtf8 = 65001;
constexpr char16_t kReplacement = 0xFFFD;

// iconv descriptors are cached per code page; conversion holds the lock.
// The descriptors are closed at exit.
const iconv_t kNoDecoder = reinterpret_cast<iconv_t>(-1);
struct IconvCache {
  std::unordered_map<uint32_t, iconv_t> decoders;
  ~IconvCache() {
    for (const auto& entry : decoders)
      if (entry.second != kNoDecoder) iconv_close(entry.second);
  }
};
std::mutex gIconvLock;
IconvCache gIconvCache;

iconv_t DecoderFor(uint32_t codePage) {
  auto it = gIconvCache.decoders.find(codePage);
  if (it != gIconvCache.decoders.end()) return it->second;
  const std::string name = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-16LE", name.c_str());
  gIconvCache.decoders.emplace(codePage, cd);
  return cd;
}

}  // namespace

uint32_t SystemAnsiCodePage() { return kWindows1252; }

std::u16string CodePageToUtf16(std::string_view bytes, uint32_t codePage) {
  if (bytes.empty()) return {};
  if (codePage == 0) codePage = SystemAnsiCodePage();
  if (codePage == kUtf8) return Utf8ToUtf16(bytes);
  if (codePage == kWindows1252) return Windows1252ToUtf16(bytes);
  std::lock_guard<std::mutex> lock(gIconvLock);
  iconv_t cd = DecoderFor(codePage);
  if (cd == kNoDecoder) return {};
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string in(bytes);
  std::string out(bytes.size() * 4 + 16, '\0');
  char* inPtr = in.data();
  size_t inLeft = in.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  std::u16string result;
  while (inLeft > 0) {
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    if (rc != static_cast<size_t>(-1)) break;
    if (errno == EILSEQ || errno == EINVAL) {
      // A byte the page does not define: keep going with a replacement.
      const char16_t repl[1] = {kReplacement};
      if (outLeft < 2) break;
      std::memcpy(outPtr, repl, 2);
      outPtr += 2;
      outLeft -= 2;
      ++inPtr;
      --inLeft;
      continue;
    }
    break;
  }
  const size_t produced = (out.size() - outLeft) / 2;
  result.resize(produced);
  for (size_t k = 0; k < produced; ++k)
    result[k] = static_cast<char16_t>(static_cast<uint8_t>(out[2 * k]) | (static_cast<uint8_t>(out[2 * k + 1]) << 8));
  return result;
}

std::u16string AnsiToUtf16(std::string_view bytes) { return CodePageToUtf16(bytes, 0); }

std::string Utf16ToAnsi(std::u16string_view text) { return Utf16ToWindows1252(text); }
