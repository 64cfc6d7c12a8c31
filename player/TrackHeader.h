// The two header lines written before a track plays, and the two small
// file tests the players use around a stream that does not open.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct HeaderTags {
  std::u16string Title, Artist, Album, Genre;
};

// The file name without its directory and without its last extension.
std::string BareName(std::string_view path);

// "Playing file: <n> <title or bare name>[ Artist: ..][ Album: ..][ Genre: ..]
// m:ss[ from <count>]", without the line end. The count is given for
// folder and playlist playback.
std::string HeaderFirstLine(int number, const std::string& path, const HeaderTags& tags,
                            uint32_t totalSeconds, std::optional<int> count);

// "Bitrate:  <kbit> kBit/s Channels: <n> Type: <name>", without the line end.
std::string HeaderSecondLine(int32_t bitrate, int32_t channels, const std::u16string& typeName);

// True when none of the first 1000 bytes has its top bit set (an empty file
// counts as text). Raises EFOpenError when the file cannot be read.
bool LooksLikeTextFile(const std::string& path);

// The 24 bytes that open an MP4 file-type box of a DASH audio download.
bool IsDashAudioHeader(std::string_view firstBytes);

// Writes the conversion advice when the file starts like a DASH audio
// download. Raises EFOpenError when the file cannot be read.
void AdviseOnDashFile(const std::string& path);
