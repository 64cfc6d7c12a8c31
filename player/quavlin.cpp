// quavlin: plays an audio file, every file beneath a folder, or an M3U
// playlist, with a live status line.
#include <clocale>
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "Console.h"
#include "Engine.h"
#include "FolderList.h"
#include "Help.h"
#include "NativeFiles.h"
#include "PlayerFiles.h"
#include "Players.h"
#include "Settings.h"
#include "Terminal.h"
#include "TextUtils.h"
#include "TrackHeader.h"
#include "TrackPlayback.h"

namespace {

void WriteUsage(const PlayerFiles& files) {
  console::WriteLine("\tusage: quavlin <file> or folder");
  console::WriteLine("optional /r for shuffle play only folder");
  console::WriteLine("You can change the device and volume in the config: " + ConsoleName(files.Configuration));
  console::WriteLine("Output Devices");
}

int RunPlayer(const std::vector<std::string>& args) {
  const PlayerFiles files = LocatePlayerFiles(ProgramDirectory());
  // --help and --version change nothing, not even the last playlist.
  switch (FindInfoRequest(args)) {
    case InfoRequest::Help: console::Write(HelpText(files)); return kExitDone;
    case InfoRequest::Version:
      console::Write(
          VersionText({BASS_GetLibraryVersion(BASS_LIBRARY_AVFORMAT), BASS_GetLibraryVersion(BASS_LIBRARY_AVCODEC),
                       BASS_GetLibraryVersion(BASS_LIBRARY_PORTAUDIO)}));
      return kExitDone;
    case InfoRequest::None: break;
  }
  DeleteNamedFile(files.LastPlaylist);

  PlayerSettings settings;
  console::WriteLine(std::string("Quavlin ") + kPlayerVersion);
  console::WriteLine(std::string(35, '-'));

  if ((BASS_GetVersion() >> 16) != BASSVERSION) {
    console::WriteLine("An incorrect version of BASS.DLL was loaded");
    return kExitEngineFailure;
  }
  if (args.empty()) {
    WriteUsage(files);
    ListOutputDevices();
    return kExitDone;
  }

  ReadConfiguration(files.Configuration, settings);
  InitialiseEngine(settings.Device, files.Configuration);
  ScanArguments(args, settings);
  console::WriteLine(Format("Volume: %d", settings.Volume) + (settings.Shuffle ? " Shuffle: yes" : " Shuffle: no"));

  // No echo for the whole run, whichever player; what was typed meanwhile
  // is discarded at the end.
  const KeyInputMode keys;
  if (IsExistingDirectory(settings.Folder)) {
    PlayFolder(settings.Folder, settings.Shuffle, settings, files);
    return kExitDone;
  }
  const std::string& file = args.front();
  const HSTREAM stream = OpenFileStream(file);
  if (!stream) {
    if (!LooksLikeTextFile(file)) EngineErrorExit("Can't play the file");
    PlayPlaylist(file, settings);
    return kExitDone;
  }
  TrackMemory memory;
  TrackPlayback(file, stream, SingleFileDisplay(), settings, memory);
  return kExitDone;
}

std::string ProgramFileName() {
  const std::string path = ProgramPath();
  return path.empty() ? "quavlin" : path.substr(path.find_last_of(PathSeparators()) + 1);
}

// The report of an error that no step handles: kind, module, a code offset
// (C++ errors carry none, so it reads as zeros) and the message with a full
// stop, on standard error; exit code 1. The message may quote file names
// and file text, shown as the console shows them.
int ReportError(const char* kind, const std::string& rawMessage) {
  console::Flush();
  const std::string message = ConsoleName(rawMessage);
  std::string text =
      std::string("Exception ") + kind + " in module " + ProgramFileName() + " at 0000000000000000.\r\n" + message;
  if (!message.empty() && message.back() != '.') text += '.';
  text += "\r\n\r\n";
  console::WriteText(stderr, text);
  std::fflush(stderr);
  return kExitErrorReport;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_NUMERIC, "");
  UseBinaryStandardStreams();
  const std::vector<std::string> args = ProgramArguments(argc, argv);
  try {
    return RunPlayer(args);
  } catch (const EConvertError& e) {
    return ReportError("EConvertError", e.what());
  } catch (const EFOpenError& e) {
    return ReportError("EFOpenError", e.what());
  } catch (const EEncodingError& e) {
    return ReportError("EEncodingError", e.what());
  } catch (const EInOutError& e) {
    return ReportError("EInOutError", e.what());
  } catch (const std::bad_alloc& e) {
    return ReportError("EOutOfMemory", "Out of memory");
  } catch (const std::exception& e) {
    return ReportError("Exception", e.what());
  }
}
