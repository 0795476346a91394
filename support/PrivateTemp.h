// The start-up GUID, the origin temporary folder of a chain of started programs, and the
// process's private temporary folder (created below the origin folder, deleted at program end).
#pragma once
#include <string>

namespace swt {

// Class-wide start-up, once at program start: creates the start-up GUID (throws swt::Error with
// the system's message when it cannot), records the origin temporary folder and, when no earlier
// program of the chain did, sets "ORIGIN_TEMP" to the user's temporary folder. With
// resetTempFromOrigin a program that inherits "ORIGIN_TEMP" points "TEMP" and "TMP" back at it,
// so it does not work inside its parent's private folder.
void TempFoldersStartup(bool resetTempFromOrigin);
// Library shutdown, in two steps: the unit's own shutdown forgets the folder values; the parameter
// list's class-wide shutdown, after the list (which needs the GUID to delete its folder) is gone,
// forgets the GUID and the set-up flag.
void ClearTempFolderValues() noexcept;
void TempFoldersShutdown() noexcept;

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", empty outside start-up and shutdown.
const std::wstring& StartupGuidText();

// The temporary folder last written through SetTempFolder, else the expansion of "%TMP%".
std::wstring TempFolder();
// The temporary folder of the first program of the chain; TempFolder() when none was recorded.
std::wstring TempFolderOrigin();
// Makes an existing folder the temporary folder (with a trailing backslash) and points "TEMP" and
// "TMP" at it. Throws swt::Error "Verzeichnis <folder> ist nicht vorhanden" when it does not exist.
void SetTempFolder(const std::wstring& value);

// Whether the private folder set-up has run in this process (it runs at most once).
bool PrivateTempSetUpDone() noexcept;

// Sets up the private temporary folder once per process: below the "TEMP" parameter's folder when
// given, else below the origin folder, a hidden sub-folder named by the start-up GUID (programs
// whose file name starts with "DS_" use the base folder itself); checks it can be written, points
// "TEMP" and "TMP" at it and asks for its removal at the next restart. Returns the folder, with a
// trailing backslash, when all that worked; empty otherwise.
std::wstring SetUpPrivateTempFolder(const std::wstring& tempParam, const std::wstring& programPath) noexcept;

// Whether folder is this run's own private folder: its last component is the start-up GUID.
bool IsOwnPrivateTempFolder(const std::wstring& folder);
// Deletes folder with everything in it, but only when IsOwnPrivateTempFolder; errors are ignored.
void DeletePrivateTempFolder(const std::wstring& folder) noexcept;

}  // namespace swt
