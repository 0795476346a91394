#include "lockscan/TargetSet.h"

namespace swt {

namespace {

std::atomic<uint64_t> g_nextSerial{1};

std::wstring_view FilePart(std::wstring_view path) {
    size_t cut = path.find_last_of(L"\\:");
    return cut == std::wstring_view::npos ? path : path.substr(cut + 1);
}

const std::vector<size_t>& NoTargets() {
    static const std::vector<size_t> none;
    return none;
}

}  // namespace

std::wstring AsciiUpper(std::wstring_view s) {
    std::wstring out(s);
    for (wchar_t& c : out)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return out;
}

TTargetSet::TTargetSet(std::vector<std::wstring> names) : names_(std::move(names)), serial_(g_nextSerial++) {
    // distinct_ is filled completely before exact_ keeps views into it.
    std::unordered_map<std::wstring, size_t> index;
    for (size_t t = 0; t < names_.size(); ++t) {
        const std::wstring& name = names_[t];
        if (name.empty()) continue;
        auto [it, added] = index.emplace(name, distinct_.size());
        if (added) {
            distinct_.push_back(name);
            targetsOfDistinct_.emplace_back();
        }
        targetsOfDistinct_[it->second].push_back(t);
        ascii_[AsciiUpper(name)].push_back(t);
        fileParts_.insert(AsciiUpper(FilePart(name)));
    }
    for (size_t d = 0; d < distinct_.size(); ++d) exact_.emplace(std::wstring_view(distinct_[d]), d);
}

int32_t TTargetSet::FindExact(std::wstring_view name) const {
    auto it = exact_.find(name);
    return it == exact_.end() ? -1 : static_cast<int32_t>(it->second);
}

const std::vector<size_t>& TTargetSet::FindAscii(std::wstring_view name) const {
    if (ascii_.empty()) return NoTargets();
    auto it = ascii_.find(AsciiUpper(name));
    return it == ascii_.end() ? NoTargets() : it->second;
}

bool TTargetSet::HasFileNamePart(std::wstring_view file) const {
    return !fileParts_.empty() && fileParts_.count(AsciiUpper(file)) != 0;
}

}  // namespace swt
