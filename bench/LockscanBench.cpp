// Measures GetLockingProcesses against a floor that names every file handle inline, and the batch
// form against the single call.
//   lockscan [-p processes] [-h handles per process] [-r repetitions] [-t thread-per-query repetitions]
//            [--targets K]
// Starts P holder processes with H open files each (the first also maps one file as a view),
// times GetLockingProcesses for one held file, GetLockingProcessesBatch for K held files spread
// over the holders (default 20), the mapped-view walk alone and the single call without it, and
// prints the figures; the last line is "ratio call/floor: X.XX".
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

int Run(int processes, int handles, int reps, int threadReps, int targetCount) {
    wchar_t tmp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, tmp);
    const std::wstring root = std::wstring(tmp) + L"swt-lockscan-bench-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(root.c_str(), nullptr);

    const std::wstring readyPrefix = L"swt-bench-ready-" + std::to_wstring(::GetCurrentProcessId()) + L"-";
    const std::wstring quitName = L"swt-bench-quit-" + std::to_wstring(::GetCurrentProcessId());
    swt::UniqueHandleT quit(::CreateEventW(nullptr, TRUE, FALSE, quitName.c_str()));
    std::vector<Holder> holders;
    std::vector<swt::UniqueHandleT> readies;
    const std::wstring holderExe = ExeDir() + L"\\lockscan_bench_holder.exe";
    int rc = 0;
    for (int p = 0; p < processes; ++p) {
        std::wstring folder = root + L"\\p" + std::to_wstring(p);
        ::CreateDirectoryW(folder.c_str(), nullptr);
        std::wstring mapAction;
        if (p == 0) {
            // The first holder also maps a file and closes its handles: the mapped-view walk has a find.
            const std::wstring mapped = folder + L"\\mapped.dat";
            swt::UniqueFile f(::CreateFileW(mapped.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            DWORD written = 0;
            ::WriteFile(f.get(), "mapped view", 11, &written, nullptr);
            mapAction = L" map \"" + mapped + L"\"";
        }
        std::wstring readyName = readyPrefix + std::to_wstring(p);
        readies.emplace_back(::CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
        std::wstring cmd = L"\"" + holderExe + L"\" " + readyName + L" " + quitName + L" many \"" + folder + L"\" " +
                           std::to_wstring(handles) + mapAction;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(holderExe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            std::fprintf(stderr, "cannot start %ls (error %lu)\n", holderExe.c_str(), ::GetLastError());
            rc = 1;
            break;
        }
        ::CloseHandle(pi.hThread);
        holders.push_back({swt::UniqueHandleT(pi.hProcess), pi.dwProcessId});
    }
    for (size_t p = 0; rc == 0 && p < holders.size(); ++p) {
        HANDLE waits[2] = {readies[p].get(), holders[p].process.get()};
        if (::WaitForMultipleObjects(2, waits, FALSE, 300000) != WAIT_OBJECT_0) {
            std::fprintf(stderr, "holder %zu did not get ready\n", p);
            rc = 1;
        }
    }

    if (rc == 0) {
        const std::wstring targetPath = root + L"\\p0\\h0.dat";
        std::wstring target;
        {
            swt::UniqueFile f(::CreateFileW(targetPath.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            target = swt::GetHandleFileNameInline(f.get());
        }
        swt::TFileHandleTable table = swt::ReadFileHandleTable();
        size_t fileHandles = 0;
        for (const auto& e : table.Table.Entries)
            if (e.ObjectTypeIndex == table.FileTypeIndex) ++fileHandles;
        std::printf("processes P=%d, files held per process H=%d, repetitions %d (thread per query %d)\n", processes,
                    handles, reps, threadReps);
        std::printf("handle table entries: %zu (%s table)\n", table.Table.Entries.size(),
                    table.Table.Extended ? "extended" : "narrow");
        std::printf("file handles: %zu\n", fileHandles);
        // K held files spread over the holders: h<i>.dat of holder k % P, i = k / P.
        std::vector<std::wstring> batchPaths;
        for (int k = 0; k < targetCount; ++k)
            batchPaths.push_back(root + L"\\p" + std::to_wstring(k % processes) + L"\\h" +
                                 std::to_wstring((k / processes) % handles) + L".dat");
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
        ViewWalkCount walk, walkInline;
        for (int r = 0; r < std::max(reps, threadReps); ++r) {
            if (r < reps) {
                swt::SetNameQueryMode(swt::TNameQueryMode::ReusedWorker);
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
        std::printf("ratios: medians of the ratios of runs in the same repetition\n");
        std::printf("ratio batch(%d)/single: %.2f\n", targetCount, PairedRatio(batch, call));
        std::printf("ratio single with/without mapped-view walk: %.2f\n", PairedRatio(call, noViews));
        std::printf("ratio mapped-view walk worker/calling thread: %.2f\n", PairedRatio(viewWalk, viewWalkInline));
        if (threadReps > 0) std::printf("ratio thread-per-query/floor: %.2f\n", PairedRatio(perThread, floor));
        std::printf("ratio call/floor(owner once per process): %.2f\n", PairedRatio(call, floorOnce));
        std::printf("ratio call/floor: %.2f\n", PairedRatio(call, floor));
        std::fflush(stdout);
    }

    ::SetEvent(quit.get());
    for (Holder& h : holders)
        if (::WaitForSingleObject(h.process.get(), 30000) != WAIT_OBJECT_0) ::TerminateProcess(h.process.get(), 1);
    DeleteFolder(root);
    return rc;
}

int Arg(int argc, wchar_t** argv, const wchar_t* name, int fallback, int least = 1) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::wcscmp(argv[i], name) == 0) return std::max(least, _wtoi(argv[i + 1]));
    return fallback;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        return Run(Arg(argc, argv, L"-p", 8), Arg(argc, argv, L"-h", 500), Arg(argc, argv, L"-r", 5),
                   Arg(argc, argv, L"-t", 3, 0), Arg(argc, argv, L"--targets", 20));
    } catch (const swt::Error& e) {
        std::fprintf(stderr, "error: %ls\n", e.message().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
    }
    return 1;
}
