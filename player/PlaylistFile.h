// Reading playlists: M3U and M3U8 (UTF-8, one name per line, "#" lines
// are comments) and PLS ("[playlist]", File1=, Title1=), and finding the
// files their names stand for.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Splits text at CR LF, LF or CR; a line end after the last line adds no
// empty line. Lines keep their blanks.
std::vector<std::string> SplitPlaylistLines(std::string_view text);

// One line of an M3U list or one entry of a PLS list. Name is empty for a
// comment (or an entry without a file), which names no file.
struct PlaylistLine {
  int Number = 0;     // the line number (M3U) or the entry's number (PLS), from 1
  std::string Name;   // the file name or URL as written
  std::string Title;  // PLS TitleN, UTF-8; empty otherwise
};

// The lines of a playlist's text (UTF-8, without a byte-order mark): PLS
// when its first line that is not blank is "[playlist]" (any case), its
// entries in the order of their numbers; otherwise M3U, every line.
std::vector<PlaylistLine> ParsePlaylist(std::string_view text);

// Reads the whole file as UTF-8, skipping a byte-order mark, and parses it.
// Raises EEncodingError when the bytes are not valid UTF-8 and EFOpenError
// when the file cannot be read.
std::vector<PlaylistLine> ReadPlaylist(const std::string& path);

// The local path of a file:// URL ("file:///music/a%20b.mp3",
// "file://localhost/music/x.flac"), percent escapes decoded; empty for
// anything else, URLs of other hosts included.
std::string FileUrlPath(std::string_view name);

// The file a playlist name stands for: a file URL's path; an absolute
// name as it is; a relative one looked up from the playlist's folder
// first, then from the current directory. Empty when it names no existing
// file (URLs of other schemes, folders and missing files).
std::string ResolvePlaylistName(const std::string& name, const std::string& playlistPath);
