// The player's side of the audio engine: device list, devices by name,
// opening streams by path, add-ons, and the engine error exit.
#pragma once

#include <string>

#include "bass.h"

// The exit codes: a run that did its work, the error report of an error
// that no step handles, an engine failure.
inline constexpr int kExitDone = 0;
inline constexpr int kExitErrorReport = 1;
inline constexpr int kExitEngineFailure = 2;

// Writes "Error(<code>): <text>" with the engine's last error code, frees
// the engine and ends the process with exit code 2.
[[noreturn]] void EngineErrorExit(const std::string& text);

// Writes one device's name, driver, type and flags (four lines).
void PrintDeviceInfo(const BASS_DEVICEINFO& info);

// Lists the output devices from 1 on; device 0 is never listed.
void ListOutputDevices();

// Sets the two engine options, initialises the device and loads the
// add-ons; an initialisation failure ends through EngineErrorExit. When the
// default device failed because there is no output device at all, the
// hint names line 1 of the configuration file and the silent device.
void InitialiseEngine(int device, const std::string& configurationFile);

// Ends through the engine error exit once the output device has gone away
// for good (its sound server stopped or restarted), saying so on standard
// error too; the play loop calls it every tick.
void ExitIfOutputLost();

// Opens a file as a played stream (flags: BASS_STREAM_DECODE for a
// decode-only one); 0 when the engine cannot play it.
HSTREAM OpenFileStream(const std::string& path, DWORD flags = 0);
