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
std::string HeaderFirstLine(int number, const std::string& path, const HeaderTags& tags, uint32_t totalSeconds,
                            std::optional<int> count);

// "Bitrate:  <kbit> kBit/s Channels: <n> Type: <name>", without the line end.
std::string HeaderSecondLine(int32_t bitrate, int32_t channels, const std::u16string& typeName);

// For files the tag library does not read, the header's texts come from
// the engine. The first value of a tag name (ASCII letters compared without
// case) in the engine's list of "name=value" strings, each ended by a NUL,
// the list by a second one; empty when absent or when the list is null.
std::string EngineTagValue(const char* tags, std::string_view name);
// The type shown for such a file: the codec's descriptive name, or for
// plain PCM (the codec's short name begins with "pcm_") the container's.
std::string EngineTypeName(const char* codec, const char* codecName, const char* containerName);

// True when the first 1000 bytes are UTF-8 (ASCII, a byte-order mark and
// accented names included; a sequence cut by the 1000-byte limit counts
// when it begins well). An empty file counts as text. Raises EFOpenError
// when the file cannot be read.
bool LooksLikeTextFile(const std::string& path);

// The 24 bytes that open an MP4 file-type box of a DASH audio download.
bool IsDashAudioHeader(std::string_view firstBytes);

// Writes the conversion advice when the file starts like a DASH audio
// download. Raises EFOpenError when the file cannot be read.
void AdviseOnDashFile(const std::string& path);

// An entry of a folder or playlist that the engine cannot open: "can't play
// <shown>" (the entry as the list names it), then the DASH advice when the
// file at path starts like one. A file that cannot even be read gets the
// reason on standard error instead, and the list goes on. Pipes and
// devices are not read.
void ReportUnplayableEntry(const std::string& shown, const std::string& path);
