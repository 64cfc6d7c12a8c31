// Console output of the player: one writer, flushed after every piece, so
// partial lines (the status line above all) appear at once. Text is UTF-8;
// lines end in CR LF.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

inline constexpr std::string_view kLineEnd = "\r\n";

namespace console {

// Writes the bytes to standard output and flushes.
void Write(std::string_view text);
// Writes the bytes followed by CR LF.
void WriteLine(std::string_view text = {});
// Flushes standard output (before anything goes to standard error).
void Flush();
// Writes the bytes and CR LF to standard error, after flushing standard
// output so that the two keep their order on a terminal.
void WriteErrorLine(std::string_view text);

// Writes UTF-8 text to standard output or standard error as the platform
// shows text (console_posix.cpp, console_win.cpp): unchanged on POSIX; on
// Windows converted to the console's output code page when the stream is a
// console, and otherwise to the system's 8-bit code page (standard output)
// or the OEM code page (standard error). Does not flush.
void WriteText(std::FILE* stream, std::string_view text);

// Whether standard output is a terminal (a console on Windows), and its
// width in columns: 0 when it is none or its width is unknown. The width
// follows resizes of the window (SIGWINCH on POSIX).
bool OutputIsTerminal();
int OutputColumns();

// Standard output was a pipe whose reader has gone (quavlin ... | head):
// there is no one left to write for. OutputClosed tells without writing;
// EndForClosedOutput ends the process the way such a writer ends (SIGPIPE
// on POSIX, with the terminal restored by its handler; exit code 1 where
// the signal is ignored, and on Windows). Write and WriteLine end the
// process so when a write finds the pipe closed.
bool OutputClosed();
[[noreturn]] void EndForClosedOutput();

}  // namespace console

// printf-style formatting into a std::string; numbers follow LC_NUMERIC.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Text from files (tags, file names, playlist lines) as the console shows
// it. Such text is untrusted: a control character could move the cursor,
// recolour or retitle the terminal, or break a header line. Every C0 and C1
// control character and DEL is replaced: a NUL between two values (the
// separator of multi-valued tags) by " / ", any other by U+FFFD. NULs with
// no value on one side separate nothing and are left out. The result is
// UTF-8.
std::string ConsoleText(std::u16string_view text);
// The same for UTF-8 bytes (file names); bytes that are not valid UTF-8
// become U+FFFD too, since a stray byte 0x80 to 0x9F is a C1 control to a
// terminal that reads 8-bit text.
std::string ConsoleName(std::string_view utf8);
