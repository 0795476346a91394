// The updater's window: header, the scroll box with one row per holder, footer, the timer, the
// status pictures and the actions. The run it owns does the work; the window forwards to it.
#pragma once
#include <windows.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/Form.h"
#include "ui/ImageList.h"
#include "ui/Menus.h"
#include "ui/Timer.h"
#include "updater/UpdateHost.h"
#include "updater/UpdateRun.h"

namespace swt {

class TScrollBox;
class Tkx_TaskButton;

class TForm1 : public TForm, public TUpdateHost {
public:
    static constexpr const wchar_t* kCaption = TUpdateRun::kCaption;
    static constexpr const wchar_t* kWindowClass = TUpdateRun::kWindowClass;
    static constexpr const wchar_t* kHeaderCaption = L"Warte auf Prozesse...";
    static constexpr const wchar_t* kHeaderDescription =
        L"Um das Update abzuschließen, müssen folgende Prozesse beendet werden. Doppelklicken Sie auf den "
        L"Prozessnamen, um die Anwendung in den Vordergrund zu bringen und schließen Sie diese.";
    // The header's description while a file stays blocked and the lock scan names no holder for it.
    static constexpr const wchar_t* kHeaderHolderNotFound =
        L"Eine Datei wird von einem Programm blockiert, das hier nicht angezeigt werden kann (etwa einem Prozess "
        L"eines anderen Benutzers oder einem Programm ohne Fenster); schließen Sie Programme von Hand oder starten "
        L"Sie den Computer neu, damit das Update abgeschlossen werden kann.";
    static constexpr const wchar_t* kFooterDescription =
        L"Versuchen Sie nach Möglichkeit, über \"In den Vordergrund bringen\" das Programm manuell zu schließen. "
        L"Um Prozesse zu killen sind ggf. erweiterte Windows-Nutzerrechte nötig";
    // Where the window stands when there is no foreground window to place it by.
    static constexpr int kDesignedLeft = 224;
    static constexpr int kDesignedTop = 70;

    // args: the program's arguments, element 0 being the program path.
    explicit TForm1(std::vector<std::wstring> args);
    ~TForm1() override;

    // A member, so it goes before the controls of the base class: its items' rows take their
    // frames out of the scroll box while it still exists.
    TUpdateRun Run;

    Tkx_TaskButton* kx_TaskButton1 = nullptr;
    TScrollBox* ScrollBox1 = nullptr;
    Tkx_TaskButton* kx_TaskButton2 = nullptr;
    // Non-visual objects on the form's owner list, so they outlive the rows and buttons that point
    // at them (plain members would go before the base class's controls).
    TTimer& Timer1 = *Own<TTimer>();
    TImageList& ImageListStatus = *Own<TImageList>(16, 16);
    TAction& UpdateFiles = *Own<TAction>();
    TAction& CloseProgramm = *Own<TAction>();
    TAction& StartProgramm = *Own<TAction>();
    TAction& ActionAlleBeenden = *Own<TAction>();

    void Timer1Timer() { Run.Timer1Timer(); }
    void kx_TaskButton2LinkClick(int index) { Run.kx_TaskButton2LinkClick(index); }

    // TUpdateHost
    bool WindowVisible() override;
    void HideWindow() override;
    void CloseWindow() override;
    void ProcessMessages() override;
    void StopTimer() override;
    void StartTimer(unsigned ms) override;
    void BeginRowUpdate() override;
    void EndRowUpdate() override;
    std::unique_ptr<TProcessRowView> CreateRow(TProcessItem& item) noexcept override;
    void RowRemoved() override;
    void ReturnToFront() override;
    HWND ScanWindow() override;
    void ShowError(const std::wstring& text) override;
    void ShowHolderNotFound(bool notFound) override;

protected:
    void CreateParams(TCreateParams& p) override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;
    void Loaded() override;
    void FormCreate() override;
    void FormShow() override;
    void FormCloseQuery(bool& canClose) override;
    void FormClose(TCloseAction& action) override;

private:
    // Holds the window's layout from BeginRowUpdate to EndRowUpdate.
    std::optional<TAlignBatch> rowBatch_;
};

// The window's bounds for its size: 16 pixels inside the top-left corner of the work area, moved
// up and left as far as needed to stay inside it; the designed place for an empty work area.
TRect UpdateWindowBounds(const TRect& work, TSize size);
// The same in the work area of the monitor nearest to the foreground window (none: the designed
// place).
TRect UpdateWindowPlace(HWND foreground, TSize size);

}  // namespace swt
