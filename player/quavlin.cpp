// quavlin: plays audio files, every file beneath a folder, or a playlist,
// with a live status line.
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "AudioFiles.h"
#include "Console.h"
#include "FileAccess.h"
#include "Engine.h"
#include "FolderList.h"
#include "Help.h"
#include "MediaControls.h"
#include "NativeFiles.h"
#include "PlayerFiles.h"
#include "PlayQueue.h"
#include "QueuePlayer.h"
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

// Whether a file argument among several is a playlist: a list by its
// extension, or a text file the engine cannot play (as for one argument).
bool IsPlaylistArgument(const std::string& path) {
  const std::string extension = AudioFileExtension(path);
  if (extension == ".m3u" || extension == ".m3u8" || extension == ".pls") return true;
  const HSTREAM probe = OpenFileStream(path, BASS_STREAM_DECODE);
  if (probe) {
    BASS_StreamFree(probe);
    return false;
  }
  return LooksLikeTextFile(path);
}

// The queue of the targets: one argument keeps the single-file, folder and
// playlist rules; several are one queue. stream: the single file, opened.
PlayQueue BuildQueue(const PlayerSettings& settings, HSTREAM& stream) {
  if (settings.Targets.size() > 1) return ArgumentQueue(settings.Targets, settings.Shuffle, IsPlaylistArgument);
  const std::string& target = settings.Targets.front();
  if (IsExistingDirectory(target)) return FolderQueue(target, settings.Shuffle);
  stream = OpenFileStream(target);
  if (stream) return SingleFileQueue(target);
  if (!LooksLikeTextFile(target)) EngineErrorExit("Can't play the file");
  return PlaylistQueue(target, settings.Shuffle);
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
  if (!args.empty()) {
    ReadConfiguration(files.Configuration, settings, DeviceNumberByName);
    ScanArguments(args, settings);
    for (const std::string& ignored : settings.Ignored) console::WriteErrorLine("ignored: " + ConsoleName(ignored));
    if (const std::string held = HoldVolume(settings); !held.empty()) console::WriteErrorLine(held);
  }
  if (settings.Targets.empty()) {
    WriteUsage(files);
    ListOutputDevices();
    return kExitDone;
  }

  const EngineSession engine(settings.Device, files.Configuration);
  console::WriteLine(Format("Volume: %d", settings.Volume) + (settings.Shuffle ? " Shuffle: yes" : " Shuffle: no"));

  // No echo for the whole run; what was typed meanwhile is discarded at
  // the end.
  const KeyInputMode keys;
  HSTREAM stream = 0;
  const PlayQueue queue = BuildQueue(settings, stream);
  if (queue.WritesLastPlaylist && settings.KeepLastPlaylist) {
    CreateLastPlaylistFolder(files);
    WriteLastPlaylist(files.LastPlaylist, LastPlaylistNames(queue));
  }
  const GainMode gain = ChooseGainMode(queue, settings.ReplayGain);
  if (gain != GainMode::Off) console::WriteLine(GainModeLine(gain));

  QueuePlayer player(queue, settings, gain, ConnectMediaControls());
  const int played = player.Run(stream);
  // Folders and playlists whose entries all failed to play say so too.
  for (size_t i = 0; i < queue.Sources.size(); ++i) {
    const bool hadEntries =
        std::any_of(queue.Entries.begin(), queue.Entries.end(), [&](const QueueEntry& e) { return e.Source == i; });
    if (queue.Sources[i].Container && hadEntries && player.PlayedPerSource()[i] == 0)
      ReportNothingToPlay(queue.Sources[i].Name);
  }
  return played > 0 ? kExitDone : kExitErrorReport;
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
  } catch (const EngineFailure& e) {
    console::WriteLine("Error(" + std::to_string(e.Code) + "): " + e.Text);
    if (!e.Hint.empty()) console::WriteErrorLine(e.Hint);
    return kExitEngineFailure;
  } catch (const EConfigurationError& e) {
    const int code = ReportError("EConvertError", e.what());
    console::WriteErrorLine("The setting is " + ConsoleName(e.Where()) + ".");
    return code;
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
