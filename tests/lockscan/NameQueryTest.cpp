// The name query's time limit, shown with a stand-in for NtQueryObject that hangs on one handle.
#include <gtest/gtest.h>

#include <algorithm>

#include "lockscan/FileInUse_Tools.h"
#include "tests/lockscan/Holder.h"
#include "tests/lockscan/NtStandIn.h"

namespace swt::test {
namespace {

const char* ModeName(TNameQueryMode m) { return m == TNameQueryMode::ReusedWorker ? "reused worker" : "thread per query"; }
const char* LateName(TLateWorker w) { return w == TLateWorker::Terminate ? "terminated" : "left to finish"; }

// Restores the process-wide late-worker handling at scope end.
struct LateWorkerScope {
    TLateWorker saved = GetLateWorker();
    explicit LateWorkerScope(TLateWorker w) { SetLateWorker(w); }
    ~LateWorkerScope() { SetLateWorker(saved); }
};

bool NoLateWorkersLeft() {
    for (int i = 0; i < 200 && LateWorkersPending() > 0; ++i) ::Sleep(50);
    return LateWorkersPending() == 0;
}

TEST(NameQuery, LateQueryIsSkippedAndTheScanGoesOn) {
    TempDir dir;
    std::wstring path = dir / L"slow.dat";
    WriteFileBytes(path, "slow");
    Holder holder({L"open", L"r", L"rw", path, L"open", L"r", L"rw", path, L"open", L"r", L"rw", path});
    ASSERT_TRUE(holder.ready());
    const std::wstring target = ScanNameOf(path);
    ASSERT_FALSE(target.empty());
    auto table = ReadFileHandleTable();

    for (TLateWorker handling : {TLateWorker::Terminate, TLateWorker::LeaveToFinish}) {
        for (TNameQueryMode mode : {TNameQueryMode::ReusedWorker, TNameQueryMode::ThreadPerQuery}) {
            SCOPED_TRACE(testing::Message() << ModeName(mode) << ", late worker " << LateName(handling));
            LateWorkerScope late(handling);
            std::vector<uint32_t> found;
            unsigned workers = 0, lateQueries = 0;
            {
                HangingNameQuery hang(target, 1);
                TNameQuery names(mode);
                ScanHandleTable(table.Table, target, table.FileTypeIndex, names,
                                [&](uint32_t pid, const std::wstring& name, bool) {
                                    EXPECT_EQ(name, target);
                                    if (pid == holder.pid()) found.push_back(pid);
                                });
                workers = names.WorkersStarted();
                lateQueries = names.LateQueries();
                EXPECT_LT(hang.hangsLeft(), 1) << "the hanging query was never asked";
            }
            // The first of the three handles hung and was skipped; the two after it were still found.
            EXPECT_EQ(lateQueries, 1u);
            EXPECT_EQ(found, std::vector<uint32_t>(2, holder.pid()));
            if (mode == TNameQueryMode::ReusedWorker) {
                EXPECT_EQ(workers, 2u) << "late worker replaced once";
            }
            // The late worker's block is released once its thread has really ended.
            EXPECT_TRUE(NoLateWorkersLeft());
        }
    }
}

TEST(NameQuery, SingleQueryGivesUpAfterTheLimit) {
    TempDir dir;
    std::wstring path = dir / L"hang.dat";
    WriteFileBytes(path, "hang");
    UniqueFile f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(f);
    const std::wstring name = GetHandleFileName(f.get());
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(GetHandleFileNameInline(f.get()), name);
    for (TLateWorker handling : {TLateWorker::Terminate, TLateWorker::LeaveToFinish}) {
        SCOPED_TRACE(LateName(handling));
        LateWorkerScope late(handling);
        {
            HangingNameQuery hang(name, 1);
            EXPECT_EQ(GetHandleFileName(f.get()), L"");
            // The next query (on a fresh worker) answers again.
            EXPECT_EQ(GetHandleFileName(f.get()), name);
        }
        EXPECT_TRUE(NoLateWorkersLeft());
    }
}

TEST(NameQuery, NamesFilesOnlyAndAllWaysAgree) {
    TempDir dir;
    std::wstring path = dir / L"named.dat";
    WriteFileBytes(path, "x");
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    UniqueHandleT event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    for (TNameQueryMode mode : {TNameQueryMode::ReusedWorker, TNameQueryMode::ThreadPerQuery}) {
        SCOPED_TRACE(ModeName(mode));
        TNameQuery names(mode);
        std::wstring fileName = names.Name(file.get());
        EXPECT_EQ(fileName, GetHandleFileNameInline(file.get()));
        // The name ends with the file's own name, whatever form the system gives the rest.
        EXPECT_TRUE(fileName.size() > 10 && fileName.compare(fileName.size() - 10, 10, L"\\named.dat") == 0)
            << testing::PrintToString(fileName);
        EXPECT_EQ(names.Name(event.get()), L"");
        EXPECT_EQ(names.Name(nullptr), L"");
        EXPECT_EQ(names.LateQueries(), 0u);
    }
}

}  // namespace
}  // namespace swt::test

