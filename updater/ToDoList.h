// The to-do list: one entry per file of the update job, in job order.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lockscan/ProcessLockList.h"
#include "updater/FileReplace.h"

namespace swt {

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

    // Scans which processes hold the destination open.
    void RefreshLocks();
    // The same with a list scanned by the caller (a batch scan for many entries): the entry keeps
    // locks (none for a done entry). The updater's own process is dropped from the list: it is
    // never a holder to show or to close.
    void TakeLocks(std::unique_ptr<TProcessLockList> locks);

    TToDoList* FToDoList;  // not owned
    std::wstring FSource;
    std::wstring FDest;
    bool FDone = false;
    // The processes that held the destination at the last refresh; none when nobody did.
    std::unique_ptr<TProcessLockList> FLocks;
    // The run has logged that nobody it can show holds this entry's destination (once per run).
    bool FNoHolderLogged = false;
    // How the last attempt to put the file in place ended, and whether a failure that is no lock
    // has been logged (once per run).
    TPlaceResult FLastPlace;
    bool FFailureLogged = false;
    // FSource and FDest in one spelling (ComparablePath), for telling whether two entries name
    // one file.
    std::wstring FSourceKey;
    std::wstring FDestKey;
    // The entry's number in the job ("<n>_Source"); the record of what is left keeps it.
    int FNumber = 0;

private:
    TUpdateItem(TToDoList* toDoList, std::wstring source, std::wstring dest);
};

// Owns its entries: removing an entry destroys it.
class TToDoList {
public:
    TToDoList();
    TToDoList(const TToDoList&) = delete;
    TToDoList& operator=(const TToDoList&) = delete;

    size_t Count() const { return items_.size(); }
    TUpdateItem& operator[](size_t i) const { return *items_[i]; }
    void Delete(size_t i) { items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i)); }

    // The entry's file is in place (copied, or its source was its destination): its destination
    // holds a file of the installation from now on, which no later entry may delete as its source.
    void NotePlaced(const TUpdateItem& entry);
    // Whether the entry's source must stay once the entry is done: another entry not yet done
    // copies from it or replaces it, or it is a destination already in place.
    bool SourceStillNeeded(const TUpdateItem& entry) const;

    // The updater's own process, which the entries' lock lists leave out.
    uint32_t FOwnProcessId;

private:
    friend class TUpdateItem;
    std::vector<std::unique_ptr<TUpdateItem>> items_;
    // ComparablePath of every destination in place.
    std::vector<std::wstring> placed_;
};

}  // namespace swt
