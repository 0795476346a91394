// The targets of one scan, looked up by name: a handle's name is compared with every target at
// once, exactly (letter case counts), a module's or mapped view's name with ASCII case ignored.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

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

// s with the ASCII letters a-z turned into A-Z; every other character unchanged.
std::wstring AsciiUpper(std::wstring_view s);

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

    // The distinct non-empty names, in order of first appearance; the name query numbers them so.
    size_t DistinctCount() const { return distinct_.size(); }
    const std::wstring& Distinct(size_t d) const { return distinct_[d]; }
    const std::vector<size_t>& TargetsOfDistinct(size_t d) const { return targetsOfDistinct_[d]; }
    // The distinct name equal to name exactly, or -1.
    int32_t FindExact(std::wstring_view name) const;

    // The targets whose names equal name with ASCII case ignored (empty when none).
    const std::vector<size_t>& FindAscii(std::wstring_view name) const;
    // Does some target's file name part (after the last "\" or ":") equal file, ASCII case ignored?
    bool HasFileNamePart(std::wstring_view file) const;

private:
    std::vector<std::wstring> names_;
    std::vector<std::wstring> distinct_;
    std::vector<std::vector<size_t>> targetsOfDistinct_;
    std::unordered_map<std::wstring_view, size_t> exact_;           // into distinct_
    std::unordered_map<std::wstring, std::vector<size_t>> ascii_;   // upper-cased name -> targets
    std::unordered_set<std::wstring> fileParts_;                    // upper-cased file name parts
    uint64_t serial_;
};

}  // namespace swt
