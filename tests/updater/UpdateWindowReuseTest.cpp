// The update window against holders whose handle values the system hands out again: a holder that
// closes an unrelated file and opens a second destination at the same value shows it in its hint
// (at the next pass where the table gives object addresses, within the scanner's bound where it
// does not), a holder that lets go loses its row at the next pass although the file stays held by
// another, and the only holder of a file on a reused value shows at once, with no "no holder" line.
// The passes are driven one by one; the run keeps one scanner, so every pass after the first is a
// steady scan unless the scanner's bound or a file without a known holder makes it a full one.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>

#include "lockscan/FileInUse_Tools.h"
#include "tests/lockscan/Holder.h"
#include "tests/updater/UpdateWindowFixture.h"
#include "tests/updater/UpdaterDriver.h"

namespace swt::test {
namespace {

const std::string kStart = "START read depended Prozesses";

// The log of the last pass, from its first line on.
std::vector<std::string> LastPassLines(const Job& job) {
    const std::vector<std::string> lines = LogOf(job.LogPath());
    const auto start = std::find(lines.rbegin(), lines.rend(), kStart);
    return std::vector<std::string>(start == lines.rend() ? lines.end() : std::prev(start.base()), lines.end());
}

std::wstring Hint(const std::vector<std::wstring>& shown) {
    std::wstring hint = L"Verwendet";
    for (const std::wstring& path : shown) hint += L"\r" + ShownPathOf(path);
    return hint;
}

// One process holds a and an unrelated file; another holds b throughout, so b stays blocked with
// a holder known. Right after the run's first (full) scan the first process closes its unrelated
// file and opens b at the same handle value with the same access. With object addresses the next
// pass's steady scan tells the handle from the one it replaced; without them (Wine) it looks
// unchanged until the scanner's next full scan, which comes within kFullScanEvery passes. Either
// way the log of each pass is that of a pass with both files blocked by holders it knows.
TEST(UpdateWindowReuse, HandleValueUsedAgainForASecondBlockedFileShowsInTheHint) {
    struct Case {
        const char* What;
        bool Objects;     // the lock scan's test seam gives the table's entries object addresses
        unsigned Within;  // passes after the change by which the hint names b
    };
    const Case cases[] = {
        {"the table gives object addresses", true, 1},
        {"the table as Wine gives it", false, kFullScanEvery},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        Job job;
        const std::wstring a = job.dir / L"a.dat", b = job.dir / L"b.dat", unrelated = job.dir / L"x.dat";
        job.AddEntries({a, b});
        WriteFileBytes(unrelated, "x");
        Holder holder({L"open", L"r", L"r", a, L"open", L"r", L"r", unrelated}, true);
        Holder keepsB({L"open", L"r", L"r", b});
        ASSERT_TRUE(holder.ready() && keepsB.ready());
        std::optional<TGiveHandleObjects> objects;
        if (c.Objects) objects.emplace([pid = holder.pid()](THandleTable& t) { GiveFileObjects(t, {pid}); });

        UpdateWindow w(job);
        w.Tick();
        ASSERT_TRUE(w.ItemOf(holder.pid()));
        EXPECT_EQ(w.ItemOf(holder.pid())->Hint(), Hint({a}));
        ASSERT_TRUE(w.ItemOf(keepsB.pid()));

        const auto [before, after] = holder.Swap(1, L"r", L"r", b);
        ASSERT_NE(after, 0u);
        if (before != after) GTEST_SKIP() << "the system gave b another handle value than the file closed";

        // Entries last to first, as the pass attaches them.
        const std::wstring both = Hint({b, a});
        unsigned passes = 0;
        while (passes < kFullScanEvery + 1) {
            w.Tick();
            ++passes;
            SCOPED_TRACE(passes);
            EXPECT_EQ(LastPassLines(job), (std::vector<std::string>{kStart, "END read depended Prozesses (2)"}));
            ASSERT_TRUE(w.ItemOf(holder.pid())) << "the holder of a lost its row";
            if (w.ItemOf(holder.pid())->Hint() == both) break;
            EXPECT_EQ(w.ItemOf(holder.pid())->Hint(), Hint({a}));
        }
        EXPECT_EQ(w.ItemOf(holder.pid())->Hint(), both);
        EXPECT_LE(passes, c.Within);
        EXPECT_EQ(w.RowsOf({holder.pid(), keepsB.pid()}), (std::vector<DWORD>{holder.pid(), keepsB.pid()}));
        ASSERT_TRUE(w.ItemOf(keepsB.pid()));
        EXPECT_EQ(w.ItemOf(keepsB.pid())->Hint(), Hint({b}));
        EXPECT_EQ(ReadFileBytes(a), "old");
        EXPECT_EQ(ReadFileBytes(b), "old");
    }
}

// Two processes hold one file; between two steady passes one of them lets it go, by closing its
// handle or by opening another file at the same handle value in its place. A handle that matched
// is named afresh in every scan, so the next pass drops that row while the file stays blocked by
// the other, whose row keeps its hint.
TEST(UpdateWindowReuse, HolderThatLetsGoLosesItsRowAtTheNextPass) {
    struct Case {
        const char* What;
        bool OpensAnother;
    };
    const Case cases[] = {{"it closes its handle", false}, {"it opens another file in its place", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        Job job;
        const std::wstring dest = job.dir / L"held.dat", other = job.dir / L"other.dat";
        job.AddEntries({dest});
        WriteFileBytes(other, "x");
        Holder leaving({L"open", L"r", L"r", dest}, true);
        Holder staying({L"open", L"r", L"r", dest});
        ASSERT_TRUE(leaving.ready() && staying.ready());
        const std::vector<DWORD> both = {leaving.pid(), staying.pid()};

        UpdateWindow w(job);
        w.Tick();
        w.Tick();
        ASSERT_EQ(w.RowsOf(both), both);

        if (c.OpensAnother) {
            EXPECT_NE(leaving.Swap(0, L"r", L"r", other).second, 0u);
        } else {
            EXPECT_TRUE(leaving.Close(0));
        }
        w.Tick();
        EXPECT_EQ(w.RowsOf(both), std::vector<DWORD>{staying.pid()});
        ASSERT_TRUE(w.ItemOf(staying.pid()));
        EXPECT_EQ(w.ItemOf(staying.pid())->Hint(), Hint({dest}));
        EXPECT_EQ(LastPassLines(job), (std::vector<std::string>{kStart, "END read depended Prozesses (1)"}));
        EXPECT_EQ(ReadFileBytes(dest), "old");
    }
}

// The one holder of a file lets it go while another process closes an unrelated file and opens
// that one at the same handle value: the steady scan finds no holder it knows, so it names the
// handles it would have reused before it answers, and the new holder shows at once. No "no
// holder" line is logged and the header keeps its usual text.
TEST(UpdateWindowReuse, OnlyHolderOnAReusedHandleValueShowsAtOnce) {
    Job job;
    const std::wstring dest = job.dir / L"held.dat", unrelated = job.dir / L"x.dat";
    job.AddEntries({dest});
    WriteFileBytes(unrelated, "x");
    Holder first({L"open", L"r", L"r", dest}, true);
    Holder reusing({L"open", L"r", L"r", unrelated}, true);
    ASSERT_TRUE(first.ready() && reusing.ready());
    const std::vector<DWORD> both = {first.pid(), reusing.pid()};

    UpdateWindow w(job);
    w.Tick();
    w.Tick();
    ASSERT_EQ(w.RowsOf(both), std::vector<DWORD>{first.pid()});

    EXPECT_TRUE(first.Close(0));
    const auto [before, after] = reusing.Swap(0, L"r", L"r", dest);
    ASSERT_NE(after, 0u);
    if (before != after) GTEST_SKIP() << "the system gave the file another handle value than the one closed";
    w.Tick();
    EXPECT_EQ(w.RowsOf(both), std::vector<DWORD>{reusing.pid()});
    ASSERT_TRUE(w.ItemOf(reusing.pid()));
    EXPECT_EQ(w.ItemOf(reusing.pid())->Hint(), Hint({dest}));
    EXPECT_EQ(w.HeaderDescription(), TForm1::kHeaderDescription);
    EXPECT_EQ(LastPassLines(job), (std::vector<std::string>{kStart, "END read depended Prozesses (1)"}));
    EXPECT_EQ(ReadFileBytes(dest), "old");
    const std::vector<std::string> lines = LogOf(job.LogPath());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "WARN Keine blockierenden Prozesse gefunden: " + Narrow(dest)), 0);
}

}  // namespace
}  // namespace swt::test
