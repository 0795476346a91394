#include "base/CommandLine.h"

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

std::vector<std::wstring> SplitPlainCommandLine(const wchar_t* commandLine) {
    std::vector<std::wstring> args;
    if (!commandLine) return args;
    std::wstring arg;
    bool inArg = false, quoted = false;
    for (const wchar_t* p = commandLine; *p; ++p) {
        if (*p == L'"') {
            quoted = !quoted;
            inArg = true;
        } else if (!quoted && (*p == L' ' || *p == L'\t')) {
            if (inArg) args.push_back(std::move(arg));
            arg.clear();
            inArg = false;
        } else {
            arg.push_back(*p);
            inArg = true;
        }
    }
    if (inArg) args.push_back(std::move(arg));
    return args;
}

std::vector<std::wstring> PlainCommandLineArgs() { return SplitPlainCommandLine(::GetCommandLineW()); }

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
