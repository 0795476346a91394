#include "updater/ToDoList.h"

#include "lockscan/FileInUse_Tools.h"

namespace swt {

TUpdateItem::TUpdateItem(TToDoList* toDoList, std::wstring source, std::wstring dest)
    : FToDoList(toDoList), FSource(std::move(source)), FDest(std::move(dest)) {}

TUpdateItem& TUpdateItem::Create(TToDoList* toDoList, std::wstring source, std::wstring dest) {
    std::unique_ptr<TUpdateItem> item(new TUpdateItem(toDoList, std::move(source), std::move(dest)));
    TUpdateItem& entry = *item;
    toDoList->items_.push_back(std::move(item));
    entry.RefreshLocks();
    return entry;
}

TUpdateItem::~TUpdateItem() = default;

void TUpdateItem::RefreshLocks() {
    FLocks.reset();
    if (!FDone) FLocks = GetLockingProcesses(FDest);
    if (!FLocks || !FToDoList || !FToDoList->FProcessList) return;
    // Process rows: every lock, from index 0 upwards, gets its process a row here through
    // FToDoList->FProcessList->FindOrAddProcess(lock.ProcessId, lock.ProcessPath) once the
    // process list keeps rows. The locks are attached to the rows by the scan pass, not here.
}

}  // namespace swt
