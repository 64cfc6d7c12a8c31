#include "Help.h"

#include "Console.h"

namespace {

std::string Dotted(uint32_t version) {
  return std::to_string(version >> 16 & 0xFF) + "." + std::to_string(version >> 8 & 0xFF) + "." +
         std::to_string(version & 0xFF);
}

}  // namespace

InfoRequest FindInfoRequest(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg != "--help" && arg != "--version") continue;
    if (IsExistingFile(arg) || IsExistingDirectory(arg)) continue;
    return arg == "--help" ? InfoRequest::Help : InfoRequest::Version;
  }
  return InfoRequest::None;
}

std::string HelpText(const PlayerFiles& files) {
  std::string text =
      "Usage: quavlin FILE|FOLDER|PLAYLIST [/r] [/n] [/vNN]\n"
      "       quavlin --help | --version\n"
      "Plays an audio file, every file beneath a folder (in name order), or an\n"
      "M3U playlist (UTF-8, one file name per line) with its tags, stream data\n"
      "and a live status line; the space bar ends a single file. Without\n"
      "arguments it lists the output devices (device 0 is the silent device).\n"
      "\n"
      "Switches, after the file (an argument that names an existing file or\n"
      "folder is never a switch):\n"
      "  /r, -r     play the folder's files shuffled\n"
      "  /n, -n     do not write the last playlist\n"
      "  /vN, /vNN  the volume in percent for this run; /v and three characters\n"
      "             mean 100\n"
      "  --help     show this text\n"
      "  --version  show the versions of quavlin, FFmpeg and PortAudio\n"
      "\n"
      "Files:\n"
      "  " +
      ConsoleName(files.Configuration) +
      "\n"
      "      line 1: the output device (-1 the default, 0 silent, 1.. as listed),\n"
      "              or a device's name as listed (a sound server's sink)\n"
      "      line 2: the volume in percent\n"
      "      without the file: the default device at volume 20\n"
      "  " +
      ConsoleName(files.LastPlaylist) +
      "\n"
      "      the play order of the last folder played, UTF-8\n";
  if (!files.BesideProgram)
    text +=
        "  A quavlin.cfg beside the program keeps both files there instead of\n"
        "  in $XDG_CONFIG_HOME (~/.config) and $XDG_STATE_HOME (~/.local/state).\n";
  text +=
      "\n"
      "Exit codes:\n"
      "  0  the run did its work (usage, device list, --help, --version included)\n"
      "  1  an error report on standard error: a setting that is not a number (or\n"
      "     on line 1 a listed device's name), a first argument that cannot be\n"
      "     read, a playlist that is not UTF-8, a last playlist that cannot be\n"
      "     written\n"
      "  2  an engine failure: the device cannot be initialised, the file cannot\n"
      "     be played, the output device went away (its sound server stopped)\n";
  return text;
}

std::string VersionText(const LibraryVersions& versions) {
  return std::string("Quavlin ") + kPlayerVersion + "\n" + "FFmpeg: libavformat " + Dotted(versions.avformat) +
         ", libavcodec " + Dotted(versions.avcodec) + "\n" + "PortAudio: " + Dotted(versions.portaudio) + "\n";
}
