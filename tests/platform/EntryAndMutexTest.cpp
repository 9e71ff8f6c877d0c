// The process entry, the no-display path and the named mutex between
// processes, through the entry probe program.

#include "platform/UniqueHandle.h"
#include "platform/Win32.h"
#include "tests/support/ProcessRunner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

const std::vector<std::string> NoDisplay = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};

ProcessResult Probe(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
                    const std::vector<std::string>& unset = {})
{
    std::vector<std::string> all = {ENTRY_PROBE};
    all.insert(all.end(), args.begin(), args.end());
    return ChildProcess(all, env, unset).Finish();
}

std::string UniqueName(const char* what)
{
    return std::string("Z:*tmp*strumkey-test*") + what + "*" + std::to_string(getpid());
}

TEST(Entry, WinMainGetsTheCommandLineAndTheInstanceWithTheResources)
{
    ProcessResult args = Probe({"args", "two words", "x"});
    EXPECT_EQ(args.status, 0);
    EXPECT_EQ(args.out, "[args \"two words\" x] 1 1\n");
    ProcessResult dialog = Probe({"dialog"}, {"QT_QPA_PLATFORM=offscreen"});
    EXPECT_EQ(dialog.status, 0) << dialog.err;
    EXPECT_EQ(dialog.out, "result 7\n");
}

TEST(Entry, WithoutADisplayTheDialogFailsWithOneLineAndAFailureCode)
{
    ProcessResult result = Probe({"dialog"}, {}, NoDisplay);
    EXPECT_EQ(result.status, 1);  // an exit, not an abort
    EXPECT_EQ(result.out, "result -1\n");
    ASSERT_FALSE(result.err.empty());
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    EXPECT_NE(result.err.find("display"), std::string::npos);
}

TEST(NamedMutex, ASecondProcessTimesOutUntilTheFirstLetsGo)
{
    const std::string name = UniqueName("close");
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    EXPECT_EQ(Probe({"try", name}).out, "258\n");  // WAIT_TIMEOUT
    EXPECT_EQ(Probe({"try", name + "-other"}).out, "0\n");
    EXPECT_TRUE(CloseHandle(mutex));
    EXPECT_EQ(Probe({"try", name}).out, "0\n");
}

// The owner closes what it holds exactly once: when destroyed, reset or
// assigned over, and never after it was moved out or let go.
TEST(NamedMutex, AnOwnedHandleClosesOnceWhereverItGoes)
{
    const std::string name = UniqueName("owner");
    auto taken = [&] { return Probe({"try", name}).out == "258\n"; };
    HANDLE raw;
    {
        platform::UniqueHandle owner(CreateMutexA(nullptr, FALSE, name.c_str()));
        ASSERT_TRUE(owner);
        raw = owner.Get();
        EXPECT_EQ(WaitForSingleObject(raw, 0), WAIT_OBJECT_0);
        platform::UniqueHandle moved = std::move(owner);
        EXPECT_FALSE(owner);
        owner = std::move(moved);
        EXPECT_TRUE(taken());
    }
    EXPECT_FALSE(taken());
    EXPECT_FALSE(CloseHandle(raw));  // already closed

    platform::UniqueHandle owner(CreateMutexA(nullptr, FALSE, name.c_str()));
    WaitForSingleObject(owner.Get(), 0);
    owner.Reset(INVALID_HANDLE_VALUE);  // counts as none, closing the old one
    EXPECT_FALSE(owner);
    EXPECT_FALSE(taken());
    owner.Reset(CreateMutexA(nullptr, FALSE, name.c_str()));
    WaitForSingleObject(owner.Get(), 0);
    raw = owner.Release();
    EXPECT_TRUE(taken());
    EXPECT_TRUE(CloseHandle(raw));
}

TEST(NamedMutex, TheLockDiesWithItsProcess)
{
    const std::string name = UniqueName("kill");
    ChildProcess holder({ENTRY_PROBE, "hold", name}, {}, {});
    ASSERT_EQ(holder.ReadLine(), "held");
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_TIMEOUT);
    holder.Kill();
    EXPECT_EQ(holder.Finish().status, 128 + SIGKILL);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    CloseHandle(mutex);
}

TEST(NamedMutex, OneNameIsOneMutexOwnedByAThread)
{
    const std::string name = UniqueName("threads");
    HANDLE first = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    HANDLE second = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    ASSERT_NE(first, second);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);  // ownership nests
    std::atomic<DWORD> other{0};
    std::thread([&] { other = WaitForSingleObject(second, 0); }).join();
    EXPECT_EQ(other, WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(first));
    EXPECT_TRUE(ReleaseMutex(second));
    EXPECT_FALSE(ReleaseMutex(second));
    EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
    std::thread([&] {
        other = WaitForSingleObject(second, 0);
        ReleaseMutex(second);
    }).join();
    EXPECT_EQ(other, WAIT_OBJECT_0);
    CloseHandle(first);
    CloseHandle(second);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
