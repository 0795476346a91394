#include "updater/FileReplace.h"

#include "base/UniqueHandle.h"

namespace swt {

namespace {

constexpr wchar_t kSetAsideSuffix[] = L".swtold";

TPlaceResult Failed(DWORD error) { return {TPlaceOutcome::Failed, error ? error : ERROR_GEN_FAILURE}; }

// A refusal of dest itself: Held when the error says that a process holds it.
TPlaceResult Refused(DWORD error) {
    const bool held =
        error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_USER_MAPPED_FILE;
    return held ? TPlaceResult{TPlaceOutcome::Held, error} : Failed(error);
}

// Removes a file of the updater's own making, read-only or not; false when it is still there.
bool RemoveFile(const std::wstring& path) {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::DeleteFileW(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

// 0 when dest opens for writing beside every process that holds it (all of them share write
// access), else the reason it does not.
DWORD WriteRefusal(const std::wstring& dest) {
    UniqueFile f(::CreateFileW(dest.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return f ? 0 : ::GetLastError();
}

// The running executable dest is renamed aside and temp takes its place; when temp cannot take
// it, the old one goes back. The old one cannot be removed while this program runs from it.
TPlaceResult PutAsideAndPlace(const std::wstring& temp, const std::wstring& dest) {
    std::wstring aside = SetAsideName(dest);
    // A copy an earlier run set aside and that no program runs from any more is removed; one
    // still running keeps its name and this one gets a name of its own.
    if (!RemoveFile(aside)) aside = dest + L"." + std::to_wstring(::GetCurrentProcessId()) + kSetAsideSuffix;
    if (!RemoveFile(aside) || !::MoveFileExW(dest.c_str(), aside.c_str(), 0)) return Refused(::GetLastError());
    if (!::MoveFileExW(temp.c_str(), dest.c_str(), 0)) {
        const DWORD error = ::GetLastError();
        ::MoveFileExW(aside.c_str(), dest.c_str(), 0);
        return Refused(error);
    }
    // Should no later run come, the system removes it at its next restart (where it lets us).
    ::MoveFileExW(aside.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return {TPlaceOutcome::Placed, 0};
}

}  // namespace

std::wstring ReplacementTempName(const std::wstring& dest) { return dest + L".swtnew"; }

std::wstring SetAsideName(const std::wstring& exe) { return exe + kSetAsideSuffix; }

bool SameFile(const std::wstring& a, const std::wstring& b) {
    BY_HANDLE_FILE_INFORMATION info[2]{};
    const std::wstring* paths[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        const std::wstring path = ExtendedPath(*paths[i]);
        if (path.empty()) return false;
        // No access asked: the identity can be read beside any holder.
        UniqueFile f(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!f || !::GetFileInformationByHandle(f.get(), &info[i])) return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

TPlaceResult PutFileInPlace(const std::wstring& sourcePath, const std::wstring& destPath) {
    const std::wstring source = ExtendedPath(sourcePath), dest = ExtendedPath(destPath);
    if (source.empty() || dest.empty()) return Failed(ERROR_INVALID_NAME);
    // Copying a file onto itself through the temporary name would leave it in place, and the
    // caller would then delete it as the source.
    if (SameFile(source, dest)) return {TPlaceOutcome::AlreadyInPlace, 0};
    // A folder is no file to replace; the system's own answer for copying onto one.
    if (IsFolder(dest)) return Failed(ERROR_ACCESS_DENIED);
    // A folder that cannot be made is ignored: the copy then fails on its own.
    CreateFolderChain(FolderOf(dest));
    const std::wstring temp = ReplacementTempName(dest);
    // A leftover of a killed run may carry the read-only flag of its source: clear it first.
    ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!::CopyFileW(source.c_str(), temp.c_str(), FALSE)) {
        // Disk full, no access, source gone or held: the destination has not been touched.
        const DWORD error = ::GetLastError();
        RemoveFile(temp);
        return Failed(error);
    }
    // The temporary copy is whole from here on.
    if (::MoveFileExW(temp.c_str(), dest.c_str(), MOVEFILE_REPLACE_EXISTING)) return {TPlaceOutcome::Placed, 0};
    const DWORD renameError = ::GetLastError();
    if (SameFile(dest, OwnExecutablePath())) {
        TPlaceResult aside = PutAsideAndPlace(temp, dest);
        if (!aside.Done()) RemoveFile(temp);
        return aside;
    }
    const DWORD refusal = WriteRefusal(dest);
    // The temporary file goes before the copy over dest, so that the room it took is free again.
    RemoveFile(temp);
    if (refusal != 0) return Refused(refusal == ERROR_FILE_NOT_FOUND ? renameError : refusal);
    // Only a holder that shares write access but not delete refused the rename: a plain copy over
    // the destination, as that holder allows.
    if (::CopyFileW(source.c_str(), dest.c_str(), FALSE)) return {TPlaceOutcome::Placed, 0};
    return Refused(::GetLastError());
}

std::wstring OwnExecutablePath() {
    std::wstring buf(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 6; ++attempt) {
        const DWORD got = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (got == 0) return {};
        if (got < buf.size()) {
            buf.resize(got);
            return buf;
        }
        buf.resize(buf.size() * 4);
    }
    return {};
}

void RemoveSetAsideFiles(const std::wstring& exe) {
    if (exe.empty()) return;
    const std::wstring folder = FolderOf(exe);
    WIN32_FIND_DATAW found{};
    UniqueFind find(::FindFirstFileW((ExtendedPath(exe) + L"*" + kSetAsideSuffix).c_str(), &found));
    if (!find) return;
    // Removing while listing: at most as many rounds as a folder can sensibly hold of them.
    for (int n = 0; n < 1000; ++n) {
        RemoveFile(ExtendedPath(folder + L"\\" + found.cFileName));
        if (!::FindNextFileW(find.get(), &found)) break;
    }
}

}  // namespace swt
