#include "base/AnsiText.h"

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

namespace {
std::wstring Widen(std::string_view text, UINT codePage, DWORD flags) {
    if (text.empty()) return {};
    const int narrow = static_cast<int>(text.size());
    const int n = ::MultiByteToWideChar(codePage, flags, text.data(), narrow, nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, flags, text.data(), narrow, out.data(), n);
    return out;
}
}  // namespace

std::wstring FromCodePage(std::string_view text, UINT codePage) { return Widen(text, codePage, 0); }

std::wstring FromUtf8OrAnsi(std::string_view text) {
    if (text.empty()) return {};
    std::wstring strict = Widen(text, CP_UTF8, MB_ERR_INVALID_CHARS);
    return strict.empty() ? FromCodePage(text, CP_ACP) : strict;
}

}  // namespace swt
