// Writes pictures of the sample window (header, one process row, footer) as the screen shows it:
// one with the pointer away and one with the pointer on the row's first link, for the given
// drawing style. Usage: taskbutton_shots <classic|themed> <output prefix>; writes
// <prefix>.bmp and <prefix>-hover.bmp (scripts/taskbutton-shots turns them into PNG files).
#include <windows.h>

#include <cstdio>
#include <string>

#include "components/VeltraGDIPAPI.h"
#include "components/XGraphic.h"
#include "components/kx_Scale.h"
#include "base/DibSection.h"
#include "base/UniqueHandle.h"
#include "tests/components/TaskSamples.h"
#include "ui/Application.h"

using namespace swt;

namespace {

bool WriteBmp(const std::wstring& path, HWND window) {
    RECT wr;
    ::GetWindowRect(window, &wr);
    const int w = wr.right - wr.left, h = wr.bottom - wr.top;
    WindowDc whole(window, WindowDc::WholeWindow);
    HDC src = whole.get();
    if (!src) return false;
    void* bits = nullptr;
    const BITMAPINFO bi = DibInfo(w, h, 24, DibRows::BottomUp);  // as the file stores it
    UniqueBitmap section = CreateDibSection(src, w, h, 24, &bits, DibRows::BottomUp);
    UniqueMemDc mem(::CreateCompatibleDC(src));
    {
        SelectGuard sel(mem.get(), section.get());
        ::BitBlt(mem.get(), 0, 0, w, h, src, 0, 0, SRCCOPY);
    }
    ::GdiFlush();
    const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u, size = stride * static_cast<DWORD>(h);
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + size;
    UniqueFile f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!f) return false;
    DWORD n = 0;
    ::WriteFile(f.get(), &fh, sizeof fh, &n, nullptr);
    ::WriteFile(f.get(), &bi.bmiHeader, sizeof bi.bmiHeader, &n, nullptr);
    ::WriteFile(f.get(), bits, size, &n, nullptr);
    return true;
}

void Settle() {
    for (int i = 0; i < 10; ++i) {
        Application().ProcessMessages();
        ::Sleep(30);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    KxScaleUnit scaling;
    GdiplusLibrary gdiplus;
    const bool themed = std::wstring(argv[1]) == L"themed";
    const std::wstring prefix = argv[2];

    // A real program's icon through the same conversion the updater's rows use.
    std::unique_ptr<TPngImage> icon;
    TIcon ico;
    wchar_t windows[MAX_PATH];
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    if (ExtractFileIcon(std::wstring(windows) + L"\\notepad.exe", 0, ico)) icon = GraphicToPng(ico);

    auto form = CreateForm<sample::TTaskSampleForm>(
        1, themed ? Tkx_DrawingStyle::kx_DrawingStyleThemed : Tkx_DrawingStyle::kx_DrawingStyleClassic, icon.get());
    form->Rows[0]->SetCaption(L"notepad.exe");
    form->Rows[0]->SetDrawCloseButton(true);
    form->Show();
    ::SetForegroundWindow(form->Handle());
    ::SetCursorPos(5, 1000);
    Settle();
    bool ok = WriteBmp(prefix + L".bmp", form->Handle());

    Tkx_TaskButton* row = form->Rows[0];
    const TRect& link = row->LinkRects()[0];
    POINT p{(link.Left + link.Right) / 2, (link.Top + link.Bottom) / 2};
    POINT s = p;
    ::ClientToScreen(row->Handle(), &s);
    ::SetCursorPos(s.x, s.y);
    ::SendMessageW(row->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
    Settle();
    ok = WriteBmp(prefix + L"-hover.bmp", form->Handle()) && ok;
    std::printf("%s: layout/text %s, highlight %s, close button %s, hot %d\n", themed ? "themed" : "classic",
                row->LastLayoutThemed() ? "theme" : "classic", row->LastHighlightThemed() ? "theme" : "classic",
                row->LastCloseButtonThemed() ? "theme" : "classic", row->HotIndex());
    return ok ? 0 : 1;
}
