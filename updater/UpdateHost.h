// What the update run needs of its window: the timer, showing and closing, the rows, the error
// display. The window TForm1 is the one real host; without a host the run works on files, the
// registry and processes alone.
#pragma once
#include <windows.h>
#include <memory>
#include <string>

namespace swt {

class TProcessItem;

// The on-screen row of one process: the part of it the scan pass writes.
class TProcessRowView {
public:
    virtual ~TProcessRowView() = default;
    virtual std::wstring Hint() const = 0;
    virtual void SetHint(const std::wstring& hint) = 0;
};

class TUpdateHost {
public:
    virtual ~TUpdateHost() = default;
    virtual bool WindowVisible() = 0;
    virtual void HideWindow() = 0;
    // Closes the window; the window's close handler calls TUpdateRun::FormClose.
    virtual void CloseWindow() = 0;
    // Handles the messages waiting in the updater's own queue.
    virtual void ProcessMessages() = 0;
    virtual void StopTimer() = 0;
    virtual void StartTimer(unsigned ms) = 0;
    // Rows are added and removed between these two without a layout pass for each.
    virtual void BeginRowUpdate() = 0;
    virtual void EndRowUpdate() = 0;
    // A new row for the item (appended below the others), or none when it cannot be made: setting
    // up a row never reports.
    virtual std::unique_ptr<TProcessRowView> CreateRow(TProcessItem& item) noexcept = 0;
    // Rows have gone: the window lays out again and sizes itself to the rows left.
    virtual void RowRemoved() = 0;
    // The updater's own window becomes the foreground window again.
    virtual void ReturnToFront() = 0;
    // The window a scan thread announces its result to (TScanThread::kScanDone, which the window
    // hands to TUpdateRun::ScanArrived); none: the run scans on its own thread.
    virtual HWND ScanWindow() { return nullptr; }
    // The standard error display.
    virtual void ShowError(const std::wstring& text) = 0;
    // notFound: a file stays blocked and the lock scan names no holder for it; the header tells
    // the user what is left to do. False: the header shows its usual text.
    virtual void ShowHolderNotFound(bool notFound) { (void)notFound; }
};

}  // namespace swt
