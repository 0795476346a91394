#include "ui/Menus.h"

#include "base/UniqueHandle.h"
#include "ui/ImageList.h"

namespace swt {

namespace {

// The menu being shown: its pictures are drawn while TrackPopupMenu runs.
TPopupMenu* g_open = nullptr;

}  // namespace

void TMenuItem::Click() {
    if (Action) {
        Action->Execute();
        return;
    }
    if (Enabled && OnClick) OnClick(*this);
}

TMenuItem* TPopupMenu::Add(const std::wstring& caption, std::function<void(TMenuItem&)> onClick, int imageIndex) {
    auto item = std::make_unique<TMenuItem>();
    item->Caption = caption;
    item->OnClick = std::move(onClick);
    item->ImageIndex = imageIndex;
    items_.push_back(std::move(item));
    return items_.back().get();
}

TMenuItem* TPopupMenu::AddAction(TAction* action) {
    TMenuItem* item = Add(L"");
    item->Action = action;
    return item;
}

TMenuItem* TPopupMenu::Popup(int x, int y, HWND owner) {
    if (OnPopup) OnPopup(*this);
    UniqueMenu menu(::CreatePopupMenu());
    if (!menu) return nullptr;
    for (size_t i = 0; i < items_.size(); ++i) {
        TMenuItem& it = *items_[i];
        if (!it.Visible) continue;
        const std::wstring caption = it.Action ? it.Action->Caption : it.Caption;
        const int image = it.Action ? it.Action->ImageIndex : it.ImageIndex;
        const bool enabled = it.Action ? it.Action->Enabled : it.Enabled;
        MENUITEMINFOW mi{};
        mi.cbSize = sizeof mi;
        if (caption == L"-") {
            mi.fMask = MIIM_FTYPE;
            mi.fType = MFT_SEPARATOR;
        } else {
            mi.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_DATA;
            mi.wID = static_cast<UINT>(i + 1);
            mi.fState = enabled ? MFS_ENABLED : MFS_DISABLED;
            mi.dwTypeData = const_cast<wchar_t*>(caption.c_str());
            mi.dwItemData = static_cast<ULONG_PTR>(image + 1);
            if (Images && image >= 0 && image < Images->Count()) {
                mi.fMask |= MIIM_BITMAP;
                mi.hbmpItem = HBMMENU_CALLBACK;
            }
        }
        ::InsertMenuItemW(menu.get(), ::GetMenuItemCount(menu.get()), TRUE, &mi);
    }
    TPopupMenu* previous = g_open;
    g_open = this;
    // The owner comes to the foreground first so that the menu closes when the user clicks elsewhere.
    ::SetForegroundWindow(owner);
    const UINT cmd = static_cast<UINT>(
        ::TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, 0, owner, nullptr));
    ::PostMessageW(owner, WM_NULL, 0, 0);
    g_open = previous;
    if (cmd == 0 || cmd > items_.size()) return nullptr;
    TMenuItem* chosen = items_[cmd - 1].get();
    chosen->Click();
    return chosen;
}

bool TPopupMenu::OwnerDraw(UINT msg, LPARAM l) {
    if (!g_open || !g_open->Images) return false;
    TImageList& images = *g_open->Images;
    if (msg == WM_MEASUREITEM) {
        auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(l);
        if (m->CtlType != ODT_MENU) return false;
        m->itemWidth = static_cast<UINT>(images.Width());
        m->itemHeight = static_cast<UINT>(images.Height());
        return true;
    }
    if (msg == WM_DRAWITEM) {
        auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(l);
        if (d->CtlType != ODT_MENU) return false;
        const int index = static_cast<int>(d->itemData) - 1;
        const int y = d->rcItem.top + (d->rcItem.bottom - d->rcItem.top - images.Height()) / 2;
        images.Draw(d->hDC, d->rcItem.left, y, index, !(d->itemState & ODS_DISABLED));
        return true;
    }
    return false;
}

}  // namespace swt
