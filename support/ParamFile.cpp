#include "support/ParamFile.h"

#include <windows.h>

#include "base/AnsiText.h"
#include "support/ParamSyntax.h"
#include "base/UniqueHandle.h"

namespace swt {

namespace {

std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::wstring out(bytes.size() / 2, L'\0');  // an odd last byte is dropped
    for (size_t i = 0; i < out.size(); ++i) {
        auto lo = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 1 : 0)]);
        auto hi = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 0 : 1)]);
        out[i] = static_cast<wchar_t>(lo | (hi << 8));
    }
    return out;
}

}  // namespace

std::vector<std::wstring> DecodeTextLines(std::string_view bytes) {
    std::wstring text;
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        text = FromCodePage(bytes.substr(3), CP_UTF8);
    else if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE")
        text = DecodeUtf16(bytes.substr(2), false);
    else if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFE\xFF")
        text = DecodeUtf16(bytes.substr(2), true);
    else
        text = FromCodePage(bytes, CP_ACP);

    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\r' && text[i] != L'\n') continue;
        lines.emplace_back(text, start, i - start);
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(text, start, text.size() - start);
    return lines;
}

std::vector<std::wstring> StartParamsEntries(const std::vector<std::wstring>& lines) {
    std::vector<std::wstring> entries;
    bool inSection = false;
    for (const std::wstring& line : lines) {
        if (!line.empty() && line[0] == L'[') {
            inSection = UpperText(TrimBlanks(line)) == L"[STARTPARAMS]";
            continue;
        }
        if (!inSection) continue;
        std::wstring entry = TrimBlanks(line);
        if (!entry.empty()) entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<std::wstring> ReadParamFileEntries(const std::wstring& path) {
    if (path.empty()) return {};
    UniqueFile f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return {};
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(f.get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > kMaxParamFileBytes) return {};
    std::string bytes(static_cast<size_t>(size), '\0');
    size_t have = 0;
    while (have < bytes.size()) {
        DWORD got = 0;
        if (!::ReadFile(f.get(), bytes.data() + have, static_cast<DWORD>(bytes.size() - have), &got, nullptr))
            return {};
        if (got == 0) break;
        have += got;
    }
    bytes.resize(have);
    return StartParamsEntries(DecodeTextLines(bytes));
}

}  // namespace swt
