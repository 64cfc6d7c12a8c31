// Reading an M3U playlist: UTF-8 text, one file name per line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Splits text at CR LF, LF or CR; a line end after the last line adds no
// empty line. Lines keep their blanks.
std::vector<std::string> SplitPlaylistLines(std::string_view text);

// Reads the whole file as UTF-8, skipping a byte-order mark, and returns its
// lines. Raises EEncodingError when the bytes are not valid UTF-8 and
// EFOpenError when the file cannot be read.
std::vector<std::string> ReadPlaylistLines(const std::string& path);
