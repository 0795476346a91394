// Fixture: a program with two small windows that apply the font guideline when loaded, as the
// countdown window does; built twice, with the terminator's and with the updater's build of the
// library. Writes what came out to the file named by its /OUT: argument, one "name=value" line
// each, then ends.
#include <windows.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "base/AnsiText.h"
#include "base/CommandLine.h"
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
        std::wstring out;
        for (const auto& a : CommandLineArgs())
            if (a.rfind(L"/OUT:", 0) == 0) out = a.substr(5);
        std::wostringstream o;
#if SWT_XPROCS_TERMINATOR
        o << L"modeBefore=" << FontGuidelineMode() << L"\n";
#endif
        auto first = CreateForm<TProbeForm>();
        first->Show();
#if SWT_XPROCS_TERMINATOR
        o << L"mode=" << FontGuidelineMode() << L"\n";
        o << L"menu=" << MenuFontFace().value_or(L"-") << L"\n";
#endif
        o << L"form=" << FontLine(first->Font()) << L"\n";
        o << L"own=" << FontLine(first->Own->Font()) << L"\n";
        o << L"inherited=" << FontLine(first->Inherited->Font()) << L"\n";
        o << L"ownHeight=" << first->Own->Height() << L"\n";
        o << L"default=" << FontLine(TFont()) << L"\n";
        auto second = CreateForm<TProbeForm>();
        o << L"second=" << FontLine(second->Own->Font()) << L"\n";
        o << L"secondHeight=" << second->Own->Height() << L"\n";
#if SWT_XPROCS_TERMINATOR
        o << L"textHeight9=" << [] {
            TFont f;
            f.SetSize(9);
            return TDefaultFontSizes::TextHeight(f);
        }() << L"\n";
        o << L"fonts=";
        for (const auto& f : ScreenFonts()) o << f << L";";
        o << L"\n";
#endif
        std::wstring text = o.str();
        HANDLE h = ::CreateFileW(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            const std::string utf8 = ToUtf8(text);
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
