// Fuzz target: the audio engine. An input is either a program of engine
// calls over a few short generated sources, or a damaged file of a chosen
// type decoded to its end (EngineCalls.h tells how the bytes are read).
// Every finding is kept as a named input in
// tests/engine/EngineFuzzRegressionTest.cpp.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "EngineCalls.h"
#include "bass.h"

namespace {

std::string gDir;
std::vector<std::string> gSources;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char dir[] = "/tmp/quavfuzz-engine-XXXXXX";
  if (::mkdtemp(dir) == nullptr) std::abort();
  gDir = dir;
  gSources = enginecalls::WriteSources(gDir);
  if (!BASS_Init(0, 44100, 0, nullptr, nullptr)) std::abort();
  // The temporary files go with the process.
  std::atexit([] {
    BASS_Free();
    std::system(("rm -rf '" + gDir + "'").c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string failure = enginecalls::Run(data, size, gSources, gDir);
  if (!failure.empty()) {
    std::fprintf(stderr, "engine fuzz: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
