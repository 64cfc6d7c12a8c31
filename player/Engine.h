// The player's side of the audio engine: device list, opening streams by
// path, add-ons, and the engine error exit.
#pragma once

#include <string>

#include "bass.h"

// Writes "Error(<code>): <text>", frees the engine and ends the process
// with exit code 0.
[[noreturn]] void EngineErrorExit(const std::string& text);

// Writes one device's name, driver, type and flags (four lines).
void PrintDeviceInfo(const BASS_DEVICEINFO& info);

// Lists the output devices from 1 on; device 0 is never listed.
void ListOutputDevices();

// Sets the two engine options, initialises the device and loads the
// add-ons; an initialisation failure ends through EngineErrorExit.
void InitialiseEngine(int device);

// Opens a file as a played stream; 0 when the engine cannot play it.
HSTREAM OpenFileStream(const std::string& path);
