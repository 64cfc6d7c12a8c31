// Small helpers shared by the ID3 tag and frame classes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
