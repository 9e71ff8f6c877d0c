// MappedFile, FileMapping and ViewOfFile on real files in a temp folder.

#include "files/FileMapping.h"
#include "files/MappedFile.h"
#include "files/ViewOfFile.h"
#include "tests/support/System.h"
#include "tests/support/UnwritableFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr DWORD Granularity = 65536;

unsigned char Expected(std::size_t i)
{
    return static_cast<unsigned char>(i * 13 % 251);
}

class MappedFiles : public ::testing::Test {
protected:
    MappedFiles() : folder(test_system::MakeTempFolder("strumkey-mapped-")) {}
    ~MappedFiles() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    // Writes n bytes (byte i = Expected(i)) and returns the file's Windows path.
    std::string MakeFile(const std::string& name, std::size_t n)
    {
        std::string bytes(n, '\0');
        for (std::size_t i = 0; i < n; ++i)
            bytes[i] = static_cast<char>(Expected(i));
        std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
        return test_system::WindowsPathOf(folder + "/" + name);
    }

    std::string folder;
};

TEST_F(MappedFiles, MappedFileMapsTheWholeFile)
{
    const std::size_t n = 2 * Granularity + 3;
    const std::string path = MakeFile("whole.bin", n);
    Mivo::MappedFile file;
    ASSERT_TRUE(file.Open(path.c_str()));
    ASSERT_EQ(file.Size(), n);
    ASSERT_NE(file.Base(), nullptr);
    for (std::size_t i : {std::size_t{0}, std::size_t{Granularity}, n - 1})
        EXPECT_EQ(file.Base()[i], Expected(i)) << i;

    file.Close();
    EXPECT_EQ(file.Base(), nullptr);
    file.Close();  // harmless twice
}

TEST_F(MappedFiles, EmptyFileOpensOnlyAsMappedFile)
{
    const std::string path = MakeFile("empty.bin", 0);
    Mivo::MappedFile file;
    ASSERT_TRUE(file.Open(path.c_str()));
    EXPECT_EQ(file.Size(), 0u);
    EXPECT_EQ(file.Base(), nullptr);
    file.Close();

    Mivo::FileMapping mapping;
    EXPECT_FALSE(mapping.Open(path.c_str()));
    EXPECT_EQ(mapping.Map(0, 0), nullptr);
}

TEST_F(MappedFiles, HeldFilesCannotBeOpenedTwice)
{
    const std::string path = MakeFile("held.bin", 10);
    {
        Mivo::MappedFile first, second;
        ASSERT_TRUE(first.Open(path.c_str()));
        EXPECT_FALSE(second.Open(path.c_str()));
        Mivo::FileMapping mapping;
        EXPECT_FALSE(mapping.Open(path.c_str()));
    }
    {
        Mivo::FileMapping first, second;
        ASSERT_TRUE(first.Open(path.c_str()));
        EXPECT_FALSE(second.Open(path.c_str()));
        first.Close();
        EXPECT_TRUE(second.Open(path.c_str()));  // released by Close
    }
    // ...and by the destructors.
    Mivo::MappedFile again;
    EXPECT_TRUE(again.Open(path.c_str()));
}

// Data in a folder its reader cannot write belongs to an installed copy that
// everyone may run at once: it is read without holding it.
TEST_F(MappedFiles, FilesInAFolderThatCannotBeWrittenAreShared)
{
#ifdef _WIN32
    GTEST_SKIP() << NoUnwritableFolders;
#else
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    const std::string path = MakeFile("shared.bin", 10);
    EXPECT_TRUE(CheckWithoutWriteAccess(folder, [&] {
        Mivo::MappedFile mapped, again;
        Mivo::FileMapping mapping, another;
        return mapped.Open(path.c_str()) && again.Open(path.c_str()) && mapping.Open(path.c_str()) &&
               another.Open(path.c_str()) && mapped.Size() == 10 && another.Size() == 10;
    }));
    // The folder can be written again: the probe left nothing behind, and
    // the file is held once more.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
    Mivo::MappedFile first, second;
    ASSERT_TRUE(first.Open(path.c_str()));
    EXPECT_FALSE(second.Open(path.c_str()));
#endif
}

TEST_F(MappedFiles, ReopeningReleasesThePreviousFile)
{
    const std::string a = MakeFile("a.bin", 5);
    const std::string b = MakeFile("b.bin", 7);
    Mivo::MappedFile file;
    ASSERT_TRUE(file.Open(a.c_str()));
    ASSERT_TRUE(file.Open(b.c_str()));
    EXPECT_EQ(file.Size(), 7u);
    Mivo::MappedFile other;
    EXPECT_TRUE(other.Open(a.c_str()));

    EXPECT_FALSE(file.Open((a + ".missing").c_str()));
    EXPECT_EQ(file.Base(), nullptr);
    EXPECT_TRUE(other.Open(b.c_str()));  // the failed Open let go of b.bin
}

