// The process list: one item, with its row, per process that holds a destination file open.
#pragma once
#include <windows.h>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/ProcessIdentity.h"
#include "base/UniqueHandle.h"
#include "updater/UpdateHost.h"

namespace swt {

class TProcessList;

// What a row's actions need of the run: the log, the next scan pass, and the updater's own window
// in front again. The run implements it; items and rows know nothing else of the run.
class TProcessRowSite {
public:
    virtual void Log(const std::wstring& text) const noexcept = 0;
    // The next pass comes after ms.
    virtual void ScheduleScan(unsigned ms) = 0;
    virtual void ReturnToFront() = 0;

protected:
    ~TProcessRowSite() = default;
};

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
    // Appends the new item, without a row, to list (which owns it), and opens the process once
    // (open: OpenProcess's shape; tests pass openers that refuse rights).
    static TProcessItem& Create(TProcessList* list, uint32_t processId, std::wstring path,
                                ProcessOpener open = nullptr);
    ~TProcessItem();
    TProcessItem(const TProcessItem&) = delete;
    TProcessItem& operator=(const TProcessItem&) = delete;

    // The row's caption: the process's display name.
    std::wstring Caption() const { return ProcessDisplayName(FPath); }
    // Adds a file the process holds in the current pass to the item and to the row's hint.
    void AddHeldFile(std::wstring fileName);
    // The row's hint ("Verwendet" and one line per held file), empty without a row.
    std::wstring Hint() const { return FFrame ? FFrame->Hint() : std::wstring(); }

    // The row's actions; each reschedules the next scan pass (100, 1000, 500 ms). They act only on
    // the process the row was made for: once it has ended, or when it could not be opened at all,
    // they do nothing and log nothing. An action that fails is skipped; the row stays.
    void Kill() noexcept;
    void CloseProcess() noexcept;
    void BringToFront() noexcept;

    TProcessList* FProcessList;  // not owned
    uint32_t FProcessId;
    std::wstring FPath;
    // The row on screen, made by the run's window; none without a window. Destroying it takes the
    // row off the screen.
    std::unique_ptr<TProcessRowView> FFrame;
    // The files this process holds in the current pass (drive-letter paths, as the hint shows
    // them), in the order they were added.
    std::vector<std::wstring> FHeldFiles;
    // The process, opened once when the row was made (to terminate and wait on it, or, when
    // terminating is refused, to wait on it alone), so that the actions act on it and never on a
    // later process that was given the same id. None when it could not be opened.
    UniqueHandleT FProcess;

private:
    TProcessItem(TProcessList* list, uint32_t processId, std::wstring path, ProcessOpener open);
    // Whether the process the row was made for still runs (false without a handle).
    bool StillRuns() const;
    HWND Window() const;
    // Terminates the process the row was made for, and no other; false when it does not run.
    bool TerminateHolder() const;
    // The shape every row action shares, and its one boundary: step returns the log line (empty:
    // nothing to log); then the next pass comes after nextPassMs, and with returnToFront the
    // updater's own window comes to the front again.
    template <class Step>
    void Act(unsigned nextPassMs, bool returnToFront, Step step) noexcept;

    ProcessOpener open_;
    // FProcess may terminate, not only wait.
    bool canTerminate_ = false;
    // When the process was created (FILETIME units), read through FProcess; 0 without it.
    int64_t created_ = 0;
};

// Owns its items: removing an item destroys it with its row.
class TProcessList {
public:
    // site: what the rows' actions log to and reschedule; may be none (no log).
    explicit TProcessList(TProcessRowSite* site = nullptr) : FSite(site) {}
    TProcessList(const TProcessList&) = delete;
    TProcessList& operator=(const TProcessList&) = delete;

    size_t Count() const { return items_.size(); }
    TProcessItem& operator[](size_t i) const { return *items_[i]; }
    int IndexOfProcess(uint32_t processId) const;
    TProcessItem* FindProcess(uint32_t processId) const;
    // Empties every item's held files and clears every row's hint.
    void ClearHeldFiles();
    void Delete(size_t i);

    TProcessRowSite* FSite;  // not owned

private:
    friend class TProcessItem;
    std::vector<std::unique_ptr<TProcessItem>> items_;
};

}  // namespace swt
