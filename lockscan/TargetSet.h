// The targets of one scan, looked up by name: a handle's, module's or mapped view's name is
// compared with every target at once, without regard to letter case as Windows compares file names
// (not only ASCII: a handle keeps the spelling its opener used, "C:\APP\DATA.BIN" for the file
// C:\App\data.bin).
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/TextCompare.h"

namespace swt {

// FNV-1a over the UTF-16 units; the name-query worker computes the same value on its side.
inline uint32_t HashNameUnits(const wchar_t* s, size_t n) noexcept {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; ++i) {
        h ^= static_cast<uint16_t>(s[i]);
        h *= 16777619u;
    }
    return h;
}

class TTargetSet {
public:
    // One name per target, in target order. An empty name matches nothing. Several targets may
    // carry the same name; each of them then gets every match of that name.
    explicit TTargetSet(std::vector<std::wstring> names);
    TTargetSet(const TTargetSet&) = delete;
    TTargetSet& operator=(const TTargetSet&) = delete;

    size_t Count() const { return names_.size(); }
    const std::wstring& Name(size_t target) const { return names_[target]; }
    // True when no target can match anything.
    bool Empty() const { return distinct_.empty(); }
    // A number no other set of this process carries; tells the name query when to send new targets.
    uint64_t Serial() const { return serial_; }

    // The distinct non-empty names in upper case (FileNameUpper), in order of first appearance;
    // names that differ only in case are one. The name query numbers them so.
    size_t DistinctCount() const { return distinct_.size(); }
    const std::wstring& Distinct(size_t d) const { return distinct_[d]; }
    const std::vector<size_t>& TargetsOfDistinct(size_t d) const { return targetsOfDistinct_[d]; }
    // The distinct name equal to name without regard to case, or -1.
    int32_t FindDistinct(std::wstring_view name) const;

    // The targets whose names equal name without regard to case (empty when none).
    const std::vector<size_t>& FindTargets(std::wstring_view name) const;
    // Does some target's file name part (after the last "\" or ":") equal file, case ignored?
    bool HasFileNamePart(std::wstring_view file) const;

private:
    std::vector<std::wstring> names_;
    std::vector<std::wstring> distinct_;
    std::vector<std::vector<size_t>> targetsOfDistinct_;
    std::unordered_map<std::wstring_view, size_t> index_;  // into distinct_
    std::unordered_set<std::wstring> fileParts_;                    // upper-cased file name parts
    uint64_t serial_;
};

}  // namespace swt
