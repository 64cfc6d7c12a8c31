// A private PulseAudio server for end-to-end output tests: one or more null
// sinks, the first its default device, reached through its own socket, and
// a recorder on each sink's monitor. The server, the recorders and the
// environment that points this process (and its children) at them go when
// the object goes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "TestSupport.h"

namespace testsupport {

class PulseServer {
 public:
  // Sink i is "quavsink" (i = 0) or "quavsink<i+1>", described as
  // Description(i): the first with the form factor of speakers, the second
  // of headphones, any further with none.
  explicit PulseServer(int rate = 44100, int sinks = 1);
  ~PulseServer();
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;

  // Empty when the server runs; otherwise why it could not start.
  const std::string& Problem() const { return fProblem; }
  int Rate() const { return fRate; }

  static std::string SinkName(int sink);
  static std::string Description(int sink);

  // Starts recording every sink's monitor, mono 32-bit float at Rate().
  bool StartRecording();
  // Stops the recorders and returns what each heard (StopRecording: the
  // first sink's).
  std::vector<std::vector<float>> StopRecordings();
  std::vector<float> StopRecording() { return StopRecordings().front(); }

  // Runs pactl with these arguments (shell words); true when it succeeds.
  bool Pactl(const std::string& arguments) const;
  // Unloads the module of a sink, as a headset that is switched off goes.
  bool UnloadSink(int sink) const;
  // Kills the server outright.
  void Kill();
  pid_t Pid() const { return fServer; }

 private:
  pid_t Background(const std::string& name, const std::string& command);
  std::string Log(const std::string& name) const;

  TempDir fDir;
  int fRate;
  int fSinks;
  std::string fProblem;
  pid_t fServer = 0;
  std::vector<pid_t> fRecorders;
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
// between samples from and to, periods broken by over a millisecond of
// silence left out; 0 without one whole period.
double ToneFrequency(const std::vector<float>& x, size_t from, size_t to, int rate);

}  // namespace testsupport
