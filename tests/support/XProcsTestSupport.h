// Helpers for the support library's tests: children started with a chosen environment, the
// fixture's report, and saving the test process's own temporary-folder variables.
#pragma once
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/common/TestSupport.h"

namespace swt::test {

// name -> new value, or no value to remove the variable.
using EnvChanges = std::vector<std::pair<std::wstring, std::optional<std::wstring>>>;

// Starts "\"exe\" args" with the test's environment changed as given, waits for its end and
// returns its exit code (STILL_ACTIVE after a time-out, when it is terminated).
DWORD RunWithEnv(const std::wstring& exe, const std::wstring& args, const EnvChanges& changes, DWORD ms = 60000);

// KEY=value lines the fixture writes (UTF-8); empty when the file is missing.
std::map<std::string, std::wstring> ReadReport(const std::wstring& path);

// Puts ORIGIN_TEMP, TEMP and TMP of the test process back at scope end.
class SavedTempEnv {
public:
    SavedTempEnv();
    ~SavedTempEnv();
    SavedTempEnv(const SavedTempEnv&) = delete;
    SavedTempEnv& operator=(const SavedTempEnv&) = delete;

private:
    std::vector<std::pair<std::wstring, std::optional<std::wstring>>> saved_;
};

std::optional<std::wstring> GetEnv(const std::wstring& name);
bool IsFolder(const std::wstring& path);
// The folder part of a path that ends with a backslash: "C:\a\b\" -> "C:\a".
std::wstring ParentOf(std::wstring folder);
std::wstring Quoted(const std::wstring& s);

}  // namespace swt::test
