#include "updater/ToDoList.h"

#include <windows.h>

#include <algorithm>

#include "lockscan/FileInUse_Tools.h"
#include "base/PathName.h"

namespace swt {

TUpdateItem::TUpdateItem(TToDoList* toDoList, std::wstring source, std::wstring dest)
    : FToDoList(toDoList),
      FSource(std::move(source)),
      FDest(std::move(dest)),
      FSourceKey(ComparablePath(FSource)),
      FDestKey(ComparablePath(FDest)) {}

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
    if (locks && FToDoList) {
        for (size_t i = locks->Count(); i-- > 0;)
            if ((*locks)[i].ProcessId == FToDoList->FOwnProcessId) locks->Delete(i);
    }
    if (!FDone && locks && locks->Count() > 0) FLocks = std::move(locks);
}

TToDoList::TToDoList() : FOwnProcessId(::GetCurrentProcessId()) {}

void TToDoList::NotePlaced(const TUpdateItem& entry) {
    if (!entry.FDestKey.empty()) placed_.push_back(entry.FDestKey);
}

bool TToDoList::SourceStillNeeded(const TUpdateItem& entry) const {
    const std::wstring& key = entry.FSourceKey;
    if (key.empty() || key == entry.FDestKey) return true;
    for (const auto& other : items_)
        if (other.get() != &entry && !other->FDone && (other->FSourceKey == key || other->FDestKey == key))
            return true;
    return std::find(placed_.begin(), placed_.end(), key) != placed_.end();
}

}  // namespace swt
