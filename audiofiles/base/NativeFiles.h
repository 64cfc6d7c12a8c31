// The file system and the process's surroundings, on the platform's own
// terms. Names are UTF-8 throughout the programs; on Windows they are
// handed to the system as UTF-16, so a name with letters outside the ANSI
// code page opens as well as any other. One implementation per platform:
// files_posix.cpp, files_win.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A regular file opened for reading; others may read and write it
// meanwhile. Directories, pipes and devices are refused.
class TNativeFile {
 public:
  TNativeFile() = default;
  ~TNativeFile();
  TNativeFile(const TNativeFile&) = delete;
  TNativeFile& operator=(const TNativeFile&) = delete;

  // False, with the system's reason, when the file cannot be opened.
  bool Open(const std::string& name, std::string& reason);
  bool IsOpen() const { return fHandle != kClosed; }
  int64_t Size() const { return fSize; }
  // Reads up to count bytes at offset: fewer only where the file ends
  // (or has shrunk). -1, with the system's reason, on a read error.
  int64_t ReadAt(int64_t offset, void* buffer, int64_t count, std::string& reason);
  // The same for count bytes into buffer followed by spareCount bytes into
  // spare, in one system call where the platform has one; returns the bytes
  // read into both together.
  int64_t ReadAt(int64_t offset, void* buffer, int64_t count, void* spare, int64_t spareCount, std::string& reason);

 private:
  static constexpr intptr_t kClosed = -1;
  void Close();
  intptr_t fHandle = kClosed;  // a descriptor, or a HANDLE
  int64_t fSize = 0;
};

// Up to limit bytes from the start of a file of any kind but a directory
// (a pipe is read as far as it goes). False, with the system's reason, when
// it cannot be opened or read.
bool ReadFileStart(const std::string& name, size_t limit, std::string& bytes, std::string& reason);

// Creates or replaces a file with the bytes. False, with the reason, when
// it cannot be written.
bool WriteNamedFile(const std::string& name, std::string_view bytes, std::string& reason);

// The same, never leaving a half-written file: the bytes go to a new file
// beside it, which then takes the name in one step (an existing file of
// that name stays whole until then); on any failure nothing is left.
bool ReplaceNamedFile(const std::string& name, std::string_view bytes, std::string& reason);

// Removes a file; false when there was none or it could not be removed.
bool DeleteNamedFile(const std::string& name);

enum class TPathKind { Missing, File, Directory };
// What a name stands for, links followed: a file is anything that exists
// and is not a directory.
TPathKind PathKindOf(const std::string& name);
// A regular file, links followed (not a pipe, a device or a socket, which
// reading could wait on forever).
bool IsRegularFile(const std::string& name);

// Tells two directories apart: equal only for the same directory, however
// it was reached (links included).
struct TDirectoryId {
  uint64_t Volume = 0;
  uint64_t Index = 0;
  bool operator==(const TDirectoryId&) const = default;
};
// A directory's identity and the names of its entries, "." and ".."
// excepted, in the order the system gives them. False when it is no
// directory or cannot be listed.
bool ListDirectory(const std::string& name, TDirectoryId& id, std::vector<std::string>& entries);
// The same, with the system's reason when it fails, and for each entry
// whether it is a directory (links followed): from the listing itself
// where it tells, by a look at the entry otherwise.
bool ListDirectory(const std::string& name, TDirectoryId& id, std::vector<std::string>& entries,
                   std::vector<bool>& directories, std::string& reason);

// The characters that end a directory in a path ("/"; "\\/" on Windows),
// and the one put between a directory and a name.
std::string_view PathSeparators();
char PreferredSeparator();

// The name as an absolute path without "." and ".." steps; the name itself
// when that cannot be told.
std::string FullPathName(const std::string& name);

// The running program's full path; empty when it cannot be told.
std::string ProgramPath();

// The program's arguments after its name, as UTF-8 (on Windows taken from
// the UTF-16 command line rather than from argv's ANSI text).
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Standard output and standard error pass bytes on unchanged (on Windows
// the C runtime would otherwise write every LF as CR LF).
void UseBinaryStandardStreams();

// The message of a system error code (errno on POSIX, GetLastError on
// Windows), without a trailing line end.
std::string SystemErrorText(int code);
