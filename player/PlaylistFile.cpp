#include "PlaylistFile.h"

#include "Console.h"
#include "TextUtils.h"

std::vector<std::string> SplitPlaylistLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

std::vector<std::string> ReadPlaylistLines(const std::string& path) {
  std::string text = ReadFileBytes(path);
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  std::u16string checked;
  if (!TryUtf8ToUtf16(text, checked))
    throw EEncodingError("No mapping for the Unicode character exists in the target multi-byte code page");
  return SplitPlaylistLines(text);
}
