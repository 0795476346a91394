// Measures GetLockingProcesses against a floor that names every file handle inline, the batch
// form against the single call, and the scanner kept from pass to pass (steady against cold).
//   lockscan [-p processes] [-h handles per process] [-r repetitions] [-t thread-per-query repetitions]
//            [--targets K] [--no-curve]
// First, unless --no-curve, the steady scan's cost curve with holders of its own (about 1 000,
// 4 000 and 16 000 file handles; 1, 20 and 200 targets). Then starts P holder processes with H
// open files each (the first also maps one file as a view and opens one more file on each
// repetition), times GetLockingProcesses for one held file, GetLockingProcessesBatch for K held
// files spread over the holders (default 20), the mapped-view walk alone, the single call without
// it, and a TLockScanner's cold full scan, steady scan and steady scan after one new file for the
// same K files, and prints the figures; among them "ratio steady/cold (handles): X.XX"; the last
// line is "ratio call/floor: X.XX".
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "lockscan/FileInUse_Tools.h"
#include "base/UniqueHandle.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::wstring ExeDir() {
    wchar_t buf[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, buf, MAX_PATH);
    std::wstring p(buf, n);
    return p.substr(0, p.find_last_of(L"\\/"));
}

void DeleteFolder(const std::wstring& dir) {
    WIN32_FIND_DATAW fd;
    swt::UniqueFind find(::FindFirstFileW((dir + L"\\*").c_str(), &fd));
    if (find) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = dir + L"\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteFolder(full);
            else
                ::DeleteFileW(full.c_str());
        } while (::FindNextFileW(find.get(), &fd));
    }
    find.reset();
    ::RemoveDirectoryW(dir.c_str());
}

struct Holder {
    swt::UniqueHandleT process;
    DWORD pid = 0;
};

// The obvious design without any worker: for every file handle of the table, open its owner,
// duplicate the handle and name it on this thread. Returns the matches.
size_t FloorScan(const std::wstring& target, bool ownerOncePerScan) {
    swt::TFileHandleTable table = swt::ReadFileHandleTable();
    swt::TInlineNameQuery names;
    const ULONG_PTR self = ::GetCurrentProcessId();
    size_t matches = 0;
    ULONG_PTR cachedPid = 0;
    swt::UniqueHandleT cached;
    for (const swt::THandleEntry& e : table.Table.Entries) {
        if (e.ObjectTypeIndex != table.FileTypeIndex) continue;
        std::wstring name;
        if (e.ProcessId == self) {
            name = names.Name(reinterpret_cast<HANDLE>(e.HandleValue));
        } else {
            swt::UniqueHandleT owner;
            HANDLE ownerHandle = nullptr;
            if (ownerOncePerScan) {
                if (!cached || cachedPid != e.ProcessId) {
                    cached.reset(::OpenProcess(PROCESS_DUP_HANDLE, FALSE, static_cast<DWORD>(e.ProcessId)));
                    cachedPid = e.ProcessId;
                }
                ownerHandle = cached.get();
            } else {
                owner.reset(::OpenProcess(PROCESS_DUP_HANDLE, FALSE, static_cast<DWORD>(e.ProcessId)));
                ownerHandle = owner.get();
            }
            if (!ownerHandle) continue;
            swt::UniqueHandleT dup;
            if (!::DuplicateHandle(ownerHandle, reinterpret_cast<HANDLE>(e.HandleValue), ::GetCurrentProcess(),
                                   dup.put(), 0, FALSE, DUPLICATE_SAME_ACCESS))
                continue;
            name = names.Name(dup.get());
        }
        if (!name.empty() && name == target) ++matches;
    }
    return matches;
}

struct ViewWalkCount {
    size_t processes = 0, regions = 0, allocations = 0;
};

