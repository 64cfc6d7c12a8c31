#include <windows.h>
#include <shellapi.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>

#include "NativeFiles.h"
#include "TextUtils.h"

namespace {

std::wstring Wide(std::string_view utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

std::string Utf8(const wchar_t* text, size_t length) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Opened the way the readers want: others may go on reading and writing.
HANDLE OpenForReading(const std::string& name) {
  return ::CreateFileW(Wide(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

constexpr DWORD kMaxChunk = 1u << 30;

}  // namespace

TNativeFile::~TNativeFile() { Close(); }

void TNativeFile::Close() {
  if (fHandle != kClosed) ::CloseHandle(AsHandle(fHandle));
  fHandle = kClosed;
  fSize = 0;
}

bool TNativeFile::Open(const std::string& name, std::string& reason) {
  Close();
  const HANDLE h = OpenForReading(name);
  if (h == INVALID_HANDLE_VALUE) {
    reason = SystemErrorText(static_cast<int>(::GetLastError()));
    return false;
  }
  LARGE_INTEGER size{};
  if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileSizeEx(h, &size)) {
    ::CloseHandle(h);
    reason = "Not a regular file";
    return false;
  }
  fHandle = reinterpret_cast<intptr_t>(h);
  fSize = size.QuadPart;
  return true;
}

int64_t TNativeFile::ReadAt(int64_t offset, void* buffer, int64_t count, std::string& reason) {
  auto out = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    OVERLAPPED at{};
    const uint64_t position = static_cast<uint64_t>(offset + done);
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    const DWORD wanted = static_cast<DWORD>(std::min<int64_t>(count - done, kMaxChunk));
    DWORD got = 0;
    if (!::ReadFile(AsHandle(fHandle), out + done, wanted, &got, &at)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_HANDLE_EOF) break;
      reason = SystemErrorText(static_cast<int>(error));
      return -1;
    }
    if (got == 0) break;  // the file shrank under us
    done += got;
  }
  return done;
}

int64_t TNativeFile::ReadAt(int64_t offset, void* buffer, int64_t count, void* spare, int64_t spareCount,
                            std::string& reason) {
  const int64_t first = ReadAt(offset, buffer, count, reason);
  if (first < count) return first;
  const int64_t second = ReadAt(offset + count, spare, spareCount, reason);
  return second < 0 ? -1 : first + second;
}

bool ReadFileStart(const std::string& name, size_t limit, std::string& bytes, std::string& reason) {
  bytes.clear();
  // A directory does not open this way: the system answers access denied.
  const HANDLE h = OpenForReading(name);
  if (h == INVALID_HANDLE_VALUE) {
    reason = SystemErrorText(static_cast<int>(::GetLastError()));
    return false;
  }
  char chunk[65536];
  while (bytes.size() < limit) {
    DWORD got = 0;
    const DWORD wanted = static_cast<DWORD>(std::min(sizeof chunk, limit - bytes.size()));
    if (!::ReadFile(h, chunk, wanted, &got, nullptr)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE) break;
      reason = SystemErrorText(static_cast<int>(error));
      ::CloseHandle(h);
      return false;
    }
    if (got == 0) break;
    bytes.append(chunk, got);
  }
  ::CloseHandle(h);
  return true;
}

namespace {

// Writes every byte to h and closes it; false, with the reason, when
// anything fails (a full disk included).
bool WriteAndClose(HANDLE h, std::string_view bytes, bool flush, std::string& reason) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, kMaxChunk));
    if (!::WriteFile(h, bytes.data() + done, wanted, &written, nullptr) || written == 0) {
      reason = SystemErrorText(static_cast<int>(::GetLastError()));
      ::CloseHandle(h);
      return false;
    }
    done += written;
  }
  if (flush && !::FlushFileBuffers(h)) {
    reason = SystemErrorText(static_cast<int>(::GetLastError()));
    ::CloseHandle(h);
    return false;
  }
  if (!::CloseHandle(h)) {
    reason = SystemErrorText(static_cast<int>(::GetLastError()));
    return false;
  }
  return true;
}

}  // namespace

