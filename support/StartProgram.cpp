#include "support/StartProgram.h"

#include <windows.h>

#include "base/PathName.h"
#include "base/TextCompare.h"
#include "base/UniqueHandle.h"

namespace swt {

namespace {
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool EndsInExe(const std::wstring& path) {
    return path.size() > 4 && UpperText(std::wstring_view(path).substr(path.size() - 4)) == L".EXE";
}
}  // namespace

std::optional<TProgramStart> ResolveProgramStart(const std::wstring& commandLine) {
    size_t first = 0;
    while (first < commandLine.size() && IsBlank(commandLine[first])) ++first;
    if (first == commandLine.size()) return std::nullopt;
    const std::wstring line = commandLine.substr(first);
    if (line.front() == L'"' || line.find_first_of(L" \t") == std::wstring::npos) return TProgramStart{{}, line};

    // Longest first: the whole line, then each prefix ending before a blank.
    for (size_t end = line.size();; --end) {
        if (end == line.size() || IsBlank(line[end])) {
            const std::wstring prefix = line.substr(0, end);
            if (EndsInExe(prefix) && IsFile(prefix)) return TProgramStart{prefix, L"\"" + prefix + L"\"" + line.substr(end)};
        }
        if (end == 0) break;
    }
    const std::wstring firstWord = line.substr(0, line.find_first_of(L" \t"));
    if (firstWord.find_first_of(L"\\/:") == std::wstring::npos) return TProgramStart{{}, line};
    return std::nullopt;
}

bool StartProgram(const std::wstring& commandLine, bool hidden, bool wait) noexcept {
    try {
        const std::optional<TProgramStart> start = ResolveProgramStart(commandLine);
        if (!start) return false;
        STARTUPINFOW si{};
        si.cb = sizeof si;  // 104
        si.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
        si.wShowWindow = hidden ? SW_HIDE : SW_SHOWNORMAL;
        // CreateProcessW may write into the command line.
        std::wstring buffer = start->commandLine;
        buffer.push_back(L'\0');
        PROCESS_INFORMATION pi{};
        bool created = ::CreateProcessW(start->program.empty() ? nullptr : start->program.c_str(), buffer.data(),
                                        nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si,
                                        &pi) != FALSE;
        if (!created) return false;
        UniqueHandleT process(pi.hProcess);
        UniqueHandleT thread(pi.hThread);
        if (wait) {
            ::WaitForInputIdle(process.get(), INFINITE);
            ::WaitForSingleObject(process.get(), INFINITE);
        }
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace swt
