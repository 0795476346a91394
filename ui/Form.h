// Forms: top-level windows with frame styles, stay-on-top, placement, close query and the
// create/loaded/show/hide hooks.
//
// Declaring a form:
//     class TKillFrm : public swt::TForm {
//     public:
//         TKillFrm() : TForm(L"TKillFrm") {          // window class name
//             Panel1 = Add<swt::TPanel>();          // children: built in the constructor
//             ...
//         }
//     protected:
//         void Loaded() override { ... }             // after the constructor, before FormCreate
//         void FormCreate() override { ... }         // the create hook (OnCreate too)
//         void FormCloseQuery(bool& canClose) override { canClose = ...; }
//         void CreateParams(swt::TCreateParams& p) override {   // window class style etc.
//             TForm::CreateParams(p);
//             p.ClassStyle |= CS_DROPSHADOW;
//         }
//     };
//     auto frm = swt::CreateForm<TKillFrm>();        // constructs, runs Loaded and FormCreate
//     // or Application().CreateForm<TKillFrm>(), which keeps it and makes the first one MainForm
//     frm->Show();
// Layout is batched while the constructor runs and done once before Loaded.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/Control.h"

namespace swt {

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TFormStyle { fsNormal, fsStayOnTop };
// poDesigned: Left/Top as set; poScreenCenter: centred on the monitor's work area when shown;
// poDefault: the system places the window.
enum class TPosition { poDesigned, poDefault, poScreenCenter };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

class TForm : public TWinControl {
public:
    explicit TForm(std::wstring windowClassName = L"TForm");
    ~TForm() override;

    const std::wstring& Caption() const { return caption_; }
    void SetCaption(const std::wstring& c);
    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle s);
    TFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle s);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition p) { position_ = p; }

    // Client area (inside the frame and inside BorderWidth).
    TRect ClientRect() const override { return TRect{0, 0, clientW_, clientH_}; }
    void SetClientSize(int width, int height);
    void SetClientWidth(int w) { SetClientSize(w, clientH_); }
    void SetClientHeight(int h) { SetClientSize(clientW_, h); }

    // Show activates the window (takes the keyboard focus) unless this is off. (Under Wine
    // without a window manager, hiding a window that was activated waits about 2 s.)
    bool ShowActivated = true;
    // Shows, hides, raises. Show creates the window if needed; showing the main form also shows
    // the application's taskbar window.
    void SetVisible(bool v) override;
    // Asks CloseQuery; when allowed runs OnClose and hides (the main form ends the message loop).
    void Close();
    // The close query: FormCloseQuery and OnCloseQuery may both refuse.
    bool CloseQuery();
    void BringToFront();
    void Realign() override;

    std::function<void(TForm&)> OnCreate;
    std::function<void(TForm&)> OnShow;
    std::function<void(TForm&)> OnHide;
    std::function<void(TForm&, bool& canClose)> OnCloseQuery;
    std::function<void(TForm&, TCloseAction& action)> OnClose;

    // Non-visual objects the form owns (timers, popup menus, image lists, actions): made here,
    // kept until the form goes, and destroyed after its controls (which may point at them), last
    // made first. Returns a non-owning pointer:  Timer1 = Own<swt::TTimer>();
    template <class T, class... Args>
    T* Own(Args&&... args) {
        auto p = std::make_shared<T>(std::forward<Args>(args)...);
        T* raw = p.get();
        owned_.push_back(std::move(p));
        return raw;
    }
    // Destroys one owned object now, for a part of the form that goes before the form (a row and
    // its context menu): release it after the controls that point at it. False when obj is not
    // owned here (it is left alone).
    bool Release(const void* obj);

    // Runs Loaded then the create hook; CreateForm calls it once after construction.
    void AfterConstruction();

    // The design is in pixels at DesignPixelsPerInch (96). When Scaled, the form is scaled to the
    // screen's pixels per inch once it is built, and again when the system moves it to a monitor
    // with another scale (the programs declare per-monitor awareness).
    bool Scaled = true;
    static constexpr int DesignPixelsPerInch = 96;
    // Pixels per inch the form's lengths are currently in.
    int PixelsPerInch() const { return pixelsPerInch_; }
    // Scales client size, children, margins, border widths and fonts by M/D.
    void ScaleBy(int M, int D);
    void ChangeScale(int M, int D) override;

    void BuildLayoutNode(TLayoutNode& n) override;
    void ApplyLayoutNode(const TLayoutNode& n) override;

protected:
    // After the constructor has built the form and it has been laid out; the place for work that
    // needs the finished design (the font guideline, extra controls made in code).
    virtual void Loaded() {}
    virtual void FormCreate() {}
    virtual void FormShow() {}
    virtual void FormHide() {}
    virtual void FormCloseQuery(bool& canClose) {}
    virtual void FormClose(TCloseAction& action) {}

    void CreateParams(TCreateParams& p) override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;
    TColor DefaultColor() const override { return clBtnFace; }
    void UpdateWindowBounds() override;
    void BoundsChanged(const TRect& old) override;

private:
    void WindowSizeFromClient(int& w, int& h) const;
    // The work area of the monitor nearest to the form; empty when the system gives none.
    TRect WorkArea() const;
    void ApplyPosition();

    std::wstring className_;
    std::wstring caption_;
    TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
    TFormStyle formStyle_ = TFormStyle::fsNormal;
    TPosition position_ = TPosition::poDesigned;
    int clientW_ = 0, clientH_ = 0;
    bool created_ = false;
    bool syncing_ = false;
    int pixelsPerInch_ = DesignPixelsPerInch;
    std::vector<std::shared_ptr<void>> owned_;
};

// Constructs a form and runs its Loaded and create hooks. The caller owns it.
template <class T, class... Args>
std::unique_ptr<T> CreateForm(Args&&... args) {
    auto f = std::make_unique<T>(std::forward<Args>(args)...);
    f->AfterConstruction();
    return f;
}

}  // namespace swt
