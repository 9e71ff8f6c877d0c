// The play path (SoundTable::Find and Chunk::Play) allocates nothing: every
// allocation made by this thread is counted while it runs, through operator
// new and, outside the address and thread sanitizers (which own malloc),
// malloc itself.

#include "sound/SoundTable.h"

#include "../files/ArchiveTestSupport.h"
#include "SoundTestSupport.h"

#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {

// Initial-exec TLS of the executable: reading it never allocates.
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

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
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

TEST(PlayPathAllocationTest, FindAndPlayAllocateNothing)
{
    ArchiveTest::TempFolder temp;
    std::string csv;
    for (int id = 0; id < 12; ++id) {
        temp.Write("se/s" + std::to_string(id) + ".wav", SoundTest::MakeWav(4000, id + 1));
        csv += std::to_string(id) + ",s" + std::to_string(id) + ".wav\n";
    }
    temp.Write("se.csv", csv);
    SoundTest::CurrentFolder here(temp.Unix());
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

}  // namespace
