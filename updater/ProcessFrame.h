// The row of one process: a line in the button-face colour, the task block with the process's
// name, path, icon and links, a silver line, and the context menu with the same actions.
#pragma once
#include <memory>
#include <string>

#include "ui/Menus.h"
#include "ui/Panel.h"
#include "updater/UpdateHost.h"

namespace swt {

class TProcessItem;
class TShape;
class Tkx_TaskButton;
class TImageList;

// The row's context menu and the actions it and the links run; the row owns them.
struct TProcessRowActions {
    TAction ActionForeground;
    TAction ActionKill;
    TAction ActionClose;
    TPopupMenu PopupMenu1;
};

class TProcessFrame : public TPanel {
public:
    static constexpr const wchar_t* kDescription =
        L"Dieser Prozess verwendet Dateien, die zu aktualisieren sind. Um das Update abzuschließen, muss diese "
        L"Anwendung beendet werden.";

    // item: the process the row shows; actions: the row's menu and actions, which outlive the
    // frame (TProcessFrameRow owns both); images: the window's status pictures.
    TProcessFrame(TProcessItem& item, TProcessRowActions& actions, TImageList* images);

    TShape* Shape2 = nullptr;
    Tkx_TaskButton* kx_TaskButton1 = nullptr;
    TShape* Shape1 = nullptr;
    // The menu points at the actions and the row at the menu.
    TAction& ActionForeground;
    TAction& ActionKill;
    TAction& ActionClose;
    TPopupMenu& PopupMenu1;

    TProcessItem* FItem;  // not owned

    // Link index: -1 and 0 bring to front, 1 kills, 2 closes; others do nothing.
    void kx_TaskButton1LinkClick(int index);
    void Button1Click();  // kill
    void Button2Click();  // close
    void Button3Click();  // bring to front
};

// The row as the process list sees it: it owns the row's menu and actions and makes the frame
// for the item, appended below the rows in scrollBox; destroying it takes the frame out of the
// scroll box, then its menu and actions go.
class TProcessFrameRow : public TProcessRowView {
public:
    TProcessFrameRow(TWinControl& scrollBox, TProcessItem& item, TImageList* images);
    ~TProcessFrameRow() override;
    TProcessFrameRow(const TProcessFrameRow&) = delete;
    TProcessFrameRow& operator=(const TProcessFrameRow&) = delete;
    std::wstring Hint() const override;
    void SetHint(const std::wstring& hint) override;
    TProcessFrame* Frame() const { return frame_; }

private:
    TProcessRowActions actions_;  // first: made before the frame, gone after it
    TWinControl& scrollBox_;
    TProcessFrame* frame_ = nullptr;  // owned by the scroll box
};

}  // namespace swt