// The mapped-view walk on its own, as the scan does it: every process of the snapshot opened
// and its address space walked for the target.
ViewWalkCount WalkAllMappedViews(const std::wstring& target,
                                 swt::TMemoryQueryMode mode = swt::TMemoryQueryMode::Worker) {
    ViewWalkCount count;
    swt::TTargetSet targets({target});
    swt::TNameQuery names;
    swt::TDevicePaths devices;
    std::vector<HMODULE> modules;
    std::vector<wchar_t> buffer(swt::kLongestPath);
    swt::TMemoryQuery memory(mode);
    std::vector<swt::TFileMatch> found;
    swt::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        swt::UniqueHandleT process(
            ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, entry.th32ProcessID));
        if (!process) continue;
        swt::TScannedProcess p(process.get(), modules, buffer, memory);
        swt::TMemoryWalk w = swt::WalkMappedViews(p, targets, names, devices, found);
        ++count.processes;
        count.regions += w.Regions;
        count.allocations += w.Allocations;
    }
    return count;
}

struct Figures {
    std::vector<double> ms;
    double median() const { return Median(ms); }
};

// The median of the ratios of runs taken side by side in the same repetition: on a machine
// shared with other work, a run that another process slowed down spoils one pair, not the figure.
double PairedRatio(const Figures& a, const Figures& b) {
    std::vector<double> ratios;
    for (size_t i = 0; i < a.ms.size() && i < b.ms.size(); ++i)
        if (b.ms[i] > 0) ratios.push_back(a.ms[i] / b.ms[i]);
    return Median(ratios);
}

void Print(const char* what, const Figures& f, size_t fileHandles) {
    double m = f.median();
    std::printf("%-48s %9.1f ms per call  %8.1f us per file handle  (%zu runs:", what, m,
                fileHandles ? m * 1000.0 / static_cast<double>(fileHandles) : 0.0, f.ms.size());
    for (double ms : f.ms) std::printf(" %.0f", ms);
    std::printf(")\n");
}

// A group of holder processes: holder p holds `handles` files root\p<p>\h<i>.dat; the first of the
// group may also map a file as a view and take commands on a pipe.
class HolderGroup {
public:
    HolderGroup(const std::wstring& root, const std::wstring& quitName) : root_(root), quitName_(quitName) {}
    ~HolderGroup() { Quit(); }

