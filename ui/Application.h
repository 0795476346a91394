// The application object: title, the hidden owner window of every form, the message loop,
// ProcessMessages, hint tooltips and the standard error display.
#pragma once
#include <windows.h>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/Form.h"

namespace swt {

class TApplication {
public:
    TApplication();
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // Common controls and the owner window. Called by the first use of Handle() anyway.
    void Initialize();
    // The hidden window that owns every form (so forms have no taskbar button of their own) and,
    // while the main form is shown, carries the program's taskbar button with the title.
    HWND Handle();
    const std::wstring& Title() const { return title_; }
    void SetTitle(const std::wstring& t);
    // Shows or hides the taskbar window (zero-sized, off the visible area).
    void ShowTaskbarWindow(bool show);
    // Off: showing the main form never shows the taskbar window, so the program has no taskbar
    // button at all (and, under Wine without a window manager, skips a hide that waits for X).
    bool MainFormOnTaskBar = true;

    // Constructs a form, runs its Loaded/create hooks and keeps it until the application ends.
    // The first form made this way is the main form; closing the main form ends Run.
    template <class T, class... Args>
    T* CreateForm(Args&&... args) {
        auto f = std::make_unique<T>(std::forward<Args>(args)...);
        T* p = f.get();
        if (!mainForm_) mainForm_ = p;
        forms_.push_back(std::move(f));
        p->AfterConstruction();
        return p;
    }
    TForm* MainForm() const { return mainForm_; }
    void SetMainForm(TForm* f) { mainForm_ = f; }
    // Shows the main form (when ShowMainForm) and runs the message loop until Terminate.
    bool ShowMainForm = true;
    void Run();
    // Handles every pending message, then returns.
    void ProcessMessages();
    // Waits for one message and handles it; false once WM_QUIT arrived.
    bool HandleMessage();
    void Terminate();
    bool Terminated() const { return terminated_; }

    // The standard error display: a message box with the error's text and the title, after which
    // the loop goes on. OnException, when set, replaces the box.
    void HandleException(std::exception_ptr e) noexcept;
    void ShowException(const std::wstring& text);
    std::function<void(const std::wstring& text)> OnException;
    // The text the display shows for an error: swt::Error's message, a std::exception's what().
    static std::wstring ExceptionText(std::exception_ptr e);

    // Hints: shown for the control under the mouse, or the nearest parent, that has ShowHint
    // and a hint text. HintPause in ms.
    int HintPause = 500;
    int HintHidePause = 10000;
    void CancelHint();
    // The hint control the last mouse message found (for tests).
    TControl* HintControl() const { return hintControl_; }

    // Bookkeeping of the controls; called by their destructors.
    void ControlDestroyed(TControl* c);
    void FormDestroyed(TForm* f);

private:
    bool ProcessMessage(MSG& msg);
    void HintMouseMessage(MSG& msg);

    std::wstring title_;
    HWND handle_ = nullptr;
    HWND tooltip_ = nullptr;
    TControl* hintControl_ = nullptr;
    HWND hintWindow_ = nullptr;
    bool initialized_ = false;
    bool terminated_ = false;
    TForm* mainForm_ = nullptr;
    std::vector<std::unique_ptr<TForm>> forms_;
};

// The program's one application object.
TApplication& Application();

}  // namespace swt
