#include "terminator/KillCommandLine.h"

#include "base/IntText.h"

namespace swt {

std::wstring TrimBlanksAndControls(const std::wstring& text) {
    size_t first = 0, last = text.size();
    while (first < last && text[first] <= L' ') ++first;
    while (last > first && text[last - 1] <= L' ') --last;
    return text.substr(first, last - first);
}

std::optional<TKillArgs> ParseKillArgs(const std::vector<std::wstring>& args) {
    auto param = [&](size_t i) { return i < args.size() ? args[i] : std::wstring(); };
    TKillArgs out;
    out.byWindow = args.size() < 3;
    std::optional<int32_t> value = TryStrToInt(out.byWindow ? param(1) : param(2));
    if (!value) return std::nullopt;
    out.value = *value;
    out.displayName = TrimBlanksAndControls(param(3));
    if (out.displayName.empty()) out.displayName = kDefaultDisplayName;
    return out;
}

DWORD ResolveProcessId(const TKillArgs& args) {
    if (!args.byWindow) return static_cast<DWORD>(args.value);
    HWND window = reinterpret_cast<HWND>(static_cast<intptr_t>(args.value));
    DWORD pid = 0;
    if (!::GetWindowThreadProcessId(window, &pid)) return 0;
    return pid;
}

}  // namespace swt
