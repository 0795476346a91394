// The program's command line split into arguments the way the C runtime does it.
#pragma once
#include <string>
#include <vector>

namespace swt {

// Element 0 is the program path as written on the command line; arguments follow.
std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine);
std::vector<std::wstring> CommandLineArgs();

// Full path of the running program's file, whatever its length.
std::wstring ProgramPath();

}  // namespace swt
