#include "updater/ProcessList.h"

#include "base/PathName.h"
#include "updater/ForeignWindow.h"
#include "updater/ToDoList.h"
#include "updater/UpdateRun.h"

namespace swt {

std::wstring ProcessDisplayName(const std::wstring& path) { return FileBaseName(path); }

namespace {
struct WindowSearch {
    DWORD processId;
    const std::wstring* cls;      // null: any window that is visible and enabled
    const std::wstring* caption;
    HWND found;
};

// Window classes and captions compare as the system's own window search compares them: without
// regard to letter case.
bool SameName(const std::wstring& a, const wchar_t* b, int bLength) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, bLength, TRUE) == CSTR_EQUAL;
}

BOOL CALLBACK TakeFirstWindowOf(HWND w, LPARAM l) {
    auto* search = reinterpret_cast<WindowSearch*>(l);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    if (pid != search->processId) return TRUE;
    if (search->cls) {
        wchar_t text[512];
        const int clsLength = ::GetClassNameW(w, text, 512);
        if (clsLength <= 0 || !SameName(*search->cls, text, clsLength)) return TRUE;
        // A caption longer than the buffer is cut and then matches nothing longer than it.
        const int captionLength = ::GetWindowTextW(w, text, 512);
        if (captionLength < 0 || !SameName(*search->caption, text, captionLength)) return TRUE;
    } else if (!::IsWindowVisible(w) || !::IsWindowEnabled(w)) {
        return TRUE;
    }
    search->found = w;
    return FALSE;
}

HWND FindWindowOfProcess(WindowSearch search) {
    if (search.processId == 0) return nullptr;
    ::EnumWindows(&TakeFirstWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
}  // namespace

HWND FindProcessWindow(DWORD processId) { return FindWindowOfProcess({processId, nullptr, nullptr, nullptr}); }

HWND FindProcessWindow(DWORD processId, const std::wstring& cls, const std::wstring& caption) {
    return FindWindowOfProcess({processId, &cls, &caption, nullptr});
}

TProcessItem::TProcessItem(TProcessList* list, uint32_t processId, std::wstring path)
    : FProcessList(list), FProcessId(processId), FPath(std::move(path)) {}

TProcessItem& TProcessItem::Create(TProcessList* list, uint32_t processId, std::wstring path) {
    std::unique_ptr<TProcessItem> owned(new TProcessItem(list, processId, std::move(path)));
    TProcessItem& item = *owned;
    list->items_.push_back(std::move(owned));
    item.FProcess.reset(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                      processId));
    // Setting up the row never reports: a row that cannot be made is left out.
    try {
        TUpdateHost* host = list->FForm ? list->FForm->Host() : nullptr;
        if (host) item.FFrame = host->CreateRow(item);
    } catch (...) {
    }
    return item;
}

TProcessItem::~TProcessItem() { FreeFrame(); }

void TProcessItem::FreeFrame() {
    if (!FFrame) return;
    try {
        FFrame.reset();
        TUpdateHost* host = FProcessList && FProcessList->FForm ? FProcessList->FForm->Host() : nullptr;
        if (host) host->RowRemoved();
    } catch (...) {
    }
}

void TProcessItem::AttachLock(TProcessLockInfo& lock) {
    FLocks.push_back(&lock);
    if (!FFrame) return;
    std::wstring hint = FFrame->Hint();
    hint += hint.empty() ? L"Verwendet\r" : L"\r";
    hint += lock.FileName;
    FFrame->SetHint(hint);
}

bool TProcessItem::MayStillRun() const {
    return !FProcess || ::WaitForSingleObject(FProcess.get(), 0) == WAIT_TIMEOUT;
}

HWND TProcessItem::Window() const {
    // Once the process has ended its id may belong to another process: no window then.
    return MayStillRun() ? FindProcessWindow(FProcessId) : nullptr;
}

void TProcessItem::Kill() {
    TUpdateRun* form = FProcessList ? FProcessList->FForm : nullptr;
    if (FProcess) {
        if (MayStillRun()) {
            ::TerminateProcess(FProcess.get(), 0);
            if (form) form->Log(L"OK " + Caption() + L" gekillt");
        }
    } else if (UniqueHandleT process{::OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, FProcessId)}) {
        ::TerminateProcess(process.get(), 0);
        if (form) form->Log(L"OK " + Caption() + L" gekillt");
    }
    if (form) form->ScheduleScan(100);
}

void TProcessItem::CloseProcess() {
    TUpdateRun* form = FProcessList ? FProcessList->FForm : nullptr;
    if (HWND w = Window()) {
        // A window that does not answer is given up after a few seconds at most; the row stays
        // for "Prozess killen".
        if (!BringForward(w) || SendCloseMessage(w) == TCloseReply::NoAnswer) {
            if (form) form->Log(L"WARN " + Caption() + L" antwortet nicht, Closemessage aufgegeben");
        } else if (form) {
            form->Log(L"OK " + Caption() + L" Closemessage sended");
        }
    }
    if (form) form->ScheduleScan(1000);
}

void TProcessItem::BringToFront() {
    TUpdateRun* form = FProcessList ? FProcessList->FForm : nullptr;
    if (HWND w = Window()) {
        if (!BringForward(w)) {
            if (form) form->Log(L"WARN " + Caption() + L" antwortet nicht");
        } else if (form) {
            form->Log(L"OK " + Caption() + L" Bring to front sended");
        }
    }
    if (form) {
        form->ScheduleScan(500);
        if (form->Host()) form->Host()->ReturnToFront();
    }
}

int TProcessList::IndexOfProcess(uint32_t processId) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->FProcessId == processId) return static_cast<int>(i);
    return -1;
}

TProcessItem* TProcessList::FindProcess(uint32_t processId) const {
    int i = IndexOfProcess(processId);
    return i < 0 ? nullptr : items_[static_cast<size_t>(i)].get();
}

TProcessItem& TProcessList::FindOrAddProcess(uint32_t processId, const std::wstring& path) {
    if (TProcessItem* item = FindProcess(processId)) return *item;
    return TProcessItem::Create(this, processId, path);
}

void TProcessList::ClearLocks() {
    for (auto& item : items_) {
        if (item->FFrame) item->FFrame->SetHint(L"");
        item->FLocks.clear();
    }
}

void TProcessList::Delete(size_t i) {
    // Taken out of the list first, so the list never holds a half-destroyed item.
    std::unique_ptr<TProcessItem> item = std::move(items_[i]);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
}

}  // namespace swt
