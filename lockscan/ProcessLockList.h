// The holders of one file: a process with the name under which it holds the file.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace swt {

class TProcessLockList;

// One process that holds the file, once per open handle and once more when it has the file loaded.
class TProcessLockInfo {
public:
    // Creates an entry and appends it to owner, which owns it from then on.
    static TProcessLockInfo& Create(TProcessLockList* owner, std::wstring fileName, uint32_t processId,
                                    std::wstring processPath);
    TProcessLockInfo(const TProcessLockInfo&) = delete;
    TProcessLockInfo& operator=(const TProcessLockInfo&) = delete;

    TProcessLockList* Owner;  // the list holding the entry (not owned)
    // From a handle: the object name in device form; from a module: the drive-letter path.
    std::wstring FileName;
    uint32_t ProcessId;
    // The holder's executable: a full path for a module match; for a handle match the image name
    // of the process table, the own executable's file name, or "<unbekannt>".
    std::wstring ProcessPath;

private:
    TProcessLockInfo(TProcessLockList* owner, std::wstring fileName, uint32_t processId, std::wstring processPath);
};

// Owns its entries: removing an entry, or freeing the list, frees them.
class TProcessLockList {
public:
    TProcessLockList() = default;
    TProcessLockList(const TProcessLockList&) = delete;
    TProcessLockList& operator=(const TProcessLockList&) = delete;

    size_t Count() const { return items_.size(); }
    TProcessLockInfo& operator[](size_t i) const { return *items_[i]; }
    void Delete(size_t i) { items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i)); }

private:
    friend class TProcessLockInfo;
    std::vector<std::unique_ptr<TProcessLockInfo>> items_;
};

}  // namespace swt
