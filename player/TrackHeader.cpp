#include "TrackHeader.h"

#include <cstring>

#include "Console.h"
#include "FileAccess.h"
#include "NativeFiles.h"
#include "TextUtils.h"

std::string BareName(std::string_view path) {
  const size_t slash = path.find_last_of(PathSeparators());
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name);
}

std::string HeaderFirstLine(int number, const std::string& path, const HeaderTags& tags, uint32_t totalSeconds,
                            std::optional<int> count) {
  std::string line = "Playing file: " + std::to_string(number) + " ";
  line += tags.Title.empty() ? ConsoleName(BareName(path)) : ConsoleText(tags.Title);
  if (!tags.Artist.empty()) line += " Artist: " + ConsoleText(tags.Artist);
  if (!tags.Album.empty()) line += " Album: " + ConsoleText(tags.Album);
  if (!tags.Genre.empty()) line += " Genre: " + ConsoleText(tags.Genre);
  line += Format(" %u:%.2u", totalSeconds / 60, totalSeconds % 60);
  if (count) line += Format(" from %d", *count);
  return line;
}

std::string HeaderSecondLine(int32_t bitrate, int32_t channels, const std::u16string& typeName) {
  return Format("Bitrate:  %d kBit/s Channels: %d Type: ", bitrate / 1000, channels) + ConsoleText(typeName);
}

std::string EngineTagValue(const char* tags, std::string_view name) {
  if (tags == nullptr) return {};
  for (const char* entry = tags; *entry != '\0'; entry += std::strlen(entry) + 1) {
    const std::string_view text(entry);
    const size_t equals = text.find('=');
    if (equals != std::string_view::npos && SameText(text.substr(0, equals), name))
      return std::string(text.substr(equals + 1));
  }
  return {};
}

std::string EngineTypeName(const char* codec, const char* codecName, const char* containerName) {
  const std::string_view shortName = codec ? codec : "";
  const bool pcm = shortName.rfind("pcm_", 0) == 0;
  const char* shown = pcm ? containerName : codecName;
  if (shown == nullptr || *shown == '\0') shown = codec;
  return shown ? shown : "";
}

namespace {

constexpr std::string_view kDashHeader{
    "\x00\x00\x00\x18"
    "ftypdash"
    "\x00\x00\x00\x00"
    "iso6mp41",
    24};

}  // namespace

namespace {

constexpr size_t kTextTestBytes = 1000;

// UTF-8 text, where the last sequence may have been cut off after `bytes`:
// it counts when some continuation would complete it validly (so E0 80 or
// ED A0, which nothing completes, still refuse).
bool IsUtf8Start(std::string_view bytes, bool cut) {
  std::u16string ignored;
  if (TryUtf8ToUtf16(bytes, ignored)) return true;
  if (!cut) return false;
  for (size_t k = 1; k <= 3 && k <= bytes.size(); ++k) {
    const auto lead = static_cast<uint8_t>(bytes[bytes.size() - k]);
    if (lead < 0x80) return false;
    if (lead < 0xC0) continue;  // a continuation byte: the lead is further back
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (length <= k) return false;  // complete, and invalid
    std::string completed(bytes);
    for (size_t n = k; n < length; ++n) {
      // The smallest byte that may follow the lead: E0 and F0 forbid
      // overlong forms.
      const char next = n > 1 ? '\x80' : lead == 0xE0 ? '\xA0' : lead == 0xF0 ? '\x90' : '\x80';
      completed += next;
    }
    return TryUtf8ToUtf16(completed, ignored);
  }
  return false;
}

}  // namespace

bool LooksLikeTextFile(const std::string& path) {
  // One byte more than is tested tells whether the limit cut the file.
  const std::string start = ReadFileBytes(path, kTextTestBytes + 1);
  const bool cut = start.size() > kTextTestBytes;
  return IsUtf8Start(std::string_view(start).substr(0, kTextTestBytes), cut);
}

bool IsDashAudioHeader(std::string_view firstBytes) {
  return firstBytes.size() >= kDashHeader.size() && firstBytes.substr(0, kDashHeader.size()) == kDashHeader;
}

void AdviseOnDashFile(const std::string& path) {
  if (IsDashAudioHeader(ReadFileBytes(path, kDashHeader.size())))
    console::WriteLine("Convert YouTube DASH audio to m4a: ffmpeg -i input_file -vn -acodec copy output.m4a");
}

void ReportUnplayableEntry(const std::string& shown, const std::string& path) {
  console::WriteLine("can't play " + ConsoleName(shown));
  // A pipe or a device is not read: that could wait forever.
  if (PathKindOf(path) == TPathKind::File && !IsRegularFile(path)) return;
  try {
    AdviseOnDashFile(path);
  } catch (const EFOpenError& e) {
    console::WriteErrorLine(ConsoleName(e.what()));
  }
}
