#include "support/StartProgram.h"

#include <windows.h>

#include "support/base/UniqueHandle.h"

namespace swt {

bool StartProgram(const std::wstring& commandLine, bool hidden, bool wait) noexcept {
    try {
        STARTUPINFOW si{};
        si.cb = sizeof si;  // 104
        si.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
        si.wShowWindow = hidden ? SW_HIDE : SW_SHOWNORMAL;
        // CreateProcessW may write into the command line.
        std::wstring buffer = commandLine;
        buffer.push_back(L'\0');
        PROCESS_INFORMATION pi{};
        bool created = ::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                                        nullptr, nullptr, &si, &pi) != FALSE;
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
