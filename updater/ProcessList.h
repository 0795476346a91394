// The process list: one item, with its row, per process that holds a destination file open.
#pragma once
#include <windows.h>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lockscan/ProcessLockList.h"
#include "base/UniqueHandle.h"
#include "updater/UpdateHost.h"

namespace swt {

class TToDoList;
class TUpdateRun;
class TProcessList;

// The name a row shows for a process: the file name of its path without folder and extension.
std::wstring ProcessDisplayName(const std::wstring& path);

// The first top-level window, from the top of the z-order down, that belongs to the process and
// is visible and enabled; null when none.
HWND FindProcessWindow(DWORD processId);
// The first top-level window of the process, visible or not, whose class name and caption equal
// cls and caption (letter case aside; an empty text matches only an empty one); null when none.
HWND FindProcessWindow(DWORD processId, const std::wstring& cls, const std::wstring& caption);

class TProcessItem {
public:
    // Appends the new item to list (which owns it) and gives it its row.
    static TProcessItem& Create(TProcessList* list, uint32_t processId, std::wstring path);
    ~TProcessItem();
    TProcessItem(const TProcessItem&) = delete;
    TProcessItem& operator=(const TProcessItem&) = delete;

    // Destroys the row; the window shrinks.
    void FreeFrame();
    // The row's caption: the process's display name.
    std::wstring Caption() const { return ProcessDisplayName(FPath); }
    // Adds a lock of the current pass and its file name to the row's hint.
    void AttachLock(TProcessLockInfo& lock);
    // The row's hint ("Verwendet" and one line per held file), empty without a row.
    std::wstring Hint() const { return FFrame ? FFrame->Hint() : std::wstring(); }

    // The row's actions; each reschedules the next scan pass (100, 1000, 500 ms).
    void Kill();
    void CloseProcess();
    void BringToFront();

    TProcessList* FProcessList;  // not owned
    uint32_t FProcessId;
    std::wstring FPath;
    std::unique_ptr<TProcessRowView> FFrame;
    // The locks this process holds in the current pass; owned by the to-do entries.
    std::vector<TProcessLockInfo*> FLocks;
    // The process, opened once when the row was made, so that kill and close act on it and never
    // on a later process that was given the same id. None when it could not be opened.
    UniqueHandleT FProcess;

private:
    TProcessItem(TProcessList* list, uint32_t processId, std::wstring path);
    // Whether the process the row was made for may still run (always true without a handle).
    bool MayStillRun() const;
    HWND Window() const;
};

// Owns its items: removing an item destroys it with its row.
class TProcessList {
public:
    // form: the run whose window shows the rows and whose log and timer the actions use; may be
    // none (no rows, no log).
    TProcessList(TUpdateRun* form, TToDoList* toDoList) : FForm(form), FToDoList(toDoList) {}
    TProcessList(const TProcessList&) = delete;
    TProcessList& operator=(const TProcessList&) = delete;

    size_t Count() const { return items_.size(); }
    TProcessItem& operator[](size_t i) const { return *items_[i]; }
    int IndexOfProcess(uint32_t processId) const;
    TProcessItem* FindProcess(uint32_t processId) const;
    TProcessItem& FindOrAddProcess(uint32_t processId, const std::wstring& path);
    // Empties every item's lock references and clears every row's hint.
    void ClearLocks();
    void Delete(size_t i);

    TUpdateRun* FForm;     // not owned
    TToDoList* FToDoList;  // not owned

private:
    friend class TProcessItem;
    std::vector<std::unique_ptr<TProcessItem>> items_;
};

}  // namespace swt
