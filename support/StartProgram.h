// Starting another program from a command line.
#pragma once
#include <string>

namespace swt {

// Starts the program named first on commandLine (quoted by the caller when it holds blanks), with
// this process's environment and current folder, its window hidden or shown normally. With wait,
// blocks until the program is idle for input and then until it has ended. Returns whether the
// process was created; never throws, never shows anything.
bool StartProgram(const std::wstring& commandLine, bool hidden, bool wait) noexcept;

}  // namespace swt
