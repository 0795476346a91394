// The job key's two loops over registry answers: reading one string value and listing the values.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tests/updater/JobFixture.h"
#include "updater/JobSection.h"
#include "updater/UpdateJob.h"

namespace {

using namespace swt::test;

// Runs `work` on a thread of its own and fails (ending the test program, which cannot stop the
// thread) when it has not returned within the time: a hang shows as a failure, not a time-out.
DWORD WINAPI RunWork(void* work) {
    (*static_cast<const std::function<void()>*>(work))();
    return 0;
}

void WithinSeconds(DWORD seconds, const std::function<void()>& work) {
    swt::UniqueHandleT thread(
        ::CreateThread(nullptr, 0, RunWork, const_cast<std::function<void()>*>(&work), 0, nullptr));
    ASSERT_TRUE(thread);
    if (::WaitForSingleObject(thread.get(), seconds * 1000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "still running after " << seconds << " s";
        std::fflush(nullptr);
        ::TerminateProcess(::GetCurrentProcess(), 3);
    }
}

std::string Utf16Bytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

TEST(UpdateJobKey, StringValueOfOddByteLengthReadsWithoutItsLastByte) {
    const std::wstring longText(5000, L'x');
    const struct {
        const char* what;
        std::string bytes;
        std::wstring expected;
    } cases[] = {
        {"1 byte", std::string("a", 1), L""},
        {"3 bytes", std::string("a\0b", 3), L"a"},
        {"5 bytes", std::string("a\0b\0c", 5), L"ab"},
        {"5 bytes after a NUL", std::string("a\0\0\0c", 5), L"a"},
        {"a long text and an odd byte", Utf16Bytes(longText) + "z", longText},
        {"a text with its NUL and an odd byte", Utf16Bytes(L"C:\\log.txt") + std::string("\0\0q", 3), L"C:\\log.txt"},
    };
    for (DWORD type : {REG_SZ, REG_EXPAND_SZ}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (type == REG_SZ ? " REG_SZ" : " REG_EXPAND_SZ"));
            Job job;
            job.key.SetBinary(L"value", c.bytes, type);
            swt::TUpdateJobKey key(L"Software\\Veltra Software", job.section);
            ASSERT_TRUE(key.HasSection());
            std::wstring read;
            WithinSeconds(10, [&] { read = key.ReadString(L"value", L"default"); });
            EXPECT_EQ(read, c.expected);
        }
    }
}

// A listing that answers names from a list, then a fixed code for every further index.
struct ScriptedListing {
    std::vector<std::wstring> names;
    LONG after;
    DWORD calls = 0;
    LONG operator()(DWORD index, wchar_t* name, DWORD* length) {
        ++calls;
        if (index >= names.size()) return after;
        const std::wstring& n = names[index];
        if (n.size() + 1 > *length) return ERROR_MORE_DATA;
        std::copy(n.begin(), n.end(), name);
        name[n.size()] = L'\0';
        *length = static_cast<DWORD>(n.size());
        return ERROR_SUCCESS;
    }
};

TEST(UpdateJobKey, ListingOfValuesEndsAtTheFirstIndexWithoutAName) {
    const std::vector<std::wstring> names = {L"count", L"3_Source", L"12_source", L"2_Source"};
    const struct {
        const char* what;
        LONG after;
    } cases[] = {
        {"end of the list", ERROR_NO_MORE_ITEMS},
        {"section deleted meanwhile", ERROR_KEY_DELETED},
        {"access lost", ERROR_ACCESS_DENIED},
        {"a name too long for the room", ERROR_MORE_DATA},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedListing listing{names, c.after};
        int32_t highest = -1;
        WithinSeconds(10, [&] { highest = swt::HighestSourceIndex(std::ref(listing)); });
        EXPECT_EQ(highest, 12) << "what was listed before the error counts";
        EXPECT_EQ(listing.calls, names.size() + 1);
    }
    // An error at the very first index: nothing found.
    ScriptedListing gone{{}, ERROR_KEY_DELETED};
    EXPECT_EQ(swt::HighestSourceIndex(std::ref(gone)), 0);
    EXPECT_EQ(gone.calls, 1u);
}

// One updater at a time per job section: the lock's name is the same for every spelling the
// registry takes as the same key, and differs between sections and between the two base keys.
TEST(JobSection, OneLockPerSection) {
    const swt::TJobSection job = swt::JobSectionOf({L"Swaptide2.exe", L"doit", L"{0A1B-cd}"});
    EXPECT_EQ(job.BaseKey, L"Software\\Veltra Software");
    const swt::TJobSection fallback = swt::JobSectionOf({L"Swaptide2.exe", L"doit", L"0A1B"});
    EXPECT_EQ(fallback.Section, L"Selvane");
    const std::wstring name = swt::JobLockName(job);
    EXPECT_EQ(name.rfind(L"Local\\", 0), 0u);
    EXPECT_EQ(name.find(L'\\', 6), std::wstring::npos) << name;
    EXPECT_EQ(swt::JobLockName({L"SOFTWARE\\veltra software", L"{0a1b-CD}"}), name);
    EXPECT_NE(swt::JobLockName({job.BaseKey, L"{0A1B-ce}"}), name);
    EXPECT_NE(swt::JobLockName(fallback), swt::JobLockName({L"Software\\Veltra Software", L"Selvane"}));

    swt::UniqueHandleT first = swt::TakeJobLock(job);
    ASSERT_TRUE(first);
    EXPECT_FALSE(swt::TakeJobLock({L"software\\veltra software", L"{0a1b-cd}"})) << "held by the first";
    EXPECT_TRUE(swt::TakeJobLock({job.BaseKey, L"{0A1B-ce}"})) << "another section";
    first.reset();
    EXPECT_TRUE(swt::TakeJobLock(job)) << "free again once the first run ended";
}

}  // namespace
