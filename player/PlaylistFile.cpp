#include "PlaylistFile.h"

#include <algorithm>
#include <cctype>

#include "Console.h"
#include "FileAccess.h"
#include "NativeFiles.h"
#include "Settings.h"
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

namespace {

std::string_view TrimmedView(std::string_view s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// "File12" with prefix "file": 12; 0 when the key is something else.
int KeyNumber(std::string_view key, std::string_view prefix) {
  if (key.size() <= prefix.size() || key.size() > prefix.size() + 6 || !SameText(key.substr(0, prefix.size()), prefix))
    return 0;
  int n = 0;
  for (char c : key.substr(prefix.size())) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n;
}

std::vector<PlaylistLine> ParsePls(const std::vector<std::string>& lines) {
  std::vector<PlaylistLine> entries;
  const auto entry = [&](int number) -> PlaylistLine& {
    auto it = std::find_if(entries.begin(), entries.end(), [&](const PlaylistLine& e) { return e.Number == number; });
    if (it != entries.end()) return *it;
    entries.push_back(PlaylistLine{number, {}, {}});
    return entries.back();
  };
  for (const std::string& line : lines) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string_view key = TrimmedView(std::string_view(line).substr(0, equals));
    const std::string value = line.substr(equals + 1);
    if (const int n = KeyNumber(key, "file"))
      entry(n).Name = value;
    else if (const int t = KeyNumber(key, "title"))
      entry(t).Title = value;
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const PlaylistLine& a, const PlaylistLine& b) { return a.Number < b.Number; });
  return entries;
}

bool IsAbsoluteName(std::string_view name) {
  if (!name.empty() && PathSeparators().find(name[0]) != std::string_view::npos) return true;
#ifdef _WIN32
  if (name.size() >= 3 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':' &&
      PathSeparators().find(name[2]) != std::string_view::npos)
    return true;
#endif
  return false;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::vector<PlaylistLine> ParsePlaylist(std::string_view text) {
  const std::vector<std::string> lines = SplitPlaylistLines(text);
  const auto first =
      std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return !TrimmedView(l).empty(); });
  if (first != lines.end() && SameText(TrimmedView(*first), "[playlist]")) return ParsePls(lines);
  std::vector<PlaylistLine> out;
  out.reserve(lines.size());
  int number = 0;
  for (const std::string& line : lines) {
    ++number;
    // "#EXTM3U", "#EXTINF:..." and any other comment name no file.
    out.push_back(PlaylistLine{number, line.rfind('#', 0) == 0 ? std::string() : line, {}});
  }
  return out;
}

std::vector<PlaylistLine> ReadPlaylist(const std::string& path) {
  std::string text = ReadFileBytes(path);
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  std::u16string checked;
  if (!TryUtf8ToUtf16(text, checked))
    throw EEncodingError("No mapping for the Unicode character exists in the target multi-byte code page");
  return ParsePlaylist(text);
}

std::string FileUrlPath(std::string_view name) {
  constexpr std::string_view kScheme = "file://";
  if (name.size() <= kScheme.size() || !SameText(name.substr(0, kScheme.size()), kScheme)) return {};
  std::string_view rest = name.substr(kScheme.size());
  const size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return {};
  const std::string_view host = rest.substr(0, slash);
  if (!host.empty() && !SameText(host, "localhost")) return {};
  rest = rest.substr(slash);
#ifdef _WIN32
  // file:///C:/Music/a.mp3
  if (rest.size() >= 3 && std::isalpha(static_cast<unsigned char>(rest[1])) && rest[2] == ':') rest.remove_prefix(1);
#endif
  std::string path;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() && HexValue(rest[i + 1]) >= 0 && HexValue(rest[i + 2]) >= 0) {
      path += static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
      i += 2;
    } else {
      path += rest[i];
    }
  }
  return path;
}

std::string ResolvePlaylistName(const std::string& name, const std::string& playlistPath) {
  if (name.empty()) return {};
  if (const std::string local = FileUrlPath(name); !local.empty()) return IsExistingFile(local) ? local : std::string();
  if (IsAbsoluteName(name)) return IsExistingFile(name) ? name : std::string();
  const size_t slash = playlistPath.find_last_of(PathSeparators());
  if (slash != std::string::npos) {
    const std::string beside = playlistPath.substr(0, slash + 1) + name;
    if (IsExistingFile(beside)) return beside;
  }
  return IsExistingFile(name) ? name : std::string();
}
