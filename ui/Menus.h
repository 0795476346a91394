// Popup menus with pictures from an image list, and actions (a caption and a handler to run).
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace swt {

class TControl;
class TImageList;

// A named handler with a caption, shared by menu items and buttons.
class TAction {
public:
    TAction() = default;
    TAction(std::wstring caption, std::function<void(TAction&)> onExecute, int imageIndex = -1)
        : Caption(std::move(caption)), ImageIndex(imageIndex), OnExecute(std::move(onExecute)) {}
    std::wstring Caption;
    int ImageIndex = -1;
    bool Enabled = true;
    std::function<void(TAction&)> OnExecute;
    // Runs the handler; true when there was one.
    bool Execute() {
        if (!Enabled || !OnExecute) return false;
        OnExecute(*this);
        return true;
    }
};

class TMenuItem {
public:
    std::wstring Caption;  // "-" is a separator
    int ImageIndex = -1;
    bool Enabled = true;
    bool Visible = true;
    std::function<void(TMenuItem&)> OnClick;
    // When set, caption, picture, enabled state and handler come from the action (not owned; a
    // form keeps it with TForm::Own).
    TAction* Action = nullptr;

    bool IsSeparator() const { return Caption == L"-"; }
    void Click();
};

class TPopupMenu {
public:
    TPopupMenu() = default;
    TPopupMenu(const TPopupMenu&) = delete;
    TPopupMenu& operator=(const TPopupMenu&) = delete;

    TMenuItem* Add(const std::wstring& caption, std::function<void(TMenuItem&)> onClick = {}, int imageIndex = -1);
    TMenuItem* AddAction(TAction* action);
    TMenuItem* AddSeparator() { return Add(L"-"); }
    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int i) const { return items_[static_cast<size_t>(i)].get(); }

    // Pictures for the items (not owned; a form keeps it with TForm::Own).
    TImageList* Images = nullptr;
    // Raised before the menu opens.
    std::function<void(TPopupMenu&)> OnPopup;
    // The control the menu was opened for.
    TControl* PopupComponent() const { return popupComponent_; }
    void SetPopupComponent(TControl* c) { popupComponent_ = c; }

    // Shows the menu at a screen point, owned by `owner`, and runs the chosen item's handler.
    // Returns the chosen item or null.
    TMenuItem* Popup(int x, int y, HWND owner);

    // Pictures of an open menu: WM_MEASUREITEM / WM_DRAWITEM of the owner window.
    static bool OwnerDraw(UINT msg, LPARAM l);

private:
    std::vector<std::unique_ptr<TMenuItem>> items_;
    TControl* popupComponent_ = nullptr;
};

}  // namespace swt
