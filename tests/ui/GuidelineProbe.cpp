// Fixture: a program of the terminator's build with two small windows that apply the font
// guideline when loaded, as the countdown window does. Writes what came out to the file named by
// its /OUT: parameter, one "name=value" line each, then ends.
#include <windows.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "support/xProcs.h"
#include "ui/Ui.h"

using namespace swt;

namespace {

class TProbeForm : public TForm {
public:
    TProbeForm() : TForm(L"TProbeForm") {
        SetBorderStyle(TFormBorderStyle::bsNone);
        SetBounds(10, 10, 200, 100);
        Font().SetName(L"MS Sans Serif");
        Font().SetHeight(-11);
        Own = Add<TLabel>();
        Own->Font().SetName(L"Arial");
        Own->Font().SetHeight(-11);
        Own->SetAutoSize(false);
        Own->SetBounds(0, 0, 100, 10);
        Own->SetCaption(L"Own");
        Inherited = Add<TLabel>();
        Inherited->SetCaption(L"Inherited");
    }
    TLabel* Own;
    TLabel* Inherited;

protected:
    void Loaded() override { ApplyFontGuideline(this, L"", -1); }
};

std::wstring FontLine(const TFont& f) {
    std::wostringstream o;
    o << f.Name() << L"|" << f.Height() << L"|" << f.Size() << L"|" << int(f.Quality()) << L"|" << int(f.Charset());
    return o.str();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        XProcsLibrary library;
        const std::wstring out = ApplicationParams().GetParamValue(L"OUT");
        std::wostringstream o;
        o << L"modeBefore=" << FontGuidelineMode() << L"\n";
        auto first = CreateForm<TProbeForm>();
        first->Show();
        o << L"mode=" << FontGuidelineMode() << L"\n";
        o << L"menu=" << MenuFontFace().value_or(L"-") << L"\n";
        o << L"form=" << FontLine(first->Font()) << L"\n";
        o << L"own=" << FontLine(first->Own->Font()) << L"\n";
        o << L"inherited=" << FontLine(first->Inherited->Font()) << L"\n";
        o << L"ownHeight=" << first->Own->Height() << L"\n";
        o << L"default=" << FontLine(TFont()) << L"\n";
        auto second = CreateForm<TProbeForm>();
        o << L"second=" << FontLine(second->Own->Font()) << L"\n";
        o << L"secondHeight=" << second->Own->Height() << L"\n";
        o << L"textHeight9=" << [] {
            TFont f;
            f.SetSize(9);
            return TDefaultFontSizes::TextHeight(f);
        }() << L"\n";
        o << L"fonts=";
        for (const auto& f : ScreenFonts()) o << f << L";";
        o << L"\n";
        std::wstring text = o.str();
        HANDLE h = ::CreateFileW(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
            std::string utf8(static_cast<size_t>(n), '\0');
            ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), n, nullptr, nullptr);
            DWORD written = 0;
            ::WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
            ::CloseHandle(h);
        }
        // Hiding a window costs seconds under Wine without a window manager; end without it.
        first.release();
        second.release();
    } catch (...) {
    }
    return 0;
}
