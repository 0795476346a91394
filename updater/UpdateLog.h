// The update log: one line per step, appended to the file the update job names.
#pragma once
#include <windows.h>
#include <string>
#include <string_view>

namespace swt {

// The user's time separator (first character of the regional setting; ':' when unreadable).
wchar_t UserTimeSeparator();

// "yyyy-mm-dd hh:nn:ss,zzz " then " \t<category> \t<level> \t<text> ", without the line end.
std::wstring FormatLogLine(const SYSTEMTIME& time, wchar_t timeSeparator, std::wstring_view category, int level,
                           std::wstring_view text);

// Appends one line (converted to the ANSI code page, ended by CR LF) and closes the file again,
// so every line is on disk when the call returns. Creates the file when missing; an existing
// log is never emptied. Every failure is swallowed: the line is then lost.
void AppendLogLine(const std::wstring& path, std::wstring_view line);

}  // namespace swt
