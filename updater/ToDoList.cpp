#include "updater/ToDoList.h"

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
    // Holders are found by the lock scan once it is wired in here.
}

}  // namespace swt
