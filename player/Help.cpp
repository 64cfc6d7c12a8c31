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
      "Usage: quavlin [SWITCHES] FILE|FOLDER|PLAYLIST...\n"
      "       quavlin --help | --version\n"
      "Plays audio files, every file beneath a folder (in name order), or a\n"
      "playlist (M3U or M3U8 in UTF-8, or PLS) with its tags, stream data and a\n"
      "live status line. Several arguments play as one queue, and a track that\n"
      "ends by itself joins the next without a gap. Without anything to play it\n"
      "lists the output devices (device 0 is the silent device).\n"
      "\n"
      "Switches, anywhere among the arguments (an argument that names an\n"
      "existing file or folder is never a switch):\n"
      "  /r, -r     play the files of a folder, playlist or queue shuffled\n"
      "  /n, -n     do not write the last playlist\n"
      "  /g, -g     ReplayGain: the tracks' gains, or the album's when every track\n"
      "             carries one, held below clipping by the peaks\n"
      "  /vN, /vNN  the volume in percent for this run; /v and three characters\n"
      "             mean 100\n"
      "  --help     show this text\n"
      "  --version  show the versions of quavlin, FFmpeg and PortAudio\n"
      "\n"
      "Keys while playing (standard input a terminal):\n"
      "  p            pause / resume\n"
      "  right, left  5 s forward / back        up, down  60 s forward / back\n"
      "  n, >         next track                b, <      previous track (after\n"
      "                                                   3 s: the track's start)\n"
      "  +, -         volume up / down by 5 (also 0, 9)   m  mute / unmute\n"
      "  q            end the run               space     end a single file;\n"
      "                                                   in a list, next track\n"
      "On Linux the player also answers the desktop's media keys through MPRIS\n"
      "(org.mpris.MediaPlayer2.quavlin on the D-Bus session bus).\n"
      "\n"
      "Files:\n"
      "  " +
      ConsoleName(files.Configuration) +
      "\n"
      "      line 1: the output device (-1 the default, 0 silent, 1.. as listed),\n"
      "              or a device's name as listed (a sound server's sink)\n"
      "      line 2: the volume in percent (held to 0..100)\n"
      "      without the file: the default device at volume 20\n"
      "  " +
      ConsoleName(files.LastPlaylist) +
      "\n"
      "      the play order of the last folder or queue played, UTF-8\n";
  if (!files.BesideProgram)
    text +=
        "  A quavlin.cfg beside the program keeps both files there instead of\n"
        "  in $XDG_CONFIG_HOME (~/.config) and $XDG_STATE_HOME (~/.local/state).\n";
  text +=
      "\n"
      "Exit codes:\n"
      "  0  the run did its work (usage, device list, --help, --version included)\n"
      "  1  an error report on standard error: a setting that is not a number (or\n"
      "     on line 1 a listed device's name), a single argument that cannot be\n"
      "     read, a playlist that is not UTF-8, a last playlist that cannot be\n"
      "     written; or nothing to play\n"
      "  2  an engine failure: the device cannot be initialised, the file cannot\n"
      "     be played, the output device went away (its sound server stopped)\n";
  return text;
}

std::string VersionText(const LibraryVersions& versions) {
  return std::string("Quavlin ") + kPlayerVersion + "\n" + "FFmpeg: libavformat " + Dotted(versions.avformat) +
         ", libavcodec " + Dotted(versions.avcodec) + "\n" + "PortAudio: " + Dotted(versions.portaudio) + "\n";
}
