// Fixture builders shared by the tests: byte strings, temporary files and
// running the built programs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// Builds byte strings field by field.
class Bytes {
 public:
  Bytes() = default;
  Bytes(std::string_view raw) : fData(raw) {}  // NOLINT: implicit on purpose

  Bytes& raw(std::string_view s) {
    fData.append(s);
    return *this;
  }
  Bytes& zeros(size_t n) {
    fData.append(n, '\0');
    return *this;
  }
  Bytes& fill(size_t n, uint8_t b) {
    fData.append(n, static_cast<char>(b));
    return *this;
  }
  Bytes& u8(uint32_t v) {
    fData.push_back(static_cast<char>(v));
    return *this;
  }
  Bytes& u16le(uint32_t v) { return u8(v).u8(v >> 8); }
  Bytes& u16be(uint32_t v) { return u8(v >> 8).u8(v); }
  Bytes& u24be(uint32_t v) { return u8(v >> 16).u8(v >> 8).u8(v); }
  Bytes& u32le(uint32_t v) { return u16le(v).u16le(v >> 16); }
  Bytes& u32be(uint32_t v) { return u16be(v >> 16).u16be(v); }
  Bytes& u64le(uint64_t v) { return u32le(static_cast<uint32_t>(v)).u32le(static_cast<uint32_t>(v >> 32)); }
  // ID3v2 synchsafe 28-bit integer.
  Bytes& syncsafe(uint32_t v) { return u8((v >> 21) & 0x7F).u8((v >> 14) & 0x7F).u8((v >> 7) & 0x7F).u8(v & 0x7F); }
  // UTF-16LE code units of a UTF-16 string.
  Bytes& utf16le(std::u16string_view s) {
    for (char16_t c : s) u16le(c);
    return *this;
  }
  Bytes& append(const Bytes& other) {
    fData.append(other.fData);
    return *this;
  }

  size_t size() const { return fData.size(); }
  const std::string& str() const { return fData; }
  operator const std::string&() const { return fData; }  // NOLINT

 private:
  std::string fData;
};

// A fresh directory below the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return fPath; }
  // Writes bytes to name (relative to the directory; folders are created)
  // and returns the full path as a string.
  std::string write(const std::string& name, std::string_view bytes) const;
  std::string file(const std::string& name) const { return (fPath / name).string(); }

 private:
  std::filesystem::path fPath;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, std::string_view bytes);

struct RunResult {
  int exitCode = -1;  // 128 + the signal's number when killed by one
  std::string out;
  std::string err;
  double seconds = 0;         // start to exit
  double markerSeconds = -1;  // start to the marker's first appearance in out
};

struct RunOptions {
  std::string cwd;                   // empty: this process's directory
  std::optional<std::string> input;  // standard input; /dev/null without
  std::vector<std::string> env;      // "NAME=value" settings added to the environment
  double timeoutSeconds = 0;         // the program is killed after this; 0: never
  std::string marker;                // timed when it first shows in the output
};

// Runs argv[0] (looked up on PATH) with its arguments and captures both
// output streams.
RunResult Run(const std::vector<std::string>& argv, const RunOptions& options);
// The same with standard input from `input`, or from /dev/null without.
RunResult Run(const std::vector<std::string>& argv, const std::string* input = nullptr);

// Seconds on a monotonic clock.
double Now();

// True when a program is found on PATH.
bool HaveProgram(const std::string& name);

// Runs a shell command line; true when it exits 0. Output is discarded.
bool Shell(const std::string& command);

// A short 440 Hz tone made by ffmpeg at test time, `seconds` long at `rate`
// Hz on `channels` channels, written to path as its extension says or as
// `args` (ffmpeg's output options: codec, bitrate, tags) choose. False
// when ffmpeg fails or is missing.
bool EncodeTone(const std::string& path, double seconds, int rate, int channels, const std::string& args = "");

// The build tree's path of a program target (tools/quavtag, player/quavlin...).
std::string BuiltProgram(const std::string& relative);

}  // namespace testsupport
