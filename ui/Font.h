// The font model: face, height, size, style, character set, quality and colour of a control's text.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

#include "base/UniqueHandle.h"
#include "ui/Types.h"

namespace swt {

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

struct TFontData {
    std::wstring Name = L"Tahoma";
    // Pixels; negative: character height, positive: cell height (as LOGFONT's lfHeight).
    int Height = -11;
    TFontStyles Style = 0;
    BYTE Charset = DEFAULT_CHARSET;
    BYTE Quality = DEFAULT_QUALITY;
    TColor Color = clWindowText;
};

// The framework's default font: every new TFont starts from these values. The font guideline
// writes face, height, character set and quality here.
TFontData& DefaultFontData();

// Logical pixels per inch of the screen, read once; sizes in points convert through it.
int ScreenPixelsPerInch();

class TFont {
public:
    TFont();
    explicit TFont(const TFontData& data);
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;

    const std::wstring& Name() const { return d_.Name; }
    void SetName(const std::wstring& name);
    int Height() const { return d_.Height; }
    void SetHeight(int height);
    // Points: -Height * 72 / pixels per inch, rounded (Height -11 at 96 ppi is 8, -12 is 9).
    int Size() const;
    void SetSize(int points);
    TFontStyles Style() const { return d_.Style; }
    void SetStyle(TFontStyles style);
    BYTE Charset() const { return d_.Charset; }
    void SetCharset(BYTE charset);
    BYTE Quality() const { return d_.Quality; }
    void SetQuality(BYTE quality);
    TColor Color() const { return d_.Color; }
    void SetColor(TColor color);

    const TFontData& Data() const { return d_; }
    // Takes every attribute of `other` (one change notification).
    void Assign(const TFont& other);
    void Assign(const TFontData& data);
    LOGFONTW ToLogFont() const;
    // The GDI font for the current attributes; created on first use, owned by this object.
    HFONT Handle() const;

    // Raised after any attribute changed.
    std::function<void()> OnChange;

private:
    void Changed();
    // Stores a changed value and announces the change; an equal value changes nothing.
    template <typename T>
    void SetField(T& field, const T& value) {
        if (field == value) return;
        field = value;
        Changed();
    }

    TFontData d_;
    mutable UniqueFont handle_;
};

}  // namespace swt
