#include "updater/UpdateLog.h"

#include "base/AnsiText.h"
#include "base/UniqueHandle.h"

namespace swt {

wchar_t UserTimeSeparator() {
    wchar_t buf[8] = {};
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, buf, 8) > 0 && buf[0]) return buf[0];
    return L':';
}

std::wstring FormatLogLine(const SYSTEMTIME& t, wchar_t sep, std::wstring_view category, int level,
                           std::wstring_view text) {
    auto digits = [](unsigned value, int width) {
        std::wstring out(static_cast<size_t>(width), L'0');
        for (int i = width - 1; i >= 0 && value; --i, value /= 10) out[static_cast<size_t>(i)] = static_cast<wchar_t>(L'0' + value % 10);
        return out;
    };
    std::wstring line = digits(t.wYear, 4) + L'-' + digits(t.wMonth, 2) + L'-' + digits(t.wDay, 2) + L' ' +
                        digits(t.wHour, 2) + sep + digits(t.wMinute, 2) + sep + digits(t.wSecond, 2) + L',' +
                        digits(t.wMilliseconds, 3) + L' ';
    line += L" \t";
    line += category;
    line += L" \t";
    line += std::to_wstring(level);
    line += L" \t";
    line += text;
    line += L' ';
    return line;
}

namespace {
// Paths past the classic limit are opened through the "\\?\" form when they are absolute
// drive paths; other long forms are passed on as they are and may fail quietly.
std::wstring OpenablePath(const std::wstring& path) {
    if (path.size() < MAX_PATH) return path;
    if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
    return path;
}
}  // namespace

void AppendLogLine(const std::wstring& path, std::wstring_view line) {
    if (path.empty()) return;
    std::string bytes = ToAnsi(line);
    bytes += "\r\n";
    // OPEN_ALWAYS appends to an existing log and creates a missing one; FILE_APPEND_DATA keeps
    // every write at the end even when another writer grew the file meanwhile.
    UniqueFile file(::CreateFileW(OpenablePath(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace swt
