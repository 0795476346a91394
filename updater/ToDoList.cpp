#include "updater/ToDoList.h"

#include "lockscan/FileInUse_Tools.h"
#include "updater/ProcessList.h"

namespace swt {

TUpdateItem::TUpdateItem(TToDoList* toDoList, std::wstring source, std::wstring dest)
    : FToDoList(toDoList), FSource(std::move(source)), FDest(std::move(dest)) {}

TUpdateItem& TUpdateItem::Create(TToDoList* toDoList, std::wstring source, std::wstring dest, bool refresh) {
    std::unique_ptr<TUpdateItem> item(new TUpdateItem(toDoList, std::move(source), std::move(dest)));
    TUpdateItem& entry = *item;
    toDoList->items_.push_back(std::move(item));
    if (refresh) entry.RefreshLocks();
    return entry;
}

TUpdateItem::~TUpdateItem() = default;

void TUpdateItem::RefreshLocks() {
    FLocks.reset();
    TakeLocks(FDone ? nullptr : GetLockingProcesses(FDest));
}

void TUpdateItem::TakeLocks(std::unique_ptr<TProcessLockList> locks) {
    FLocks.reset();
    if (!FDone) FLocks = std::move(locks);
    if (!FLocks || !FToDoList || !FToDoList->FProcessList) return;
    // Every holder gets a row; the scan pass, not this, attaches the locks to the rows.
    for (size_t i = 0; i < FLocks->Count(); ++i)
        FToDoList->FProcessList->FindOrAddProcess((*FLocks)[i].ProcessId, (*FLocks)[i].ProcessPath);
}

}  // namespace swt
