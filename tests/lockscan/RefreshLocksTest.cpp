// A to-do entry knows who holds its destination.
#include <gtest/gtest.h>

#include "lockscan/FileInUse_Tools.h"
#include "tests/lockscan/Holder.h"
#include "updater/ToDoList.h"

namespace swt::test {
namespace {

TEST(RefreshLocks, EntryKeepsTheHoldersOfItsDestination) {
    TempDir dir;
    std::wstring dest = dir / L"dest.dat";
    std::wstring other = dir / L"other.dat";
    WriteFileBytes(dest, "old");
    WriteFileBytes(other, "old");
    TToDoList list;
    {
        Holder holder({L"open", L"r", L"0", dest});
        ASSERT_TRUE(holder.ready());
        TUpdateItem& held = TUpdateItem::Create(&list, dir / L"src.dat", dest);
        TUpdateItem& free = TUpdateItem::Create(&list, dir / L"src2.dat", other);
        ASSERT_TRUE(held.FLocks);
        EXPECT_EQ(EntriesOf(held.FLocks.get(), {holder.pid(), ::GetCurrentProcessId()}).size(), 1u);
        EXPECT_FALSE(free.FLocks);

        // A done entry asks nobody and keeps no list.
        held.FDone = true;
        held.RefreshLocks();
        EXPECT_FALSE(held.FLocks);
        held.FDone = false;
        held.RefreshLocks();
        EXPECT_TRUE(held.FLocks);
    }
    // The holder has ended: the next refresh replaces the list with none.
    list[0].RefreshLocks();
    EXPECT_FALSE(list[0].FLocks);
}

}  // namespace
}  // namespace swt::test
