// Handle, module and mapped-view names against the targets: without regard to letter case, as
// Windows compares file names. Windows keeps the opener's spelling in a handle's name (a program
// that opened C:\APP\DATA.BIN holds a handle of that name for the file C:\App\data.bin); Wine gives
// the file system's own spelling, so the comparison itself is shown here.
#include <gtest/gtest.h>

#include "lockscan/FileInUse_Tools.h"
#include "lockscan/NameQuery.h"
#include "lockscan/TargetSet.h"
#include "tests/common/TestSupport.h"

namespace swt::test {
namespace {

TEST(TargetSet, NamesMatchTheTargetsInAnyLetterCaseBeyondAscii) {
    const TTargetSet targets({LR"(\Device\HarddiskVolume2\App\data.bin)", LR"(\??\C:\Äpfel\Größe.dat)",
                              LR"(\??\C:\ÄPFEL\GRÖSSE.DAT)", LR"(\??\C:\App\DATA.BIN)",
                              LR"(\??\c:\äpfel\größe.DAT)", L""});
    // Names that differ only in case are one distinct name, and each of their targets gets every
    // match; the empty target is none.
    EXPECT_EQ(targets.DistinctCount(), 4u);
    const struct {
        const wchar_t* name;
        std::vector<size_t> targets;
    } cases[] = {
        {LR"(\Device\HarddiskVolume2\App\data.bin)", {0}},
        {LR"(\DEVICE\HARDDISKVOLUME2\APP\DATA.BIN)", {0}},
        {LR"(\device\harddiskvolume2\app\Data.Bin)", {0}},
        {LR"(\??\C:\äpfel\größe.dat)", {1, 4}},
        {LR"(\??\C:\ÄPFEL\GRÖßE.DAT)", {1, 4}},
        {LR"(\??\c:\äPfEl\GRÖßE.dat)", {1, 4}},
        // Case is no spelling: "ß" is not "SS".
        {LR"(\??\C:\Äpfel\GRÖSSE.dat)", {2}},
        {LR"(\??\c:\app\data.bin)", {3}},
        {LR"(\??\C:\Apfel\Größe.dat)", {}},
        {LR"(\??\C:\App\data.bi)", {}},
        {L"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        EXPECT_EQ(targets.FindTargets(c.name), c.targets);
        EXPECT_EQ(targets.FindDistinct(c.name) >= 0, !c.targets.empty());
    }
    EXPECT_TRUE(targets.HasFileNamePart(L"GRÖßE.DAT"));
    EXPECT_TRUE(targets.HasFileNamePart(L"größe.dat"));
    EXPECT_FALSE(targets.HasFileNamePart(L"grosse.dat2"));
}

// The name query's own lookup, on the worker's side (a table of the targets in upper case) and
// on a thread per query, finds an open file under a target spelled in other letters.
TEST(TargetSet, NameQueryMatchesAHandleUnderATargetInOtherLetterCase) {
    TempDir dir;
    const std::wstring path = dir / L"Größe-Äpfel.dat";
    WriteFileBytes(path, "x");
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    const std::wstring name = GetHandleFileNameInline(file.get());
    ASSERT_FALSE(name.empty());
    for (TNameQueryMode mode : {TNameQueryMode::ReusedWorker, TNameQueryMode::ThreadPerQuery}) {
        SCOPED_TRACE(static_cast<int>(mode));
        for (const std::wstring& target : {name, FileNameUpper(name), UpperText(name) + L"x"}) {
            SCOPED_TRACE(testing::PrintToString(target));
            const TTargetSet targets({target});
            TNameQuery names(mode);
            const HANDLE handles[1] = {file.get()};
            int32_t which[1] = {7};
            names.Match(handles, 1, targets, which);
            EXPECT_EQ(which[0], target.back() == L'x' ? -1 : 0);
        }
    }
}

}  // namespace
}  // namespace swt::test
