// The system tables read through the ntdll seam.
#include <gtest/gtest.h>

#include "lockscan/FileInUse_Tools.h"
#include "tests/lockscan/Holder.h"

namespace swt::test {
namespace {

TEST(SystemTables, QueryBufferGrowsUpToItsCap) {
    NTSTATUS_T status = -1;
    // A first size far too small: the buffer doubles until the table fits.
    auto grown = QuerySystemInformationBuffer(kSystemProcessInformation, &status, 256);
    ASSERT_TRUE(grown);
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_FALSE(ParseProcessTable(*grown).empty());
    // A cap below what the table needs: not available, and said so.
    auto capped = QuerySystemInformationBuffer(kSystemProcessInformation, &status, 256, 512);
    EXPECT_FALSE(capped);
    EXPECT_EQ(status, kStatusNoMemory);
    // An information class the system refuses.
    EXPECT_FALSE(QuerySystemInformationBuffer(0xFFFF, &status));
    EXPECT_NE(status, kStatusSuccess);
}

TEST(SystemTables, ProcessTableListsRunningProcessesWithTheirImageNames) {
    Holder holder({});
    ASSERT_TRUE(holder.ready());
    auto table = ReadProcessTable();
    ASSERT_TRUE(table);
    bool self = false, child = false;
    for (const TProcessRecord& p : *table) {
        if (p.ProcessId == ::GetCurrentProcessId()) self = SameTextAscii(p.ImageName, L"lockscan_tests.exe");
        if (p.ProcessId == holder.pid()) child = SameTextAscii(p.ImageName, L"lockscan_holder.exe");
    }
    EXPECT_TRUE(self);
    EXPECT_TRUE(child);
}

// The wide table and the narrow one (used where the wide one is refused) agree on what they both
// can show: the file type index and the own process's file handles.
TEST(SystemTables, NarrowHandleTableAgreesWithTheWideOne) {
    TempDir dir;
    std::wstring path = dir / L"mine.dat";
    WriteFileBytes(path, "x");
    UniqueFile mine(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(mine);
    const std::wstring name = ScanNameOf(path);

    auto wide = ReadFileHandleTable(true);
    auto narrow = ReadFileHandleTable(false);
    EXPECT_TRUE(wide.Table.Extended);
    EXPECT_FALSE(narrow.Table.Extended);
    ASSERT_GE(wide.FileTypeIndex, 0);
    ASSERT_GE(narrow.FileTypeIndex, 0);
    EXPECT_EQ(wide.FileTypeIndex & 0xFF, narrow.FileTypeIndex);
    EXPECT_EQ(GetFileObjectTypeIndex(), wide.FileTypeIndex);

    for (auto* t : {&wide, &narrow}) {
        SCOPED_TRACE(t->Table.Extended ? "wide" : "narrow");
        std::vector<uint32_t> found;
        TNameQuery names;
        ScanHandleTable(t->Table, name, t->FileTypeIndex, names,
                        [&](uint32_t pid, const std::wstring&, bool own) {
                            // Other scans running now may hold a duplicate of the handle for a moment.
                            EXPECT_EQ(own, pid == ::GetCurrentProcessId());
                            if (own) found.push_back(pid);
                        });
        EXPECT_EQ(found, std::vector<uint32_t>{::GetCurrentProcessId()});
        // A type index no file carries finds nothing.
        found.clear();
        ScanHandleTable(t->Table, name, -1, names,
                        [&](uint32_t pid, const std::wstring&, bool) { found.push_back(pid); });
        EXPECT_TRUE(found.empty());
    }
}

}  // namespace
}  // namespace swt::test
