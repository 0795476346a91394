#include "components/IconConversion.h"

#include <shellapi.h>

#include <vector>

#include "base/DibSection.h"
#include "ui/Image.h"

namespace swt {

namespace {

// The working picture of one conversion: colours drawn into a 24-bit bitmap, one mask byte per
// pixel (255 opaque, 0 transparent, other values partial).
struct Working {
    int w = 0, h = 0;
    UniqueMemDc dc;
    UniqueBitmap bitmap;
    HGDIOBJ oldBitmap = nullptr;
    std::vector<std::vector<uint8_t>> mask;
    bool hasTransparency = false;

    Working(int width, int height) : w(width), h(height) {
        WindowDc screen(nullptr);
        void* bits = nullptr;
        bitmap = CreateDibSection(screen.get(), w, h, 24, &bits);
        dc.reset(::CreateCompatibleDC(screen.get()));
        if (dc && bitmap) oldBitmap = ::SelectObject(dc.get(), bitmap.get());
        mask.assign(static_cast<size_t>(h), std::vector<uint8_t>(static_cast<size_t>(w), 255));
    }
    ~Working() {
        if (oldBitmap) ::SelectObject(dc.get(), oldBitmap);
    }
    bool Ok() const { return dc && bitmap && oldBitmap; }

    std::unique_ptr<TPngImage> Result() {
        auto png = std::make_unique<TPngImage>();
        if (!Ok()) return png;
        ::SelectObject(dc.get(), oldBitmap);
        oldBitmap = nullptr;
        png->AssignBitmap(bitmap.get());
        if (hasTransparency && !png->Empty()) {
            png->CreateAlpha();
            for (int y = 0; y < h; ++y) std::copy(mask[y].begin(), mask[y].end(), png->AlphaScanline(y));
        }
        return png;
    }
};

// The icon's own alpha bytes replace the AND-mask transparency when any of them is non-zero.
void ReadIconAlpha(HDC dc, HBITMAP colour, Working& work) {
    const size_t size = static_cast<size_t>(work.w) * work.h * 4;
    std::vector<uint8_t> buffer(size, 0);
    BITMAPV4HEADER hdr{};
    hdr.bV4Size = sizeof hdr;  // 108
    hdr.bV4Width = work.w;
    hdr.bV4Height = -work.h;
    hdr.bV4Planes = 1;
    hdr.bV4BitCount = 32;
    hdr.bV4V4Compression = BI_BITFIELDS;
    hdr.bV4SizeImage = static_cast<DWORD>(size);
    // The masks of a 32-bit bottom-up DIB as Windows lays it out: B, G, R, A bytes.
    hdr.bV4RedMask = 0x00FF0000;
    hdr.bV4GreenMask = 0x0000FF00;
    hdr.bV4BlueMask = 0x000000FF;
    hdr.bV4AlphaMask = 0xFF000000;
    const int rows = ::GetDIBits(dc, colour, 0, static_cast<UINT>(work.h), buffer.data(),
                                 reinterpret_cast<BITMAPINFO*>(&hdr), DIB_RGB_COLORS);
    if (rows <= 0) return;
    bool anyAlpha = false;
    for (size_t i = 3; i < size && !anyAlpha; i += 4) anyAlpha = buffer[i] != 0;
    if (!anyAlpha) return;
    for (int y = 0; y < work.h; ++y)
        for (int x = 0; x < work.w; ++x) work.mask[y][x] = buffer[(static_cast<size_t>(y) * work.w + x) * 4 + 3];
}

}  // namespace

int GetIconCount(const std::wstring& path) {
    if (path.empty() || ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return -1;
    HICON count = ::ExtractIconW(::GetModuleHandleW(nullptr), path.c_str(), static_cast<UINT>(-1));
    return static_cast<int>(reinterpret_cast<intptr_t>(count));
}

bool ExtractFileIcon(const std::wstring& path, uint16_t index, TIcon& icon) {
    const int count = GetIconCount(path);
    if (count < 1 || index + 1 > count) return false;
    HICON h = ::ExtractIconW(::GetModuleHandleW(nullptr), path.c_str(), index);
    // ExtractIconW answers 1 for a file that is no executable or icon file.
    if (!h || h == reinterpret_cast<HICON>(1)) return false;
    icon.SetHandle(h);
    return true;
}

bool IsAlphaIconPlatform() {
    OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof v;  // 276
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(&v)) return false;
#pragma GCC diagnostic pop
    return v.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           (v.dwMajorVersion > 5 || (v.dwMajorVersion == 5 && v.dwMinorVersion >= 1));
}

std::unique_ptr<TPngImage> GraphicToPng(const TPngImage& picture) { return std::make_unique<TPngImage>(picture); }

std::unique_ptr<TPngImage> GraphicToPng(const TIcon& icon) {
    ICONINFO info{};
    if (icon.Empty() || !::GetIconInfo(icon.Handle(), &info)) return std::make_unique<TPngImage>();
    UniqueBitmap colour(info.hbmColor), andMask(info.hbmMask);
    BITMAP mb{};
    if (!andMask || !::GetObjectW(andMask.get(), sizeof mb, &mb)) return std::make_unique<TPngImage>();
    // A monochrome icon has no colour bitmap: its mask holds the AND half over the XOR half.
    const int w = mb.bmWidth, h = colour ? mb.bmHeight : mb.bmHeight / 2;
    if (w <= 0 || h <= 0) return std::make_unique<TPngImage>();
    Working work(w, h);
    if (!work.Ok()) return std::make_unique<TPngImage>();

    WindowDc screen(nullptr);
    UniqueMemDc src(::CreateCompatibleDC(screen.get()));
    if (!src) return std::make_unique<TPngImage>();
    if (colour) {
        SelectGuard sel(src.get(), colour.get());
        ::BitBlt(work.dc.get(), 0, 0, w, h, src.get(), 0, 0, SRCCOPY);
    } else {
        SelectGuard sel(src.get(), andMask.get());
        ::BitBlt(work.dc.get(), 0, 0, w, h, src.get(), 0, h, SRCCOPY);
    }
    {
        SelectGuard sel(src.get(), andMask.get());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (::GetPixel(src.get(), x, y) != 0) {
                    work.mask[y][x] = 0;
                    work.hasTransparency = true;
                }
    }
    if (colour) {
        SelectGuard sel(src.get(), colour.get());
        if (::GetDeviceCaps(src.get(), BITSPIXEL) == 32 && IsAlphaIconPlatform()) {
            work.hasTransparency = true;
            ReadIconAlpha(src.get(), colour.get(), work);
        }
    }
    return work.Result();
}

std::unique_ptr<TPngImage> GraphicToPng(TBitmap& bitmap) {
    const int w = bitmap.Width(), h = bitmap.Height();
    if (w <= 0 || h <= 0) return std::make_unique<TPngImage>();
    Working work(w, h);
    if (!work.Ok()) return std::make_unique<TPngImage>();
    if (bitmap.Transparent()) {
        const COLORREF transparent = bitmap.EffectiveTransparentColor();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const COLORREF c = bitmap.Pixel(x, y);
                if (c == transparent) {
                    work.mask[y][x] = 0;
                    work.hasTransparency = true;
                }
                ::SetPixelV(work.dc.get(), x, y, c);
            }
    } else {
        ::BitBlt(work.dc.get(), 0, 0, w, h, bitmap.Dc(), 0, 0, SRCCOPY);
    }
    return work.Result();
}

}  // namespace swt