namespace swt::test {
namespace {

// The one-thread-per-query variant is kept for measuring; it must give the very same answer.
TEST(NameQuery, BothWorkerModesGiveTheSameEntries) {
    TempDir dir;
    std::wstring dll = dir / L"same.dll";
    CopyFixtureDll(dll);
    UniqueFile mine(::CreateFileW(dll.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(mine);
    Holder holder({L"open", L"r", L"r", dll, L"load", dll, L"open", L"r", L"r", dll});
    ASSERT_TRUE(holder.ready());
    std::vector<std::wstring> answers;
    for (TNameQueryMode mode : {TNameQueryMode::ReusedWorker, TNameQueryMode::ThreadPerQuery}) {
        SetNameQueryMode(mode);
        auto locks = GetLockingProcesses(dll);
        std::wstring text;
        for (const TProcessLockInfo* e : EntriesOf(locks.get(), {::GetCurrentProcessId(), holder.pid()}))
            text += std::to_wstring(e->ProcessId) + L" " + e->FileName + L" " + e->ProcessPath + L"\n";
        answers.push_back(text);
    }
    SetNameQueryMode(TNameQueryMode::ReusedWorker);
    // Own handle, two handles of the holder, its module: four entries either way.
    EXPECT_EQ(std::count(answers[0].begin(), answers[0].end(), L'\n'), 4) << testing::PrintToString(answers[0]);
    EXPECT_EQ(answers[0], answers[1]);
}

// Each answer belongs to its own request, even while the worker's and the scan's waits are
// interrupted: under Wine another process asking about this one's memory does that, and a wait
// that signals its event a second time would hand an old answer out as the next one (seen as
// every handle of a batch "matching" a file nobody holds).
TEST(NameQuery, AnswersStayWithTheirRequestWhileAnotherProcessReadsOurMemory) {
    TempDir dir;
    const std::wstring xPath = dir / L"x.dat", yPath = dir / L"y.dat";
    WriteFileBytes(xPath, "x");
    WriteFileBytes(yPath, "y");
    UniqueFile x(::CreateFileW(xPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    UniqueFile y(::CreateFileW(yPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(x && y);
    const std::wstring xName = GetHandleFileNameInline(x.get()), yName = GetHandleFileNameInline(y.get());
    ASSERT_FALSE(xName.empty());
    ASSERT_NE(xName, yName);
    Holder prober({L"probe", std::to_wstring(::GetCurrentProcessId())});
    ASSERT_TRUE(prober.ready());

    const TTargetSet targets({yName});
    TNameQuery names;
    const HANDLE xy[2] = {x.get(), y.get()}, yx[2] = {y.get(), x.get()};
    int foreign = 0;  // another request's answer: never right
    int missed = 0;   // no answer: right only for a query that ran late
    for (int i = 0; i < 1500; ++i) {
        // Consecutive requests with different answers, so that an old answer shows.
        const bool even = i % 2 == 0;
        const int32_t expected[2] = {even ? -1 : 0, even ? 0 : -1};
        int32_t which[2] = {7, 7};
        names.Match(even ? xy : yx, 2, targets, which);
        for (int k = 0; k < 2; ++k)
            if (which[k] != expected[k]) ++(which[k] == kUnnamed ? missed : foreign);
        const std::wstring name = names.Name(even ? x.get() : y.get());
        if (name.empty()) ++missed;
        else if (name != (even ? xName : yName)) ++foreign;
    }
    EXPECT_EQ(foreign, 0) << "late queries: " << names.LateQueries();
    EXPECT_LE(missed, static_cast<int>(names.LateQueries()));
}

}  // namespace
}  // namespace swt::test
