// The block the updater's window shows as header, footer and process row: an icon, a bold
// caption, a description and links listed one per line, each link reported by its index.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

#include "ui/Panel.h"

namespace swt {

class TLabel;
class TImage;

class TTaskBlock : public TPanel {
public:
    TTaskBlock();

    void SetCaption(const std::wstring& text);
    const std::wstring& Caption() const { return caption_; }
    void SetCaptionDescription(const std::wstring& text);
    const std::wstring& CaptionDescription() const { return description_; }
    // Links in order; an empty text keeps its index but shows nothing.
    void SetLinks(const std::vector<std::wstring>& links);
    int LinkCount() const { return static_cast<int>(links_.size()); }
    // The icon drawn left of the caption (copied); none leaves the space empty.
    void SetIcon(HICON icon);
    bool HasIcon() const { return hasIcon_; }

    // A click: the link's index, or -1 for a click outside every link.
    std::function<void(TTaskBlock& sender, int index)> OnLinkClick;
    // Raises OnLinkClick as a click would.
    void ClickLink(int index);

private:
    void UpdateLabels();

    std::wstring caption_;
    std::wstring description_;
    std::vector<std::wstring> links_;
    TImage* icon_ = nullptr;
    TLabel* captionLabel_ = nullptr;
    TLabel* descriptionLabel_ = nullptr;
    std::vector<TLabel*> linkLabels_;
    bool hasIcon_ = false;
};

}  // namespace swt
