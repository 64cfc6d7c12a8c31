#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "NativeFiles.h"

TNativeFile::~TNativeFile() { Close(); }

void TNativeFile::Close() {
  if (fHandle != kClosed) ::close(static_cast<int>(fHandle));
  fHandle = kClosed;
  fSize = 0;
}

bool TNativeFile::Open(const std::string& name, std::string& reason) {
  Close();
  // O_NONBLOCK: opening a named pipe must not wait for a writer; it is then
  // refused below. Reads of regular files are not affected by the flag.
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    reason = SystemErrorText(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    reason = "Not a regular file";
    return false;
  }
  fHandle = fd;
  fSize = st.st_size;
  return true;
}

int64_t TNativeFile::ReadAt(int64_t offset, void* buffer, int64_t count, std::string& reason) {
  auto out = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(static_cast<int>(fHandle), out + done, static_cast<size_t>(count - done), offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      reason = SystemErrorText(errno);
      return -1;
    }
    if (n == 0) break;  // the file shrank under us
    done += n;
  }
  return done;
}

int64_t TNativeFile::ReadAt(int64_t offset, void* buffer, int64_t count, void* spare, int64_t spareCount,
                            std::string& reason) {
  iovec parts[2] = {{buffer, static_cast<size_t>(count)}, {spare, static_cast<size_t>(spareCount)}};
  int64_t done = 0;
  // A short read (a signal, the file shrinking) goes on from where it
  // stopped; nothing at all means the file ends there.
  for (iovec* part = parts; part < parts + 2;) {
    if (part->iov_len == 0) {
      ++part;
      continue;
    }
    const ssize_t n = ::preadv(static_cast<int>(fHandle), part, static_cast<int>(parts + 2 - part), offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      reason = SystemErrorText(errno);
      return -1;
    }
    if (n == 0) break;
    done += n;
    for (size_t left = static_cast<size_t>(n); left > 0 && part < parts + 2;) {
      const size_t taken = std::min(left, part->iov_len);
      part->iov_base = static_cast<char*>(part->iov_base) + taken;
      part->iov_len -= taken;
      left -= taken;
      if (part->iov_len == 0) ++part;
    }
  }
  return done;
}

bool ReadFileStart(const std::string& name, size_t limit, std::string& bytes, std::string& reason) {
  bytes.clear();
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    reason = SystemErrorText(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    reason = SystemErrorText(EISDIR);
    return false;
  }
  char chunk[65536];
  while (bytes.size() < limit) {
    const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, limit - bytes.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      reason = SystemErrorText(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    bytes.append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

namespace {

// Writes every byte to fd and closes it; false, with the reason, when
// anything fails (a full disk included).
bool WriteAndClose(int fd, std::string_view bytes, bool sync, std::string& reason) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      reason = SystemErrorText(n < 0 ? errno : EIO);
      ::close(fd);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (sync && ::fsync(fd) != 0) {
    reason = SystemErrorText(errno);
    ::close(fd);
    return false;
  }
  if (::close(fd) != 0) {
    reason = SystemErrorText(errno);
    return false;
  }
  return true;
}

}  // namespace

bool WriteNamedFile(const std::string& name, std::string_view bytes, std::string& reason) {
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    reason = SystemErrorText(errno);
    return false;
  }
  return WriteAndClose(fd, bytes, false, reason);
}

bool ReplaceNamedFile(const std::string& name, std::string_view bytes, std::string& reason) {
  const std::string temporary = name + "." + std::to_string(::getpid()) + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    reason = SystemErrorText(errno);
    return false;
  }
  if (!WriteAndClose(fd, bytes, true, reason)) {
    ::unlink(temporary.c_str());
    return false;
  }
  if (::rename(temporary.c_str(), name.c_str()) != 0) {
    reason = SystemErrorText(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

bool DeleteNamedFile(const std::string& name) { return ::unlink(name.c_str()) == 0; }

TPathKind PathKindOf(const std::string& name) {
  struct stat st {};
  if (name.empty() || ::stat(name.c_str(), &st) != 0) return TPathKind::Missing;
  return S_ISDIR(st.st_mode) ? TPathKind::Directory : TPathKind::File;
}

bool IsRegularFile(const std::string& name) {
  struct stat st {};
  return !name.empty() && ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ListDirectory(const std::string& name, TDirectoryId& id, std::vector<std::string>& entries) {
  std::vector<bool> directories;
  std::string reason;
  return ListDirectory(name, id, entries, directories, reason);
}

bool ListDirectory(const std::string& name, TDirectoryId& id, std::vector<std::string>& entries,
                   std::vector<bool>& directories, std::string& reason) {
  entries.clear();
  directories.clear();
  struct stat st {};
  if (::stat(name.c_str(), &st) != 0) {
    reason = SystemErrorText(errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    reason = SystemErrorText(ENOTDIR);
    return false;
  }
  id = TDirectoryId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  DIR* dir = ::opendir(name.c_str());
  if (!dir) {
    reason = SystemErrorText(errno);
    return false;
  }
  const std::string prefix = name.empty() || name.back() == '/' ? name : name + "/";
  while (const dirent* entry = ::readdir(dir)) {
    const std::string entryName = entry->d_name;
    if (entryName == "." || entryName == "..") continue;
    entries.push_back(entryName);
    // Links, and file systems that do not say, need a look of their own.
    const bool look = entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN;
    directories.push_back(look ? PathKindOf(prefix + entryName) == TPathKind::Directory : entry->d_type == DT_DIR);
  }
  ::closedir(dir);
  return true;
}

std::string_view PathSeparators() { return "/"; }
char PreferredSeparator() { return '/'; }

std::string FullPathName(const std::string& name) {
  std::error_code ec;
  const auto full = std::filesystem::absolute(name, ec);
  return ec ? name : full.lexically_normal().string();
}

std::string ProgramPath() {
  std::string buffer(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return {};
  buffer.resize(static_cast<size_t>(n));
  return buffer;
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

void UseBinaryStandardStreams() {}

std::string SystemErrorText(int code) { return std::strerror(code); }
