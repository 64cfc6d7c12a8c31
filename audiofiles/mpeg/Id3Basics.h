// Small helpers shared by the ID3 tag and frame classes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The 128-byte ID3v1 tag at the very end of a file, field by field as it
// lies there:
//   0 "TAG" | 3 title 30 | 33 artist 30 | 63 album 30 | 93 year 4 |
//   97 comment 30 | 127 genre
// ID3v1.1 keeps the track in the comment's last byte when the byte before
// it is zero (Comment[28] == 0, Comment[29] != 0).
struct TID3v1Structure {
  char ID[3] = {};
  char Title[30] = {};
  char Artist[30] = {};
  char Album[30] = {};
  char Year[4] = {};
  char Comment[30] = {};
  uint8_t Genre = 0;

  static constexpr size_t kSize = 128;

  // Fills the record from 128 bytes in file layout.
  void Decode(const uint8_t bytes[kSize]);
  bool HasId() const { return ID[0] == 'T' && ID[1] == 'A' && ID[2] == 'G'; }
  // The ID3v1.1 layout: a zero byte, then a track number other than 0.
  bool HasTrack() const { return Comment[28] == 0 && Comment[29] != 0; }
};

// Undoes ID3v2 unsynchronisation: every byte pair FF 00 becomes FF; every
// other byte, the last one included, is copied.
std::string RemoveUnsynchronisation(std::string_view bytes);

// True when id is a frame ID for the tag's major version: 3 characters for
// version 2, 4 for versions 3 and 4 (and any other), each an upper-case
// ASCII letter or an ASCII digit.
bool IsValidFrameID(std::string_view id, uint8_t version);

// Reports an unexpected error met while reading an ID3 tag: one line
// "Error: <message>" on standard error. Never blocks.
void ShowId3ErrorBox(const std::string& message);