TEST_F(MappedFiles, MapHandsOutAnyOffset)
{
    const std::size_t n = 3 * Granularity + 100;
    Mivo::FileMapping mapping;
    ASSERT_TRUE(mapping.Open(MakeFile("archive.bin", n).c_str()));
    EXPECT_EQ(mapping.Size(), n);

    struct Case {
        DWORD offset, length, delta;
    } cases[] = {
        {0, 10, 0},
        {5, 10, 5},
        {Granularity - 1, 2, Granularity - 1},  // straddles a boundary
        {Granularity, 10, 0},
        {2 * Granularity + 12345, 10, 12345},
        {static_cast<DWORD>(n - 10), 10, static_cast<DWORD>(n - 10 - 3 * Granularity)},  // the last bytes
    };
    for (const Case& c : cases) {
        std::shared_ptr<Mivo::ViewOfFile> view = mapping.Map(c.offset, c.length);
        ASSERT_NE(view, nullptr) << c.offset;
        EXPECT_EQ(view->Offset(), c.offset);
        EXPECT_EQ(view->Size(), c.length);
        EXPECT_EQ(view->Data(), view->Base() + c.delta) << c.offset;
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(view->Base()) % 4096, 0u);
        for (DWORD i = 0; i < c.length; ++i)
            ASSERT_EQ(view->Data()[i], Expected(c.offset + i)) << c.offset << "+" << i;
        // Base is the granularity boundary at or below the offset.
        EXPECT_EQ(view->Base()[0], Expected(c.offset - c.delta));
    }
}

TEST_F(MappedFiles, MapWithLengthZero)
{
    const std::size_t n = Granularity + 50;
    Mivo::FileMapping mapping;
    ASSERT_TRUE(mapping.Open(MakeFile("zero.bin", n).c_str()));

    auto whole = mapping.Map(0, 0);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->Size(), n);
    EXPECT_EQ(whole->Data()[n - 1], Expected(n - 1));

    for (DWORD offset : {DWORD{7}, Granularity, Granularity + 49}) {
        auto empty = mapping.Map(offset, 0);
        ASSERT_NE(empty, nullptr) << offset;
        EXPECT_EQ(empty->Size(), 0u);
        EXPECT_EQ(empty->Offset(), offset);
        EXPECT_EQ(empty->Data(), empty->Base() + offset % Granularity);
    }
}

TEST_F(MappedFiles, RangesBeyondTheFileAreRefused)
{
    const std::size_t n = Granularity + 50;
    Mivo::FileMapping mapping;
    ASSERT_TRUE(mapping.Open(MakeFile("short.bin", n).c_str()));

    struct Case {
        DWORD offset, length;
    } cases[] = {
        {0, static_cast<DWORD>(n + 1)},
        {Granularity + 40, 11},
        {2 * Granularity, 1},
        {2 * Granularity, 0},
        {Granularity + 40, 0xFFFFFFFF},  // would wrap in 32 bits
        {0xFFFFFFF0, 0x20},
    };
    for (const Case& c : cases)
        EXPECT_EQ(mapping.Map(c.offset, c.length), nullptr) << c.offset << "+" << c.length;

    Mivo::ViewOfFile failed(nullptr, 0, 10);
    EXPECT_EQ(failed.Base(), nullptr);
    EXPECT_EQ(failed.Data(), nullptr);
    EXPECT_EQ(failed.Offset(), 0u);
    EXPECT_EQ(failed.Size(), 0u);

    mapping.Close();
    EXPECT_EQ(mapping.Map(0, 10), nullptr);
}

TEST_F(MappedFiles, ViewsOutliveTheirMapping)
{
    Mivo::FileMapping mapping;
    const std::string path = MakeFile("outlive.bin", 300);
    ASSERT_TRUE(mapping.Open(path.c_str()));
    auto view = mapping.Map(100, 200);
    ASSERT_NE(view, nullptr);
    mapping.Close();
    EXPECT_EQ(view->Data()[199], Expected(299));

    // The view still holds the file; letting go of it frees the file. (On
    // Windows a file is held by its handles alone, which Close closed.)
    Mivo::MappedFile file;
#ifndef _WIN32
    EXPECT_FALSE(file.Open(path.c_str()));
#endif
    view.reset();
    EXPECT_TRUE(file.Open(path.c_str()));
}

}  // namespace
