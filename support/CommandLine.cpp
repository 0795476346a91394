#include "support/CommandLine.h"

#include <windows.h>
#include <shellapi.h>

namespace swt {

std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine) {
    std::vector<std::wstring> args;
    if (!commandLine || !*commandLine) return args;
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(commandLine, &argc);
    if (!argv) return args;
    for (int i = 0; i < argc; ++i) args.emplace_back(argv[i]);
    ::LocalFree(argv);
    return args;
}

std::vector<std::wstring> CommandLineArgs() { return SplitCommandLine(::GetCommandLineW()); }

}  // namespace swt
