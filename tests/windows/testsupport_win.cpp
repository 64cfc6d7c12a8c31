// The test support for the Windows build, which runs under Wine: files and
// temporary directories as on Linux; running other programs is not offered
// (the tests that need it are left out of the Windows run).
#include <windows.h>

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "TestSupport.h"

namespace testsupport {

TempDir::TempDir() {
  std::random_device rd;
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = base / ("quavtest-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(rd()));
    if (std::filesystem::create_directory(candidate)) {
      fPath = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(fPath, ec);
}

std::string TempDir::write(const std::string& name, std::string_view bytes) const {
  const auto p = fPath / name;
  std::filesystem::create_directories(p.parent_path());
  WriteWholeFile(p.string(), bytes);
  return p.string();
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

RunResult Run(const std::vector<std::string>& argv, const RunOptions&) {
  throw std::runtime_error("running " + (argv.empty() ? std::string("a program") : argv.front()) +
                           " is not offered in the Windows test build");
}

RunResult Run(const std::vector<std::string>& argv, const std::string*) { return Run(argv, RunOptions{}); }

bool HaveProgram(const std::string&) { return false; }

bool Shell(const std::string&) { return false; }

bool EncodeTone(const std::string&, double, int, int, const std::string&) { return false; }

std::string BuiltProgram(const std::string& relative) { return std::string(QUAV_BINARY_DIR) + "/" + relative; }

}  // namespace testsupport
