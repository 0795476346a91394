// The module scan: the targets a process has loaded as its executable or a library.
#pragma once
#include <windows.h>
#include <string>
#include <string_view>
#include <vector>

#include "lockscan/MemoryQuery.h"
#include "lockscan/NameQuery.h"
#include "lockscan/TargetSet.h"

namespace swt {

constexpr DWORD kLongestPath = 32768;

// Equal when they differ at most in the case of ASCII letters; other letters must match exactly.
bool SameTextAscii(std::wstring_view a, std::wstring_view b);
// The part after the last "\" or ":".
std::wstring_view FileNamePart(std::wstring_view path);
// The cheap look: true only when the file at path (any form) surely has a file name no target
// has. An empty path, or a short (8.3) name, leaves the decision to a closer look.
bool FileNameIsNoTarget(std::wstring_view path, const TTargetSet& targets);

// path with short (8.3) components in their long form, so that it is named like the long path;
// the path unchanged when it has none or cannot be resolved.
std::wstring LongPathForm(const std::wstring& path);

// One process of the process scan, opened once (PROCESS_QUERY_INFORMATION | PROCESS_VM_READ) for
// its modules and its mapped views; what is read from it is read once.
class TScannedProcess {
public:
    TScannedProcess(HANDLE process, std::vector<HMODULE>& modules, std::vector<wchar_t>& buffer, TMemoryQuery& memory)
        : Process(process), Modules(modules), Buffer(buffer), memory_(memory) {}
    // Lists every module, however many there are; false when the process will not say.
    bool ListModules();
    // The executable's full path (Win32 form), else the first module's path, else "<unbekannt>".
    const std::wstring& ExecutablePath();
    // The scan's memory query, set to this process; nullptr when the process is not asked about
    // its memory (an earlier question to it is still pending).
    TMemoryQuery* Memory();

    HANDLE Process;
    std::vector<HMODULE>& Modules;  // valid after ListModules returned true
    std::vector<wchar_t>& Buffer;   // kLongestPath characters, for the path queries

private:
    bool modulesListed_ = false;
    bool modulesValid_ = false;
    bool pathKnown_ = false;
    std::wstring path_;
    TMemoryQuery& memory_;
    bool memorySelected_ = false;
    bool memoryAsked_ = false;
};

// One target that a process holds through a module or a mapped view, with the file's name as the
// entry shows it (drive-letter form).
struct TFileMatch {
    size_t Target;
    std::wstring FileName;
};

// The targets the file at path (drive-letter form) is: its long form opened and named like the
// targets were, letter case ignored as for file names; when it cannot be opened, the path itself is compared. A file
// whose name part no target has is not opened.
const std::vector<size_t>& MatchingTargets(const std::wstring& path, const TTargetSet& targets, TNameQuery& names);

// What one scan of one process finds: a match per target, for the first file found to be it.
class TFirstMatches {
public:
    TFirstMatches(const TTargetSet& targets, TNameQuery& names, std::vector<TFileMatch>& matches)
        : targets_(targets), names_(names), matches_(matches), found_(targets.Count(), false),
          left_(targets.Count()) {}
    // Looks closer at the file at path (MatchingTargets) and appends a match for each target it
    // is that has none yet; false once every target has its match.
    bool LookAt(const std::wstring& path);

private:
    const TTargetSet& targets_;
    TNameQuery& names_;
    std::vector<TFileMatch>& matches_;
    std::vector<bool> found_;
    size_t left_;
};

// Appends one match per target that some module of the process is, for its first such module;
// FileName is the module's path as GetModuleFileNameExW gives it. The names of the files mapped at
// the modules' bases, asked on the memory worker, pass over modules no target can be; a process
// that does not answer that question has each module's path looked at.
void FindModuleMatches(TScannedProcess& process, const TTargetSet& targets, TNameQuery& names,
                       std::vector<TFileMatch>& matches);

}  // namespace swt
