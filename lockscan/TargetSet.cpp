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

TTargetSet::TTargetSet(std::vector<std::wstring> names) : names_(std::move(names)), serial_(g_nextSerial++) {
    // distinct_ is filled completely before index_ keeps views into it.
    std::unordered_map<std::wstring, size_t> index;
    for (size_t t = 0; t < names_.size(); ++t) {
        const std::wstring& name = names_[t];
        if (name.empty()) continue;
        std::wstring upper = FileNameUpper(name);
        auto [it, added] = index.emplace(upper, distinct_.size());
        if (added) {
            distinct_.push_back(std::move(upper));
            targetsOfDistinct_.emplace_back();
        }
        targetsOfDistinct_[it->second].push_back(t);
        fileParts_.insert(FileNameUpper(FilePart(name)));
    }
    for (size_t d = 0; d < distinct_.size(); ++d) index_.emplace(std::wstring_view(distinct_[d]), d);
}

int32_t TTargetSet::FindDistinct(std::wstring_view name) const {
    if (index_.empty()) return -1;
    auto it = index_.find(FileNameUpper(name));
    return it == index_.end() ? -1 : static_cast<int32_t>(it->second);
}

const std::vector<size_t>& TTargetSet::FindTargets(std::wstring_view name) const {
    const int32_t d = FindDistinct(name);
    return d < 0 ? NoTargets() : targetsOfDistinct_[static_cast<size_t>(d)];
}

bool TTargetSet::HasFileNamePart(std::wstring_view file) const {
    return !fileParts_.empty() && fileParts_.count(FileNameUpper(file)) != 0;
}

}  // namespace swt
