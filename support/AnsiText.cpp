#include "support/AnsiText.h"

namespace swt {

std::string ToCodePage(std::wstring_view text, UINT codePage) {
    if (text.empty()) return {};
    const int wide = static_cast<int>(text.size());
    int n = ::WideCharToMultiByte(codePage, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), wide, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace swt
