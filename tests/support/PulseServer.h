// A private PulseAudio server for end-to-end output tests: a null sink as
// its default device, reached through its own socket, and a recorder on the
// sink's monitor. The server, the recorder and the environment that points
// this process (and its children) at them go when the object goes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "TestSupport.h"

namespace testsupport {

class PulseServer {
 public:
  explicit PulseServer(int rate = 44100);
  ~PulseServer();
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;

  // Empty when the server runs; otherwise why it could not start.
  const std::string& Problem() const { return fProblem; }
  int Rate() const { return fRate; }

  // Starts recording the sink's monitor, mono 32-bit float at Rate().
  bool StartRecording();
  // Stops the recorder and returns what it heard.
  std::vector<float> StopRecording();

 private:
  pid_t Background(const std::string& name, const std::string& command);
  std::string Log(const std::string& name) const;

  TempDir fDir;
  int fRate;
  std::string fProblem;
  pid_t fServer = 0;
  pid_t fRecorder = 0;
  std::vector<std::pair<std::string, std::string>> fSavedEnv;
};

// What the tests read from a recording: where sound (|x| at or above a
// threshold) starts and stops, and at what pitch.
struct SoundSpan {
  size_t begin = 0, end = 0;  // samples; end == begin when silent
};
// The runs of sound separated by at least minGap samples of silence.
std::vector<SoundSpan> SoundSpans(const std::vector<float>& x, float threshold, size_t minGap);

// Frequency of a clean tone from its rising zero crossings (interpolated),
// between samples from and to; 0 without two crossings.
double ToneFrequency(const std::vector<float>& x, size_t from, size_t to, int rate);

}  // namespace testsupport
