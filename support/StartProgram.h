// Starting another program from a command line.
#pragma once
#include <optional>
#include <string>

namespace swt {

// How a command line is started. program: the file to start exactly, or empty when the platform
// finds it from the line's first item; commandLine: what the started program gets.
struct TProgramStart {
    std::wstring program;
    std::wstring commandLine;
};

// The program a command line means. A first item in quotes, or a line without blanks, leaves
// nothing to guess: the platform takes it as written. An unquoted first item followed by blanks is
// ambiguous, and the platform would try every prefix ending before a blank, shortest first
// ("C:\Program Files\App\app.exe /x" starts C:\Program.exe when such a file exists). So the
// program is the longest such prefix (or the whole line) that names an existing file ending in
// ".exe"; it is started exactly, and gets its path in quotes followed by the rest of the line. A
// line whose first word is a bare name without any folder ("cmd /c ...") is left to the
// platform's search. No value when the line names no program for certain: an empty line, or a
// path with blanks of which no prefix is an existing program.
std::optional<TProgramStart> ResolveProgramStart(const std::wstring& commandLine);

// Starts the program the command line means (see ResolveProgramStart), with this process's
// environment and current folder, its window hidden or shown normally. With wait, blocks until the
// program is idle for input and then until it has ended. Returns whether the process was created;
// never throws, never shows anything.
bool StartProgram(const std::wstring& commandLine, bool hidden, bool wait) noexcept;

}  // namespace swt
