#include "support/base/CommandLine.h"

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

std::wstring ProgramPath() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) {
            buf.resize(n);
            return buf;
        }
        if (buf.size() >= 32768) return {};
        buf.resize(buf.size() * 2);
    }
}

}  // namespace swt