    // Starts count holders numbered from first and waits until all are ready; false on a failure.
    bool Start(int first, int count, int handles, bool mapFirst = false, const std::wstring& pipe = {}) {
        const std::wstring holderExe = ExeDir() + L"\\lockscan_bench_holder.exe";
        std::vector<swt::UniqueHandleT> readies;
        const size_t before = holders_.size();
        for (int p = first; p < first + count; ++p) {
            std::wstring folder = root_ + L"\\p" + std::to_wstring(p);
            ::CreateDirectoryW(folder.c_str(), nullptr);
            std::wstring extra;
            if (p == first && mapFirst) {
                // The first holder also maps a file and closes its handles: the mapped-view walk has a find.
                const std::wstring mapped = folder + L"\\mapped.dat";
                swt::UniqueFile f(::CreateFileW(mapped.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
                DWORD written = 0;
                ::WriteFile(f.get(), "mapped view", 11, &written, nullptr);
                extra = L" map \"" + mapped + L"\"";
            }
            if (p == first && !pipe.empty()) extra += L" serve \"" + pipe + L"\"";
            std::wstring readyName = L"swt-bench-ready-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(p);
            readies.emplace_back(::CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
            std::wstring cmd = L"\"" + holderExe + L"\" " + readyName + L" " + quitName_ + L" many \"" + folder + L"\" " +
                               std::to_wstring(handles) + extra;
            STARTUPINFOW si{};
            si.cb = sizeof si;
            PROCESS_INFORMATION pi{};
            if (!::CreateProcessW(holderExe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
                std::fprintf(stderr, "cannot start %ls (error %lu)\n", holderExe.c_str(), ::GetLastError());
                return false;
            }
            ::CloseHandle(pi.hThread);
            holders_.push_back({swt::UniqueHandleT(pi.hProcess), pi.dwProcessId});
        }
        for (size_t k = 0; k < readies.size(); ++k) {
            HANDLE waits[2] = {readies[k].get(), holders_[before + k].process.get()};
            if (::WaitForMultipleObjects(2, waits, FALSE, 300000) != WAIT_OBJECT_0) {
                std::fprintf(stderr, "holder %zu did not get ready\n", before + k);
                return false;
            }
        }
        return true;
    }

    // Tells every holder of the quit event to end and waits for this group's.
    void Quit() {
        swt::UniqueHandleT quit(::OpenEventW(EVENT_MODIFY_STATE, FALSE, quitName_.c_str()));
        if (quit) ::SetEvent(quit.get());
        for (Holder& h : holders_)
            if (::WaitForSingleObject(h.process.get(), 30000) != WAIT_OBJECT_0) ::TerminateProcess(h.process.get(), 1);
        holders_.clear();
    }

    const std::vector<Holder>& holders() const { return holders_; }

private:
    std::wstring root_, quitName_;
    std::vector<Holder> holders_;
};

size_t CountFileHandles() {
    swt::TFileHandleTable table = swt::ReadFileHandleTable();
    size_t n = 0;
    for (const auto& e : table.Table.Entries)
        if (e.ObjectTypeIndex == table.FileTypeIndex) ++n;
    return n;
}

// K held files spread over holders first..first+count-1: h<i>.dat of holder first + k % count.
std::vector<std::wstring> HeldPaths(const std::wstring& root, int first, int count, int handles, int k) {
    std::vector<std::wstring> paths;
    for (int i = 0; i < k; ++i)
        paths.push_back(root + L"\\p" + std::to_wstring(first + i % count) + L"\\h" +
                        std::to_wstring((i / count) % handles) + L".dat");
    return paths;
}

// The steady scan's cost curve: steady scans with about 1 000, 4 000 and 16 000 file handles held
// in the system and 1, 20 and 200 held targets; each point a scanner of its own, warmed by one full
// scan. Runs before the main holders start, with holders of its own.
struct CurvePoint {
    size_t fileHandles = 0;
    double cold[3] = {}, steady[3] = {};
};
const int kCurveTargets[3] = {1, 20, 200};

bool RunCurve(const std::wstring& root, int reps, std::vector<CurvePoint>& points) {
    const std::wstring quitName = L"swt-bench-curve-quit-" + std::to_wstring(::GetCurrentProcessId());
    swt::UniqueHandleT quit(::CreateEventW(nullptr, TRUE, FALSE, quitName.c_str()));
    HolderGroup group(root, quitName);
    // Holders 100..: 2 x 500 files, then 6 x 500 more, then 12 x 1 000 more.
    const struct {
        int count, handles;
    } steps[3] = {{2, 500}, {6, 500}, {12, 1000}};
    int next = 100;
    for (const auto& step : steps) {
        if (!group.Start(next, step.count, step.handles)) return false;
        next += step.count;
        CurvePoint point;
        point.fileHandles = CountFileHandles();
        for (int t = 0; t < 3; ++t) {
            const auto paths = HeldPaths(root, 100, 2, 500, kCurveTargets[t]);
            Figures cold, steady;
            for (int r = 0; r < reps; ++r) {
                swt::TLockScanner scanner;
                auto t0 = Clock::now();
                scanner.Scan(paths, swt::TScanDepth::Full);
                cold.ms.push_back(Ms(Clock::now() - t0));
                t0 = Clock::now();
                scanner.Scan(paths);
                steady.ms.push_back(Ms(Clock::now() - t0));
                if (scanner.LastScan().Full) std::fprintf(stderr, "curve: a steady scan was a full one\n");
            }
            point.cold[t] = cold.median();
            point.steady[t] = steady.median();
        }
        points.push_back(point);
    }
    ::SetEvent(quit.get());
    return true;
}

// Has holder 0 open one more file (its pipe's "open" command).
bool OpenOneMoreFile(const std::wstring& pipe, const std::wstring& path) {
    std::wstring message = L"open\nr\nrw\n" + path;
    wchar_t answer[256];
    DWORD read = 0;
    return ::CallNamedPipeW(pipe.c_str(), message.data(), static_cast<DWORD>(message.size() * sizeof(wchar_t)), answer,
                            sizeof answer, &read, 20000) &&
           std::wstring(answer, read / sizeof(wchar_t)).rfind(L"fail", 0) != 0;
}

int Run(int processes, int handles, int reps, int threadReps, int targetCount, bool curve) {
    wchar_t tmp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, tmp);
    const std::wstring root = std::wstring(tmp) + L"swt-lockscan-bench-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(root.c_str(), nullptr);
    int rc = 0;

    std::vector<CurvePoint> curvePoints;
    if (curve && !RunCurve(root, 3, curvePoints)) rc = 1;

    const std::wstring quitName = L"swt-bench-quit-" + std::to_wstring(::GetCurrentProcessId());
    swt::UniqueHandleT quit(::CreateEventW(nullptr, TRUE, FALSE, quitName.c_str()));
    const std::wstring pipe = L"\\\\.\\pipe\\swt-bench-" + std::to_wstring(::GetCurrentProcessId());
    HolderGroup group(root, quitName);
    if (rc == 0 && !group.Start(0, processes, handles, true, pipe)) rc = 1;
    const std::vector<Holder>& holders = group.holders();

    if (rc == 0) {
        const std::wstring targetPath = root + L"\\p0\\h0.dat";
        std::wstring target;
        {
            swt::UniqueFile f(::CreateFileW(targetPath.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            target = swt::GetHandleFileNameInline(f.get());
        }
        swt::TFileHandleTable table = swt::ReadFileHandleTable();
        const size_t fileHandles = CountFileHandles();
        std::printf("processes P=%d, files held per process H=%d, repetitions %d (thread per query %d)\n", processes,
                    handles, reps, threadReps);
        std::printf("handle table entries: %zu (%s table)\n", table.Table.Entries.size(),
                    table.Table.Extended ? "extended" : "narrow");
        std::printf("file handles: %zu\n", fileHandles);
        const std::vector<std::wstring> batchPaths = HeldPaths(root, 0, processes, handles, targetCount);
        const std::wstring mappedPath = root + L"\\p0\\mapped.dat";
        std::printf("batch targets K=%d\n", targetCount);

        // One untimed call to check the answer and warm everything up.
        swt::SetNameQueryMode(swt::TNameQueryMode::ReusedWorker);
        auto check = swt::GetLockingProcesses(targetPath);
        if (!check || check->Count() != 1 || (*check)[0].ProcessId != holders[0].pid) {
            std::fprintf(stderr, "unexpected answer for the held target\n");
            rc = 1;
        }
        auto batchCheck = swt::GetLockingProcessesBatch(batchPaths);
        for (int k = 0; k < targetCount; ++k) {
            const auto& list = batchCheck[static_cast<size_t>(k)];
            if (!list || list->Count() != 1 || (*list)[0].ProcessId != holders[static_cast<size_t>(k % processes)].pid) {
                std::fprintf(stderr, "unexpected batch answer for target %d\n", k);
                rc = 1;
            }
        }
        auto mappedCheck = swt::GetLockingProcesses(mappedPath);
        if (!mappedCheck || mappedCheck->Count() != 1 || (*mappedCheck)[0].ProcessId != holders[0].pid) {
            std::fprintf(stderr, "the mapped view was not found\n");
            rc = 1;
        }
        if (FloorScan(target, false) != 1) {
            std::fprintf(stderr, "floor scan did not find the held target\n");
            rc = 1;
        }

        Figures call, floor, floorOnce, perThread, handleScan, moduleScan, batch, noViews, viewWalk, viewWalkInline;
        Figures cold, coldHandles, steady, steadyHandles, steadyNewFile;
        swt::TLockScanStats steadyStats, newFileStats;
        ViewWalkCount walk, walkInline;
        for (int r = 0; r < std::max(reps, threadReps); ++r) {
            if (r < reps) {
                swt::SetNameQueryMode(swt::TNameQueryMode::ReusedWorker);
                // The scanner kept from pass to pass: a cold full scan, a steady one with nothing
                // changed, and a steady one after one holder opened one more file.
                {
                    swt::TLockScanner scanner;
                    auto t0 = Clock::now();
                    scanner.Scan(batchPaths, swt::TScanDepth::Full);
                    cold.ms.push_back(Ms(Clock::now() - t0));
                    coldHandles.ms.push_back(scanner.LastScan().HandlePartMs);
                    t0 = Clock::now();
                    auto lists = scanner.Scan(batchPaths);
                    steady.ms.push_back(Ms(Clock::now() - t0));
                    steadyHandles.ms.push_back(scanner.LastScan().HandlePartMs);
                    steadyStats = scanner.LastScan();
                    for (size_t k = 0; k < lists.size(); ++k)
                        if (!lists[k] || lists[k]->Count() != 1 || steadyStats.Full) {
                            std::fprintf(stderr, "the steady scan gave another answer for target %zu\n", k);
                            rc = 1;
                        }
                    // A file no target names, so that the answer stays the same.
                    const std::wstring extra = root + L"\\p0\\extra" + std::to_wstring(r) + L".dat";
                    swt::UniqueFile(::CreateFileW(extra.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                                  0, nullptr));
                    if (!OpenOneMoreFile(pipe, extra)) {
                        std::fprintf(stderr, "holder 0 did not open one more file\n");
                        rc = 1;
                    }
                    t0 = Clock::now();
                    scanner.Scan(batchPaths);
                    steadyNewFile.ms.push_back(Ms(Clock::now() - t0));
                    newFileStats = scanner.LastScan();
                }
                auto t0 = Clock::now();
                auto locks = swt::GetLockingProcesses(targetPath);
                call.ms.push_back(Ms(Clock::now() - t0));
                t0 = Clock::now();
                FloorScan(target, false);
                floor.ms.push_back(Ms(Clock::now() - t0));
                t0 = Clock::now();
                FloorScan(target, true);
                floorOnce.ms.push_back(Ms(Clock::now() - t0));
                t0 = Clock::now();
                {
                    swt::TFileHandleTable t = swt::ReadFileHandleTable();
                    swt::TNameQuery names;
                    swt::ScanHandleTable(t.Table, target, t.FileTypeIndex, names,
                                         [](uint32_t, const std::wstring&, bool) {});
                }
                handleScan.ms.push_back(Ms(Clock::now() - t0));
                t0 = Clock::now();
                {
                    swt::TProcessLockList list;
                    swt::ScanModules(target, list);
                }
                moduleScan.ms.push_back(Ms(Clock::now() - t0));
                t0 = Clock::now();
                auto lists = swt::GetLockingProcessesBatch(batchPaths);
                batch.ms.push_back(Ms(Clock::now() - t0));
                t0 = Clock::now();
                locks = swt::GetLockingProcesses(targetPath, {false});
                noViews.ms.push_back(Ms(Clock::now() - t0));
                t0 = Clock::now();
                walk = WalkAllMappedViews(target);
                viewWalk.ms.push_back(Ms(Clock::now() - t0));
                t0 = Clock::now();
                walkInline = WalkAllMappedViews(target, swt::TMemoryQueryMode::Inline);
                viewWalkInline.ms.push_back(Ms(Clock::now() - t0));
            }
            if (r < threadReps) {
                swt::SetNameQueryMode(swt::TNameQueryMode::ThreadPerQuery);
                auto t0 = Clock::now();
                auto locks = swt::GetLockingProcesses(targetPath);
                perThread.ms.push_back(Ms(Clock::now() - t0));
                if (!locks || locks->Count() != 1) {
                    std::fprintf(stderr, "thread-per-query variant gave a different answer\n");
                    rc = 1;
                }
            }
        }
        swt::SetNameQueryMode(swt::TNameQueryMode::ReusedWorker);
        Print("GetLockingProcesses, reused worker:", call, fileHandles);
        Print("floor, inline, owner opened per handle:", floor, fileHandles);
        Print("floor, inline, owner opened once per process:", floorOnce, fileHandles);
        if (threadReps > 0) Print("GetLockingProcesses, thread per query:", perThread, fileHandles);
        Print("  of a call: handle scan alone (reused worker):", handleScan, fileHandles);
        Print("  of a call: module scan alone:", moduleScan, fileHandles);
        Print("  of a call: mapped-view walk alone:", viewWalk, fileHandles);
        std::printf("  mapped-view walk: %zu processes, %zu regions, %zu mapped allocations named\n", walk.processes,
                    walk.regions, walk.allocations);
        Print("  mapped-view walk on the calling thread:", viewWalkInline, fileHandles);
        std::printf("  mapped-view walk on the calling thread: %zu processes, %zu regions, %zu mapped allocations named\n",
                    walkInline.processes, walkInline.regions, walkInline.allocations);
        Print("GetLockingProcesses without the mapped-view walk:", noViews, fileHandles);
        char what[64];
        std::snprintf(what, sizeof what, "GetLockingProcessesBatch, K=%d targets:", targetCount);
        Print(what, batch, fileHandles);
        std::snprintf(what, sizeof what, "TLockScanner cold full scan, K=%d targets:", targetCount);
        Print(what, cold, fileHandles);
        Print("  of it: the handle-table part:", coldHandles, fileHandles);
        Print("TLockScanner steady scan, nothing changed:", steady, fileHandles);
        Print("  of it: the handle-table part:", steadyHandles, fileHandles);
        std::printf("  steady scan: %zu file handles, %zu named (%zu without a name), %zu reused\n",
                    steadyStats.FileHandles, steadyStats.NamedHandles, steadyStats.UnnamedHandles,
                    steadyStats.ReusedHandles);
        Print("TLockScanner steady scan after one new file:", steadyNewFile, fileHandles);
        std::printf("  steady scan after one new file: %zu named, %zu reused\n", newFileStats.NamedHandles,
                    newFileStats.ReusedHandles);
        if (!curvePoints.empty()) {
            std::printf("steady scan cost curve, ms (cold full scan in brackets), medians of 3:\n");
            std::printf("  %12s", "file handles");
            for (int k : kCurveTargets) std::printf("  %20s", ("K=" + std::to_string(k)).c_str());
            std::printf("\n");
            for (const CurvePoint& point : curvePoints) {
                std::printf("  %12zu", point.fileHandles);
                for (int t = 0; t < 3; ++t) std::printf("  %8.1f (%9.1f)", point.steady[t], point.cold[t]);
                std::printf("\n");
            }
        }
        std::printf("ratios: medians of the ratios of runs in the same repetition\n");
        std::printf("ratio steady/cold (handles): %.2f\n", PairedRatio(steadyHandles, coldHandles));
        std::printf("ratio steady/cold (whole scan): %.2f\n", PairedRatio(steady, cold));
        std::printf("ratio steady after one new file/cold (whole scan): %.2f\n", PairedRatio(steadyNewFile, cold));
        std::printf("ratio batch(%d)/single: %.2f\n", targetCount, PairedRatio(batch, call));
        std::printf("ratio single with/without mapped-view walk: %.2f\n", PairedRatio(call, noViews));
        std::printf("ratio mapped-view walk worker/calling thread: %.2f\n", PairedRatio(viewWalk, viewWalkInline));
        if (threadReps > 0) std::printf("ratio thread-per-query/floor: %.2f\n", PairedRatio(perThread, floor));
        std::printf("ratio call/floor(owner once per process): %.2f\n", PairedRatio(call, floorOnce));
        std::printf("ratio call/floor: %.2f\n", PairedRatio(call, floor));
        std::fflush(stdout);
    }

    group.Quit();
    DeleteFolder(root);
    return rc;
}

int Arg(int argc, wchar_t** argv, const wchar_t* name, int fallback, int least = 1) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::wcscmp(argv[i], name) == 0) return std::max(least, _wtoi(argv[i + 1]));
    return fallback;
}

bool HasFlag(int argc, wchar_t** argv, const wchar_t* name) {
    for (int i = 1; i < argc; ++i)
        if (std::wcscmp(argv[i], name) == 0) return true;
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        return Run(Arg(argc, argv, L"-p", 8), Arg(argc, argv, L"-h", 500), Arg(argc, argv, L"-r", 5),
                   Arg(argc, argv, L"-t", 3, 0), Arg(argc, argv, L"--targets", 20), !HasFlag(argc, argv, L"--no-curve"));
    } catch (const swt::Error& e) {
        std::fprintf(stderr, "error: %ls\n", e.message().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
    }
    return 1;
}
