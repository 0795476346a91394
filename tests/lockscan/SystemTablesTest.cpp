// The system tables read through the ntdll seam.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

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

// The fields that tell one handle from another: object address and access from both layouts
// (the platform's record layouts written out byte by byte), access and creation time from the
// running system.
TEST(SystemTables, EntriesCarryObjectAndAccessAndProcessesTheirCreationTime) {
    auto put = [](std::vector<std::byte>& b, size_t at, uint64_t v, size_t bytes) {
        std::memcpy(b.data() + at, &v, bytes);
    };
    auto buffer = [](const std::vector<std::byte>& b) {
        auto data = std::make_unique<std::byte[]>(b.size());
        std::memcpy(data.get(), b.data(), b.size());
        return SystemInfoBuffer(std::move(data), b.size());
    };
    // Extended: count and reserved (8 bytes each), then 40-byte entries: object, process id,
    // handle value (8 each), access (4), back trace (2), type (2), attributes, reserved (4 each).
    std::vector<std::byte> wide(16 + 40);
    put(wide, 0, 1, 8);
    put(wide, 16, 0xFFFF8000'12345670ull, 8);
    put(wide, 24, 70000, 8);
    put(wide, 32, 0x1C4, 8);
    put(wide, 40, 0x120089, 4);
    put(wide, 46, 40, 2);
    // Narrow: count (4 bytes, padded to 8), then 24-byte entries: process id (2), back trace (2),
    // type (1), attributes (1), handle value (2), object (8), access (4), padding (4).
    std::vector<std::byte> narrow(8 + 24);
    put(narrow, 0, 1, 4);
    put(narrow, 8, 4464, 2);
    put(narrow, 12, 40, 1);
    put(narrow, 14, 0x1C4, 2);
    put(narrow, 16, 0xFFFF8000'12345670ull, 8);
    put(narrow, 24, 0x120089, 4);
    for (bool extended : {true, false}) {
        SCOPED_TRACE(extended ? "wide" : "narrow");
        THandleTable t = ParseHandleTable(buffer(extended ? wide : narrow), extended);
        ASSERT_EQ(t.Entries.size(), 1u);
        const THandleEntry& e = t.Entries[0];
        EXPECT_EQ(e.ProcessId, extended ? 70000u : 4464u);
        EXPECT_EQ(e.HandleValue, 0x1C4u);
        EXPECT_EQ(e.ObjectTypeIndex, 40);
        EXPECT_EQ(e.Object, 0xFFFF8000'12345670ull);
        EXPECT_EQ(e.GrantedAccess, 0x120089u);
    }

    TempDir dir;
    const std::wstring path = dir / L"mine.dat";
    WriteFileBytes(path, "x");
    UniqueFile mine(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(mine);
    auto table = ReadHandleTable();
    ASSERT_TRUE(table);
    const THandleEntry* own = nullptr;
    for (const THandleEntry& e : table->Entries)
        if (e.ProcessId == ::GetCurrentProcessId() && e.HandleValue == reinterpret_cast<ULONG_PTR>(mine.get())) own = &e;
    ASSERT_TRUE(own);
    EXPECT_EQ(own->GrantedAccess, static_cast<ULONG>(FILE_GENERIC_READ));

    FILETIME created, exited, kernel, user;
    ASSERT_TRUE(::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user));
    const LONGLONG expected = (LONGLONG{created.dwHighDateTime} << 32) | created.dwLowDateTime;
    auto processes = ReadProcessTable();
    ASSERT_TRUE(processes);
    auto self = std::find_if(processes->begin(), processes->end(),
                             [](const TProcessRecord& p) { return p.ProcessId == ::GetCurrentProcessId(); });
    ASSERT_NE(self, processes->end());
    EXPECT_EQ(self->CreateTime, expected);
}

}  // namespace
}  // namespace swt::test
