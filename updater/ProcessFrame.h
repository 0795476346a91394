// The row of one process: a line in the button-face colour, the task block with the process's
// name, path, icon and links, a silver line, and the context menu with the same actions.
#pragma once
#include <memory>
#include <string>

#include "ui/Menus.h"
#include "ui/Panel.h"
#include "updater/UpdateHost.h"

namespace swt {

class TForm;
class TForm1;
class TProcessItem;
class TShape;
class Tkx_TaskButton;
class TImageList;

class TProcessFrame : public TPanel {
public:
    static constexpr const wchar_t* kDescription =
        L"Dieser Prozess verwendet Dateien, die zu aktualisieren sind. Um das Update abzuschließen, muss diese "
        L"Anwendung beendet werden.";

    // item: the process the row shows; owner: the window, which owns the row's menu and actions
    // (TProcessFrameRow releases them after the row); images: the window's status pictures.
    TProcessFrame(TProcessItem& item, TForm& owner, TImageList* images);

    TShape* Shape2 = nullptr;
    Tkx_TaskButton* kx_TaskButton1 = nullptr;
    TShape* Shape1 = nullptr;
    // On the window's owner list: the menu points at the actions and the row at the menu.
    TAction& ActionForeground;
    TAction& ActionKill;
    TAction& ActionClose;
    TPopupMenu& PopupMenu1;

    TProcessItem* FItem;  // not owned
    TForm& Owner() const { return *owner_; }

    // Link index: -1 and 0 bring to front, 1 kills, 2 closes; others do nothing.
    void kx_TaskButton1LinkClick(int index);
    void Button1Click();  // kill
    void Button2Click();  // close
    void Button3Click();  // bring to front

private:
    TForm* owner_;
};

// The row as the process list sees it: destroying it takes the row out of its scroll box, then
// releases the row's menu and actions from the window's owner list.
class TProcessFrameRow : public TProcessRowView {
public:
    TProcessFrameRow(TWinControl* scrollBox, TProcessFrame* frame);
    ~TProcessFrameRow() override;
    std::wstring Hint() const override;
    void SetHint(const std::wstring& hint) override;
    TProcessFrame* Frame() const { return frame_; }

private:
    TWinControl* scrollBox_;
    TProcessFrame* frame_;
    TForm* owner_ = nullptr;
    const void* owned_[4] = {};  // the row's menu and actions, menu first (it points at the actions)
};

}  // namespace swt
