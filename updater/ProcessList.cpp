#include "updater/ProcessList.h"

#include "base/PathName.h"
#include "updater/ForeignWindow.h"

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

// Called by the system: noexcept, and nothing in it throws.
BOOL CALLBACK TakeFirstWindowOf(HWND w, LPARAM l) noexcept {
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

namespace {
constexpr DWORD kTerminateRights = PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;
constexpr DWORD kWaitRights = SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;
constexpr DWORD kTerminateByIdRights = PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION;
}  // namespace

TProcessItem::TProcessItem(TProcessList* list, uint32_t processId, std::wstring path, ProcessOpener open)
    : FProcessList(list), FProcessId(processId), FPath(std::move(path)),
      open_(open ? open : &OpenProcessWithoutInherit) {}

TProcessItem& TProcessItem::Create(TProcessList* list, uint32_t processId, std::wstring path, ProcessOpener open) {
    std::unique_ptr<TProcessItem> owned(new TProcessItem(list, processId, std::move(path), open));
    TProcessItem& item = *owned;
    list->items_.push_back(std::move(owned));
    // Terminating may be refused (another user's process, an elevated one): waiting alone still
    // keeps the process named by the handle, and its creation time is read for a kill by id.
    for (const DWORD rights : {kTerminateRights, kWaitRights}) {
        UniqueHandleT opened(item.open_(rights, processId));
        if (!opened) continue;
        item.created_ = CreationTimeIfId(opened.get(), processId);
        if (item.created_ == 0) break;  // another process than the one the scan named
        item.FProcess = std::move(opened);
        item.canTerminate_ = rights == kTerminateRights;
        break;
    }
    return item;
}

TProcessItem::~TProcessItem() = default;

void TProcessItem::AddHeldFile(std::wstring fileName) {
    FHeldFiles.push_back(std::move(fileName));
    if (!FFrame) return;
    std::wstring hint = L"Verwendet";
    for (const std::wstring& file : FHeldFiles) hint += L"\r" + file;
    FFrame->SetHint(hint);
}

bool TProcessItem::StillRuns() const {
    return FProcess && ::WaitForSingleObject(FProcess.get(), 0) == WAIT_TIMEOUT;
}

HWND TProcessItem::Window() const {
    // Once the process has ended its id may belong to another process: no window then.
    return StillRuns() ? FindProcessWindow(FProcessId) : nullptr;
}

bool TProcessItem::TerminateHolder() const {
    if (!StillRuns()) return false;
    // The result of the termination is not looked at: the next pass shows whether the row goes.
    if (canTerminate_) {
        ::TerminateProcess(FProcess.get(), 0);
        return true;
    }
    // By id, only the process the row was made for: the exact id, created at the same moment.
    UniqueHandleT byId(open_(kTerminateByIdRights, FProcessId));
    if (!byId || CreationTimeIfId(byId.get(), FProcessId) != created_) return false;
    ::TerminateProcess(byId.get(), 0);
    return true;
}

template <class Step>
void TProcessItem::Act(unsigned nextPassMs, bool returnToFront, Step step) noexcept {
    try {
        TProcessRowSite* site = FProcessList ? FProcessList->FSite : nullptr;
        const std::wstring line = step();
        if (!site) return;
        if (!line.empty()) site->Log(line);
        site->ScheduleScan(nextPassMs);
        if (returnToFront) site->ReturnToFront();
    } catch (...) {
        // The action is skipped; the row stays and the passes go on.
    }
}

void TProcessItem::Kill() noexcept {
    Act(100, false, [this] { return TerminateHolder() ? L"OK " + Caption() + L" gekillt" : std::wstring(); });
}

void TProcessItem::CloseProcess() noexcept {
    Act(1000, false, [this] {
        HWND w = Window();
        if (!w) return std::wstring();
        // A window that does not answer is given up after a few seconds at most; the row stays
        // for "Prozess killen".
        if (!BringForward(w) || SendCloseMessage(w) == TCloseReply::NoAnswer)
            return L"WARN " + Caption() + L" antwortet nicht, Closemessage aufgegeben";
        return L"OK " + Caption() + L" Closemessage sended";
    });
}

void TProcessItem::BringToFront() noexcept {
    Act(500, true, [this] {
        HWND w = Window();
        if (!w) return std::wstring();
        return BringForward(w) ? L"OK " + Caption() + L" Bring to front sended"
                               : L"WARN " + Caption() + L" antwortet nicht";
    });
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

void TProcessList::ClearHeldFiles() {
    for (auto& item : items_) {
        if (item->FFrame) item->FFrame->SetHint(L"");
        item->FHeldFiles.clear();
    }
}

void TProcessList::Delete(size_t i) {
    // Taken out of the list first, so the list never holds a half-destroyed item.
    std::unique_ptr<TProcessItem> item = std::move(items_[i]);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
}

}  // namespace swt
