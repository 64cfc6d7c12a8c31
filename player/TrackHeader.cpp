#include "TrackHeader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Console.h"
#include "TextUtils.h"

std::string BareName(std::string_view path) {
  const size_t slash = path.rfind('/');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name);
}

std::string HeaderFirstLine(int number, const std::string& path, const HeaderTags& tags,
                            uint32_t totalSeconds, std::optional<int> count) {
  std::string line = "Playing file: " + std::to_string(number) + " ";
  line += tags.Title.empty() ? BareName(path) : Utf16ToUtf8(tags.Title);
  if (!tags.Artist.empty()) line += " Artist: " + Utf16ToUtf8(tags.Artist);
  if (!tags.Album.empty()) line += " Album: " + Utf16ToUtf8(tags.Album);
  if (!tags.Genre.empty()) line += " Genre: " + Utf16ToUtf8(tags.Genre);
  line += Format(" %u:%.2u", totalSeconds / 60, totalSeconds % 60);
  if (count) line += Format(" from %d", *count);
  return line;
}

std::string HeaderSecondLine(int32_t bitrate, int32_t channels, const std::u16string& typeName) {
  return Format("Bitrate:  %d kBit/s Channels: %d Type: ", bitrate / 1000, channels) +
         Utf16ToUtf8(typeName);
}

namespace {

// Reads up to `limit` bytes from the start of a file. A directory or a file
// that cannot be opened raises EFOpenError.
std::string ReadFileStart(const std::string& path, size_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw EFOpenError(CannotOpenMessage(path, errno));
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw EFOpenError(CannotOpenMessage(path, EISDIR));
  }
  std::string bytes(limit, '\0');
  size_t got = 0;
  while (got < limit) {
    const ssize_t n = ::read(fd, bytes.data() + got, limit - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  bytes.resize(got);
  return bytes;
}

constexpr std::string_view kDashHeader{
    "\x00\x00\x00\x18"
    "ftypdash"
    "\x00\x00\x00\x00"
    "iso6mp41",
    24};

}  // namespace

bool LooksLikeTextFile(const std::string& path) {
  for (unsigned char c : ReadFileStart(path, 1000))
    if (c >= 0x80) return false;
  return true;
}

bool IsDashAudioHeader(std::string_view firstBytes) {
  return firstBytes.size() >= kDashHeader.size() && firstBytes.substr(0, kDashHeader.size()) == kDashHeader;
}

void AdviseOnDashFile(const std::string& path) {
  if (IsDashAudioHeader(ReadFileStart(path, kDashHeader.size())))
    console::WriteLine("Convert YouTube DASH audio to m4a: ffmpeg -i input_file -vn -acodec copy output.m4a");
}
