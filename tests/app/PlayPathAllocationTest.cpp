// The play path allocates nothing: neither a sound's lookup and start, nor a
// key from its handling to the mixer. Every allocation made by this thread is
// counted while it runs, through operator new and, outside the address and
// thread sanitizers (which own malloc) and Windows (where malloc is the C
// runtime DLL's, for SDL too), malloc itself.

#include "app/KeyMapping.h"
#include "sound/SoundTable.h"
#include "stroke/StrokeScheduler.h"

#include "tests/support/ArchiveTestSupport.h"
#include "tests/support/SoundTestSupport.h"

#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <thread>

namespace {

// Initial-exec TLS of the executable: reading it never allocates (MinGW's
// emulated TLS takes its block from malloc, which Windows does not count).
thread_local bool counting = false;
thread_local long allocations = 0;

void Note()
{
    if (counting)
        ++allocations;
}

}  // namespace

void* operator new(std::size_t size)
{
    Note();
    if (void* p = std::malloc(size != 0 ? size : 1))
        return p;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

// What these take back, the new above took from malloc (GCC, inlining them on
// Windows, sees only a pointer from operator new going to free).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete[](void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

#pragma GCC diagnostic pop

// GCC names a sanitizer build by a macro, clang by a feature.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SANITIZER_OWNS_MALLOC 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SANITIZER_OWNS_MALLOC 1
#endif
#endif

#if !defined(SANITIZER_OWNS_MALLOC) && !defined(_WIN32)
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void __libc_free(void* p);

void* malloc(std::size_t size) noexcept
{
    Note();
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) noexcept
{
    Note();
    return __libc_calloc(count, size);
}

void* realloc(void* p, std::size_t size) noexcept
{
    Note();
    return __libc_realloc(p, size);
}

void free(void* p) noexcept
{
    __libc_free(p);
}
}
#endif

namespace {

// A folder with a sample of the given frames for each of the identifiers 0
// to count - 1 and the table naming them.
void WriteBank(const TempFolder& temp, int count, int frames)
{
    std::string csv;
    for (int id = 0; id < count; ++id) {
        temp.Write("se/s" + std::to_string(id) + ".wav", SoundTest::MakeWav(frames, id + 1));
        csv += std::to_string(id) + ",s" + std::to_string(id) + ".wav\n";
    }
    temp.Write("se.csv", csv);
}

TEST(PlayPathAllocationTest, FindAndPlayAllocateNothing)
{
    TempFolder temp;
    WriteBank(temp, 12, 4000);
    SoundTest::CurrentFolder here(temp.Path());
    SoundTable table;
    ASSERT_TRUE(table.ReadTable("se.csv"));
    ASSERT_EQ(table.LoadAll(), 12);

    // More plays than channels: free channels first, then channel 0 taken
    // over; unknown identifiers are looked up too.
    int played = 0;
    int found = 0;
    counting = true;
    for (int round = 0; round < 200; ++round) {
        for (int id = -2; id < 14; ++id) {
            if (Mivo::Chunk* const* chunk = table.Find(id); chunk != nullptr && *chunk != nullptr) {
                ++found;
                if ((*chunk)->Play(0, -1) >= 0)
                    ++played;
            }
        }
    }
    counting = false;
    Mix_HaltChannel(-1);

    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(found, 200 * 12);
    EXPECT_EQ(played, found);
}

// Chords, effects and cuts as the window hands its keys over, the first key
// included: the program asks for its timer period at start, which readies
// the timer thread. Its strings then start on the timer thread, which the
// previous test covers.
TEST(PlayPathAllocationTest, KeysFromTheirHandlingToTheMixerAllocateNothing)
{
    TempFolder temp;
    WriteBank(temp, 41, 44100);  // two seconds: still sounding when looked at
    SoundTest::CurrentFolder here(temp.Path());
    SoundTable table;
    ASSERT_TRUE(table.ReadTable("se.csv"));
    ASSERT_EQ(table.LoadAll(), 41);
    TheSoundTable = &table;
    ASSERT_EQ(timeBeginPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));

    int sounding = 0;
    counting = true;
    for (int round = 0; round < 5; ++round) {
        for (WPARAM key : {WPARAM{'C'}, WPARAM{'1'}, WPARAM{'G'}}) {
            HandleKeyDown(key, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
            sounding += Mix_Playing(-1) > 0;
        }
        HandleKeyDown(VK_SPACE, 0);
    }
    counting = false;
    CancelPendingNotes();
    TheSoundTable = nullptr;

    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(sounding, 15);
}

}  // namespace
