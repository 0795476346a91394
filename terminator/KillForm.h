// The countdown window: header with the process's display name and the close glyph, a white body
// with a fixed text, the progress bar, a separator and the countdown text.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/Form.h"

namespace swt {

class TPanel;
class TLabel;
class TProgressBar;
class TImage;
class TWatchedProcess;

class TKillFrm : public TForm {
public:
    static constexpr const wchar_t* kCaption = L"KillFrm";
    static constexpr const wchar_t* kWindowClass = L"TKillFrm";
    static constexpr const wchar_t* kHeaderText = L"VELTRA";
    static constexpr const wchar_t* kBodyText = L"Prozess wird beendet\r\nWarte auf Abschluss";

    // process: the watched process the close glyph terminates (non-owning; outlives the window).
    explicit TKillFrm(const TWatchedProcess& process);

    TPanel* Panel1 = nullptr;
    TPanel* Panel2 = nullptr;
    TLabel* Label1 = nullptr;
    TPanel* Panel3 = nullptr;
    TLabel* Label2 = nullptr;
    TLabel* Label3 = nullptr;
    TPanel* Panel4 = nullptr;
    TProgressBar* PB = nullptr;
    TImage* Image1 = nullptr;

    int64_t MaxTime() const { return fMaxTime; }
    void SetMaxTime(int64_t value) { fMaxTime = value; }
    int64_t ShowTime = 0;
    int64_t StartTime = 0;
    int32_t ProcessId = 0;

    // What the waiting loop does with the window.
    bool IsShown() const;
    void RepaintNow();
    void ProcessMessages();
    void SetProgressRange(int minimum, int maximum);
    void SetProgress(int position);
    void SetDisplayName(const std::wstring& name);
    void SetCountdownText(const std::wstring& text);
    // Placed by code only: centred on the bounds, then shown.
    void ShowCentredOn(const RECT& bounds);
    // The user ended the program from the window (Ctrl+click on the close glyph).
    bool EndRequested() const { return endRequested_; }
    // Ends the waiting loop after the current message processing.
    void RequestEnd() { endRequested_ = true; }
    bool CanClose() const { return CanRealClose; }

    // Event handlers, public so that tests can raise them.
    void Panel2MouseDown(TControl& sender, TMouseButton button, TShiftState shift, int x, int y);
    void PBMouseDown(TControl& sender, TMouseButton button, TShiftState shift, int x, int y);
    void Image1Click(TControl& sender);

protected:
    void CreateParams(TCreateParams& p) override;
    void Loaded() override;
    void FormCreate() override;
    void FormCloseQuery(bool& canClose) override;
    // The end of the user's session removes the private temporary folder.
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    bool CanRealClose = false;
    int64_t fMaxTime = 0;
    const TWatchedProcess& process_;
    bool endRequested_ = false;
    // Ctrl was held during the current click on the close glyph (its mouse messages' key flags).
    bool clickWithCtrl_ = false;
};

// The one countdown window of the program while it runs (non-owning), or null.
extern TKillFrm* KillFrm;

}  // namespace swt
