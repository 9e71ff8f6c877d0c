// The process entry, the no-display path and the named mutex between
// processes, through the entry probe program.

#include "platform/UniqueHandle.h"
#include "platform/Win32.h"
#include "tests/support/ProcessRunner.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

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

// The lock dies with its process, and lock files do not pile up: the owner
// that closes takes its file away, and the next process takes away those of
// killed owners, which nobody holds.
TEST(NamedMutex, TheLockDiesWithItsProcessAndNoLockFileIsLeft)
{
    TempFolder runtime;  // private, as a session's runtime folder is
    const std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + runtime.Path()};
    auto files = [&] { return std::distance(fs::directory_iterator(runtime.Path()), fs::directory_iterator()); };
    auto tried = [&](const char* what) {
        return ChildProcess({ENTRY_PROBE, "try", UniqueName(what)}, env, {}).Finish().out;
    };
    ChildProcess closing({ENTRY_PROBE, "hold", UniqueName("closed")}, env, {});
    ASSERT_EQ(closing.ReadLine(), "held");
    EXPECT_EQ(files(), 1);
    closing.Finish();
    EXPECT_EQ(files(), 0);

    ChildProcess killed({ENTRY_PROBE, "hold", UniqueName("killed")}, env, {});
    ASSERT_EQ(killed.ReadLine(), "held");
    ChildProcess living({ENTRY_PROBE, "hold", UniqueName("living")}, env, {});
    ASSERT_EQ(living.ReadLine(), "held");
    EXPECT_EQ(tried("killed"), "258\n");  // WAIT_TIMEOUT
    killed.Kill();
    EXPECT_EQ(killed.Finish().status, 128 + SIGKILL);
    EXPECT_EQ(files(), 2);
    EXPECT_EQ(tried("killed"), "0\n");  // the lock died with it, and its file went
    EXPECT_EQ(files(), 1);              // the living owner's
    EXPECT_EQ(tried("living"), "258\n");
    living.Finish();
    EXPECT_EQ(files(), 0);
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

// ---- Between users ----

// Another user tries to keep a user's copy from starting: it plants lock
// files of the names the copy would use where it may look for them, and
// holds them. The copy still starts, and a second copy is still refused.
// The superuser plays both users, each case with users of its own.

// The victim's folder under /tmp is F; the attacker plants the lock in F or
// in F-attacker, a folder open to all, or by its old name beside F.
struct Attack {
    const char* name;
    const char* suffix;  // of the folder planted in; nullptr: the old name under /tmp
    bool victims;        // the folder is the victim's own, left open to all
    bool link;           // F is a link to the folder
    bool runtime;        // the victim's XDG_RUNTIME_DIR names the folder
};
const Attack Attacks[] = {{"ALockFileUnderTmpByTheOldName", nullptr, false, false, false},
                          {"TheFolderUnderTmpMadeByTheAttacker", "", false, false, false},
                          {"TheFolderUnderTmpALinkToTheAttackers", "-attacker", false, true, false},
                          {"TheVictimsFolderLeftOpenWithTheLockPlanted", "", true, false, false},
                          {"ARuntimeFolderOfTheAttackers", "-attacker", false, false, true}};

class NamedMutexBetweenUsers : public testing::TestWithParam<Attack> {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "two users are played by the superuser only";
        attacker = 62000 + 2 * static_cast<uid_t>(&GetParam() - Attacks);
        folder = "/tmp/win32-mutex-" + std::to_string(attacker + 1);  // the victim's
        Clean();
        fs::create_directories(folder + "-home");
        Give(folder + "-home", attacker + 1, 0700);
    }
    void TearDown() override { Clean(); }
    void Clean()
    {
        for (const char* suffix : {"", "-attacker", "-home"})
            fs::remove_all(folder + suffix);
        fs::remove(OldName());
    }
    static void Give(const std::string& path, uid_t user, mode_t mode)
    {
        ASSERT_EQ(::lchown(path.c_str(), user, user), 0) << path;
        if (!fs::is_symlink(path)) {
            ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
        }
    }
    // The lock's file name, as anybody can work it out: FNV-1a of the name.
    std::string Hash() const
    {
        std::uint64_t hash = 0xCBF29CE484222325ull;
        for (unsigned char c : name)
            hash = (hash ^ c) * 0x100000001B3ull;
        char text[20];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
        return text;
    }
    std::string OldName() const { return "/tmp/win32-mutex-" + std::to_string(attacker + 1) + "-" + Hash() + ".lock"; }
    // A lock file of the attacker's, open to all, which it holds.
    void Plant(const std::string& path)
    {
        ::close(::open(path.c_str(), O_RDWR | O_CREAT, 0666));
        Give(path, attacker, 0666);
        held.push_back(::open(path.c_str(), O_RDWR));
    }
    // Sets the trap; gives the environment the victim runs in. The attacker's
    // folder is open to all as /tmp is (nobody removes another's files).
    std::vector<std::string> Prepare(const Attack& attack)
    {
        if (attack.suffix == nullptr) {
            Plant(OldName());
            return {};
        }
        const std::string planted = folder + attack.suffix;
        fs::create_directories(planted);
        Give(planted, attack.victims ? attacker + 1 : attacker, attack.victims ? 0777 : 01777);
        Plant(planted + "/win32-mutex-" + Hash() + ".lock");
        if (attack.link) {
            fs::create_directory_symlink(planted, folder);
            Give(folder, attacker, 0);
        }
        return attack.runtime ? std::vector<std::string>{"XDG_RUNTIME_DIR=" + planted} : std::vector<std::string>{};
    }
    // The probe as the victim.
    std::unique_ptr<ChildProcess> AsVictim(const char* command, std::vector<std::string> env)
    {
        const std::string id = std::to_string(attacker + 1);
        env.push_back("HOME=" + folder + "-home");
        return std::make_unique<ChildProcess>(std::vector<std::string>{"/usr/bin/setpriv", "--reuid", id, "--regid", id,
                                                                       "--clear-groups", ENTRY_PROBE, command, name},
                                              env, std::vector<std::string>{"XDG_RUNTIME_DIR", "XDG_CACHE_HOME"});
    }
    const std::string name = UniqueName("users");
    uid_t attacker = 0;  // the victim is attacker + 1
    std::string folder;
    std::vector<int> held;  // by the attacker
};

TEST_P(NamedMutexBetweenUsers, TheOtherUserCannotKeepTheCopyFromStarting)
{
    const std::vector<std::string> env = Prepare(GetParam());
    ASSERT_FALSE(HasFatalFailure());
    for (int fd : held)
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    std::unique_ptr<ChildProcess> first = AsVictim("hold", env);
    EXPECT_EQ(first->ReadLine(), "held") << first->Finish().err;
    EXPECT_EQ(AsVictim("try", env)->Finish().out, "258\n");  // WAIT_TIMEOUT: a second copy
    first->Finish();
    EXPECT_EQ(AsVictim("try", env)->Finish().out, "0\n");
    for (int fd : held)
        ::close(fd);
}

INSTANTIATE_TEST_SUITE_P(Attacks, NamedMutexBetweenUsers, testing::ValuesIn(Attacks),
                         [](const testing::TestParamInfo<Attack>& info) { return std::string(info.param.name); });

}  // namespace