bool WriteNamedFile(const std::string& name, std::string_view bytes, std::string& reason) {
  const HANDLE h = ::CreateFileW(Wide(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    reason = SystemErrorText(static_cast<int>(::GetLastError()));
    return false;
  }
  return WriteAndClose(h, bytes, false, reason);
}

bool ReplaceNamedFile(const std::string& name, std::string_view bytes, std::string& reason) {
  const std::wstring temporary = Wide(name + "." + std::to_string(::GetCurrentProcessId()) + ".tmp");
  const HANDLE h = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    reason = SystemErrorText(static_cast<int>(::GetLastError()));
    return false;
  }
  if (!WriteAndClose(h, bytes, true, reason)) {
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  if (!::MoveFileExW(temporary.c_str(), Wide(name).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    reason = SystemErrorText(static_cast<int>(::GetLastError()));
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

bool DeleteNamedFile(const std::string& name) { return ::DeleteFileW(Wide(name).c_str()) != 0; }

TPathKind PathKindOf(const std::string& name) {
  if (name.empty()) return TPathKind::Missing;
  const DWORD attributes = ::GetFileAttributesW(Wide(name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return TPathKind::Missing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? TPathKind::Directory : TPathKind::File;
}

bool IsRegularFile(const std::string& name) {
  if (name.empty()) return false;
  const DWORD attributes = ::GetFileAttributesW(Wide(name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
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
  reason.clear();
  const std::wstring wide = Wide(name);
  // The identity: volume serial number and file index, as the system keeps
  // them for the directory itself (a directory opens with backup semantics).
  const HANDLE h = ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    reason = SystemErrorText(static_cast<int>(::GetLastError()));
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = ::GetFileInformationByHandle(h, &info) != 0;
  const DWORD error = known ? 0 : ::GetLastError();
  ::CloseHandle(h);
  if (!known || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    reason = SystemErrorText(static_cast<int>(known ? ERROR_DIRECTORY : error));
    return false;
  }
  id = TDirectoryId{info.dwVolumeSerialNumber, (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};

  std::wstring pattern = wide;
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return true;
    reason = SystemErrorText(static_cast<int>(error));
    return false;
  }
  const std::wstring prefix = pattern.substr(0, pattern.size() - 1);
  do {
    const std::string entry = Utf8(found.cFileName, wcslen(found.cFileName));
    if (entry == "." || entry == "..") continue;
    entries.push_back(entry);
    DWORD attributes = found.dwFileAttributes;
    // A link or junction: what it leads to.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) attributes = ::GetFileAttributesW((prefix + found.cFileName).c_str());
    directories.push_back(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return true;
}

std::string_view PathSeparators() { return "\\/"; }
char PreferredSeparator() { return '\\'; }

std::string FullPathName(const std::string& name) {
  const std::wstring wide = Wide(name);
  std::wstring full(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return name;
    if (n < full.size()) return Utf8(full.data(), n);
    full.resize(n);
  }
  return name;
}

std::string ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  // The path is cut to the buffer when it does not fit: grow and ask again.
  while (path.size() <= 32768) {
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) return Utf8(path.data(), n);
    path.resize(path.size() * 2);
  }
  return {};
}

std::vector<std::string> ProgramArguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(Utf8(wide[i], wcslen(wide[i])));
  ::LocalFree(wide);
  return arguments;
}

void UseBinaryStandardStreams() {
  std::fflush(stdout);
  std::fflush(stderr);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

std::string SystemErrorText(int code) {
  wchar_t* text = nullptr;
  const DWORD n =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::string message = n > 0 && text ? Utf8(text, n) : "System error " + std::to_string(code);
  if (text) ::LocalFree(text);
  while (!message.empty() && static_cast<unsigned char>(message.back()) <= ' ') message.pop_back();
  return message;
}
