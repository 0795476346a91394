// The to-do list: one entry per file of the update job, in job order.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "lockscan/ProcessLockList.h"

namespace swt {

class TProcessList;
class TToDoList;

// One file to put into place. Creating an entry appends it to its list and looks at once for
// the processes that hold its destination open.
class TUpdateItem {
public:
    // Appends a new entry to toDoList (which owns it) and refreshes its locks; with refresh false
    // the caller hands the entry its locks (TakeLocks) after scanning many entries at once.
    static TUpdateItem& Create(TToDoList* toDoList, std::wstring source, std::wstring dest, bool refresh = true);
    ~TUpdateItem();
    TUpdateItem(const TUpdateItem&) = delete;
    TUpdateItem& operator=(const TUpdateItem&) = delete;

    // Scans which processes hold the destination open and gives each of them a process row.
    void RefreshLocks();
    // The same with a list scanned by the caller (a batch scan for many entries): the entry keeps
    // locks (none for a done entry) and every holder in it gets a process row.
    void TakeLocks(std::unique_ptr<TProcessLockList> locks);

    TToDoList* FToDoList;  // not owned
    std::wstring FSource;
    std::wstring FDest;
    bool FDone = false;
    // The processes that held the destination at the last refresh; none when nobody did.
    std::unique_ptr<TProcessLockList> FLocks;
    // The run has logged that nobody it can show holds this entry's destination (once per run).
    bool FNoHolderLogged = false;

private:
    TUpdateItem(TToDoList* toDoList, std::wstring source, std::wstring dest);
};

// Owns its entries: removing an entry destroys it.
class TToDoList {
public:
    explicit TToDoList(TProcessList* processList = nullptr) : FProcessList(processList) {}
    TToDoList(const TToDoList&) = delete;
    TToDoList& operator=(const TToDoList&) = delete;

    size_t Count() const { return items_.size(); }
    TUpdateItem& operator[](size_t i) const { return *items_[i]; }
    void Delete(size_t i) { items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i)); }

    TProcessList* FProcessList;  // not owned; may be none

private:
    friend class TUpdateItem;
    std::vector<std::unique_ptr<TUpdateItem>> items_;
};

}  // namespace swt
