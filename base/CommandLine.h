// The program's command line split into arguments: the way the C runtime does it, or by the plain
// rule that takes every backslash literally.
#pragma once
#include <string>
#include <vector>

namespace swt {

// Element 0 is the program path as written on the command line; arguments follow.
std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine);
std::vector<std::wstring> CommandLineArgs();

// The plain rule: blanks and tabs separate arguments, double quotes group blanks into one argument
// and are removed, and nothing escapes anything, so "C:\App\" is the argument C:\App\ and does not
// take the rest of the line with it. A pair of quotes with nothing between gives an empty argument.
std::vector<std::wstring> SplitPlainCommandLine(const wchar_t* commandLine);
std::vector<std::wstring> PlainCommandLineArgs();

// Full path of the running program's file, whatever its length.
std::wstring ProgramPath();

}  // namespace swt
