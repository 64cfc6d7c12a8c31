// The player's side of the audio engine: the engine's life, the device
// list and devices by name, opening streams by path, and the engine error
// exit.
#pragma once

#include <string>

#include "bass.h"

// The exit codes: a run that did its work, the error report of an error
// that no step handles (and a run that had nothing to play), an engine
// failure.
inline constexpr int kExitDone = 0;
inline constexpr int kExitErrorReport = 1;
inline constexpr int kExitEngineFailure = 2;

// An engine failure that ends the run: "Error(<code>): <text>" on standard
// output, the hint (if any) on standard error, exit code 2 (main writes it,
// after the engine was freed).
struct EngineFailure {
  int Code = 0;
  std::string Text;
  std::string Hint;
};

// Raises EngineFailure with the engine's last error code.
[[noreturn]] void EngineErrorExit(const std::string& text);

// The engine from initialisation to release: sets the two engine options,
// initialises the device and loads the add-ons; frees the engine when it
// goes, whichever way the run ends. An initialisation failure raises
// EngineFailure; when the default device failed because there is no output
// device at all, its hint names line 1 of the configuration file and the
// silent device.
class EngineSession {
 public:
  EngineSession(int device, const std::string& configurationFile);
  ~EngineSession();
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;
};

// Writes one device's name, driver, type and flags (four lines).
void PrintDeviceInfo(const BASS_DEVICEINFO& info);

// Lists the output devices from 1 on; device 0 is never listed.
void ListOutputDevices();

// The number of the listed device of that name (line 1 of the
// configuration may name one: a sound server's sink by its description);
// -1 when none has it. The list is asked no further than that device.
int32_t DeviceNumberByName(const std::string& name);

// Raises EngineFailure once the output device has gone away for good (its
// sound server stopped or restarted), with a line on standard error that
// says so; the play loop asks every tick.
void ExitIfOutputLost();

// Opens a file as a played stream (flags: BASS_STREAM_DECODE for a
// decode-only one); 0 when the engine cannot play it.
HSTREAM OpenFileStream(const std::string& path, DWORD flags = 0);
