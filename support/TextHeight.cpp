#include "support/TextHeight.h"

#include <memory>

#include "support/LibraryStartup.h"
#include "base/TextCompare.h"
#include "base/UniqueHandle.h"

namespace swt {

namespace {

constexpr wchar_t kSample[] = L"09gjIJ";

// The measuring canvas: the device context of the whole desktop window.
class MeasuringCanvas {
public:
    MeasuringCanvas() : dc_(::GetDesktopWindow(), WindowDc::WholeWindow) {}

    int32_t TextHeight(const LOGFONTW& lf) {
        if (!dc_) return 0;
        UniqueFont font(::CreateFontIndirectW(&lf));
        SelectGuard sel(dc_.get(), font.get());
        SIZE sz{};
        if (!::GetTextExtentPoint32W(dc_.get(), kSample, 6, &sz)) return 0;
        return sz.cy;
    }

private:
    WindowDc dc_;
};

struct Cache {
    std::map<TDefaultFontSizeItem, int32_t> heights;
    MeasuringCanvas canvas;
    int measurements = 0;
};

// Created by the library's start-up; made on first use when a caller measures without it.
std::unique_ptr<Cache> g_cache;

Cache& TheCache() {
    if (!g_cache) g_cache = std::make_unique<Cache>();
    return *g_cache;
}


}  // namespace

TDefaultFontSizeItem TDefaultFontSizeItem::Create(const std::wstring& AFontname, int32_t AFontSize) {
    TDefaultFontSizeItem item;
    item.fFontName = UpperText(AFontname);
    item.fFontSize = AFontSize;
    return item;
}

int32_t TDefaultFontSizes::TextHeight(const std::wstring& AFontName, int32_t AFontSize, const LOGFONTW& aFont) {
    Cache& c = TheCache();
    const TDefaultFontSizeItem key = TDefaultFontSizeItem::Create(AFontName, AFontSize);
    if (auto it = c.heights.find(key); it != c.heights.end()) return it->second;
    const int32_t h = c.canvas.TextHeight(aFont);
    ++c.measurements;
    c.heights.emplace(key, h);
    return h;
}

int TDefaultFontSizes::Measurements() { return g_cache ? g_cache->measurements : 0; }
size_t TDefaultFontSizes::Count() { return g_cache ? g_cache->heights.size() : 0; }

void TextHeightCacheStartup() {
    if (!g_cache) g_cache = std::make_unique<Cache>();
}

void TextHeightCacheShutdown() noexcept { g_cache.reset(); }

}  // namespace swt
