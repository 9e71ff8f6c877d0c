// ZipReader and LocalFile: archives made by real zip clients (Debian's zip at
// run time, Python's zipfile as a committed fixture), hand-made bytes for what
// clients never write, and truncated and randomly damaged archives, none of
// which may be read outside its bounds.

#include "files/Paths.h"
#include "files/ZipReader.h"

#include "tests/support/ArchiveTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

using namespace ArchiveTest;

namespace {

// Reads the member to its end in small steps; a damaged size cannot make
// this read more than the archive holds.
std::string ReadAll(Mivo::LocalFile& file)
{
    std::string out;
    char chunk[97];
    while (DWORD n = file.Read(chunk, sizeof chunk))
        out.append(chunk, n);
    return out;
}

std::string Pattern(std::size_t n, unsigned seed)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 31 + seed) % 251);
    return s;
}

// The member's bytes as the archive's own local header places them.
std::string LocalData(const std::string& archive, std::size_t header)
{
    const std::size_t start = header + 30 + GetLe16(archive, header + 26) + GetLe16(archive, header + 28);
    return archive.substr(start, GetLe32(archive, header + 18));
}

class ZipReaderTest : public ::testing::Test {
protected:
    // Writes the bytes as a file of the temp folder and opens the reader on it.
    bool Open(Mivo::ZipReader& reader, const std::string& bytes, const std::string& name = "a.zip")
    {
        temp.Write(name, bytes);
        return reader.Open(temp.Windows(name).c_str());
    }

    std::string Member(Mivo::ZipReader& reader, const char* name)
    {
        auto file = reader.OpenEntry(name);
        return file ? ReadAll(*file) : "<missing>";
    }

    TempFolder temp;
};

TEST_F(ZipReaderTest, DebianZipStoredMembersAndNames)
{
    if (!HaveZip())
        GTEST_SKIP() << ZipCannotRun;
    const std::string readme = "Read me\r\n";
    const std::string clip = Pattern(3000, 1);
    const std::string big = Pattern(70000, 2);  // its view crosses a 64 KB boundary
    temp.Write("Readme.TXT", readme);
    temp.Write("sub/Clip.WAV", clip);
    temp.Write("big.bin", big);
    ASSERT_TRUE(RunZip(temp.Path(), "-0 -X stored.zip Readme.TXT sub sub/Clip.WAV big.bin"));

    Mivo::ZipReader reader;
    ASSERT_TRUE(reader.Open(temp.Windows("stored.zip").c_str()));
    EXPECT_STREQ(reader.Name().Text(), temp.Windows("stored.zip").c_str());
    std::vector<std::string> names;
    for (const auto& e : reader.Entries())
        names.push_back(e.name.Text());
    EXPECT_EQ(names, (std::vector<std::string>{"Readme.TXT", "sub", "sub\\Clip.WAV", "big.bin"}));

    EXPECT_EQ(Member(reader, "readme.txt"), readme);
    EXPECT_EQ(Member(reader, "README.TXT"), readme);
    EXPECT_EQ(Member(reader, "sub\\clip.wav"), clip);
    EXPECT_EQ(Member(reader, "SUB\\CLIP.WAV"), clip);
    EXPECT_EQ(Member(reader, "big.bin"), big);
    for (const char* missing : {"sub/clip.wav", "sub/Clip.WAV", "Clip.WAV", "sub\\", "", "big.bi"})
        EXPECT_EQ(reader.OpenEntry(missing), nullptr) << missing;

    // The directory entry sub/ is indexed as sub, with nothing to read.
    auto folder = reader.OpenEntry("sub");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->Size(), 0u);
    char byte;
    EXPECT_EQ(folder->Read(&byte, 1), 0u);
    for (int origin : {0, 1, 2}) {
        EXPECT_TRUE(folder->Seek(5, origin));
        EXPECT_EQ(folder->Tell(), 0u);
    }
    // A member's reader shares the archive: it reads on after the reader closes.
    auto kept = reader.OpenEntry("sub\\clip.wav");
    reader.Close();
    EXPECT_TRUE(reader.Entries().empty());
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(ReadAll(*kept), clip);
}

TEST_F(ZipReaderTest, DebianZipDeflatedMemberIsServedAsItsCompressedBytes)
{
    if (!HaveZip())
        GTEST_SKIP() << ZipCannotRun;
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "strum the chord\n";
    temp.Write("text.txt", text);
    ASSERT_TRUE(RunZip(temp.Path(), "-9 -X deflated.zip text.txt"));
    const std::string archive = ReadUnixFile(temp.Path() + "/deflated.zip");

    Mivo::ZipReader reader;
    ASSERT_TRUE(reader.Open(temp.Windows("deflated.zip").c_str()));
    auto file = reader.OpenEntry("text.txt");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Entry().method, 8);
    EXPECT_EQ(file->Entry().uncompressedSize, text.size());
    EXPECT_LT(file->Size(), text.size());
    EXPECT_EQ(ReadAll(*file), LocalData(archive, 0));
}

TEST_F(ZipReaderTest, DebianZipArchiveCommentWithASignatureInIt)
{
    if (!HaveZip())
        GTEST_SKIP() << ZipCannotRun;
    temp.Write("a.txt", "alpha");
    // The comment holds an end record signature whose size test fails.
    ASSERT_TRUE(RunZip(temp.Path(), "-0 -X -z c.zip a.txt", std::string("Strum\nPK\x05\x06 not a record\n")));
    Mivo::ZipReader reader;
    ASSERT_TRUE(reader.Open(temp.Windows("c.zip").c_str()));
    EXPECT_EQ(Member(reader, "a.txt"), "alpha");
}

// zip writes extra fields by default, longer in the local header than in the
// central directory. The reader never reads local headers, so such a member is
// served from the offset the central entry implies: a few bytes early. The
// program's own archives carry no extra fields.
TEST_F(ZipReaderTest, DebianZipDefaultExtraFieldsShiftTheMember)
{
    if (!HaveZip())
        GTEST_SKIP() << ZipCannotRun;
    const std::string content = "0123456789abcdef";
    temp.Write("x.txt", content);
    ASSERT_TRUE(RunZip(temp.Path(), "-0 plain.zip x.txt"));
    const std::string archive = ReadUnixFile(temp.Path() + "/plain.zip");
    const std::size_t central = archive.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    const int localExtra = GetLe16(archive, 28);
    const int centralExtra = GetLe16(archive, central + 30);
    ASSERT_GT(localExtra, centralExtra) << "zip no longer writes differing extra fields";
    const std::size_t shift = localExtra - centralExtra;

    Mivo::ZipReader reader;
    ASSERT_TRUE(reader.Open(temp.Windows("plain.zip").c_str()));
    const std::string served = Member(reader, "x.txt");
    ASSERT_EQ(served.size(), content.size());
    EXPECT_EQ(served.substr(shift), content.substr(0, content.size() - shift));
    EXPECT_EQ(served, archive.substr(30 + 5 + centralExtra, content.size()));
}

TEST_F(ZipReaderTest, PythonZipfileFixture)
{
    const std::string archive = ReadUnixFile(STRUMKEY_ZIP_FIXTURES "/python.zip");
    ASSERT_FALSE(archive.empty());
    Mivo::ZipReader reader;
    ASSERT_TRUE(Open(reader, archive, "python.zip"));

    ASSERT_EQ(reader.Entries().size(), 4u);
    EXPECT_STREQ(reader.Entries()[1].name.Text(), "Folder");
    EXPECT_EQ(reader.Entries()[1].compressedSize, 0u);
    EXPECT_EQ(reader.Entries()[0].externalAttributes >> 16, 0644u);
    EXPECT_EQ(Member(reader, "README.TXT"), "Hello from zipfile\r\n");
    std::string bytes(256, '\0');
    for (int i = 0; i < 256; ++i)
        bytes[i] = static_cast<char>(i);
    EXPECT_EQ(Member(reader, "folder\\bytes.bin"), bytes);
    EXPECT_EQ(reader.OpenEntry("Folder/Bytes.BIN"), nullptr);

    auto packed = reader.OpenEntry("packed.txt");
    ASSERT_NE(packed, nullptr);
    EXPECT_EQ(packed->Entry().method, 8);
    EXPECT_EQ(packed->Size(), 15u);
    EXPECT_EQ(ReadAll(*packed), LocalData(archive, archive.find("packed.txt") - 30));
}

TEST_F(ZipReaderTest, RecordsTheCentralEntryFields)
{
    HandArchive hand;
    hand.members = {{.name = "a.txt", .data = "alpha", .comment = "entry note", .method = 99}};
    Mivo::ZipReader reader;
    ASSERT_TRUE(Open(reader, hand.Build()));
    const Mivo::ZipEntry& e = reader.Entries().at(0);
    EXPECT_EQ(e.dataOffset, 35u);
    EXPECT_EQ(e.method, 99);  // recorded, not consulted
    EXPECT_EQ(e.externalAttributes, 0x81A40000u);
    EXPECT_EQ(e.versionMadeBy, 0x031E);
    EXPECT_EQ(std::string(e.comment.begin(), e.comment.end()), "entry note");
    EXPECT_EQ(Member(reader, "a.txt"), "alpha");
    // Stored as local time 2020-05-17 12:34:56: UTC lies within 14 hours.
    const std::int64_t ticks = std::int64_t{e.modified.dwHighDateTime} << 32 | e.modified.dwLowDateTime;
    const std::int64_t utc = 13234192496LL * 10000000LL;  // 2020-05-17 12:34:56 UTC, counted from 1601
    EXPECT_LE(std::llabs(ticks - utc), 14LL * 3600 * 10000000LL);
}

HandArchive OneMember()
{
    HandArchive hand;
    hand.members = {{.name = "a.txt", .data = "alpha"}};
    return hand;
}

TEST_F(ZipReaderTest, RefusesWhatIsNotAWholeArchive)
{
    const std::string valid = OneMember().Build();
    auto with = [](auto change) {
        HandArchive hand = OneMember();
        change(hand);
        return hand.Build();
    };
    std::string tailAtStart = "PK\x03\x04" + std::string(70000 - 4, '\0');
    tailAtStart.replace(70000 - 65557, 4, "PK\x05\x06");  // first byte of the tail, comment length 0
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"prefix before the first local header", with([](HandArchive& h) { h.prefix = "junk"; })},
        {"byte after the comment", with([](HandArchive& h) { h.comment = "c", h.trailing = "x"; })},
        {"byte after the end record", with([](HandArchive& h) { h.trailing = "x"; })},
        {"comment length one too long", valid.substr(0, valid.size() - 2) + Le16(1)},
        {"no end record", valid.substr(0, valid.size() - 22)},
        {"entry runs past the directory", with([](HandArchive& h) { h.directorySize = 46 + 5 - 1; })},
        {"second entry past the directory's end",  // though a whole entry follows it
         with([](HandArchive& h) {
             h.members.push_back({.name = "b.txt", .data = "bravo"}), h.directorySize = 46 + 5;
         })},
        {"more entries counted than the directory holds", with([](HandArchive& h) { h.count = 2; })},
        // The directory view ends on a page end, where reading on may fault.
        {"second entry header after a directory that ends a page", with([](HandArchive& h) {
             h.members[0].data = std::string(4096 - 46 - 5 - 35, 'd');
             h.count = 2;
         })},
        {"entry name after a directory that ends a page", with([](HandArchive& h) {
             h.members[0].data = std::string(4096 - 46 - 35, 'd');
             h.directorySize = 46;
         })},
        {"entry without its signature", with([](HandArchive& h) { h.directoryOffset = 0; })},
        {"directory beyond the file", with([](HandArchive& h) { h.directoryOffset = 0x7FFFFF00; })},
        {"end record only at the tail's first byte, failing the size test", tailAtStart},
        {"empty file", ""},
        {"21 bytes", valid.substr(0, 21)},
        {"22 bytes", "PK\x03\x04" + std::string(18, '\0')},
        {"22 bytes of end record", valid.substr(valid.size() - 22)},
    };
    for (const Case& c : cases) {
        Mivo::ZipReader reader;
        EXPECT_FALSE(Open(reader, c.bytes)) << c.what;
        EXPECT_TRUE(reader.Name().IsEmpty()) << c.what;
        EXPECT_TRUE(reader.Entries().empty()) << c.what;
    }
    Mivo::ZipReader reader;
    EXPECT_FALSE(reader.Open(temp.Windows("missing.zip").c_str()));
    EXPECT_FALSE(reader.Open(temp.Windows().c_str()));  // a folder
    EXPECT_TRUE(Open(reader, valid));
}

TEST_F(ZipReaderTest, FindsTheEndRecordBehindAnyComment)
{
    const std::string big = Pattern(70000, 3);
    const std::string fakeRecord = "PK\x05\x06" + std::string(16, '\0') + Le16(0);
    std::string signatures;
    while (signatures.size() + 4 <= 65535)
        signatures += "PK\x05\x06";
    signatures += std::string(65535 - signatures.size(), 'z');
    struct Case {
        const char* what;
        std::string comment;
        std::string data;
    } cases[] = {
        {"longest comment, record on the tail's first byte", std::string(65535, 'c'), "alpha"},
        {"longest comment made of signatures", signatures, "alpha"},
        {"comment holding an end record", "note " + fakeRecord + " and more", "alpha"},
        {"big member, no comment", "", big},
        {"big member, comment", "note", big},
    };
    for (const Case& c : cases) {
        HandArchive hand;
        hand.members = {{.name = "m.bin", .data = c.data}};
        hand.comment = c.comment;
        Mivo::ZipReader reader;
        ASSERT_TRUE(Open(reader, hand.Build())) << c.what;
        EXPECT_EQ(Member(reader, "m.bin"), c.data) << c.what;
    }
}

TEST_F(ZipReaderTest, EntryCountOf32768OrMoreGivesAnEmptyIndex)
{
    for (std::uint16_t count : {0x8000, 0xFFFF}) {
        HandArchive hand = OneMember();
        hand.count = count;
        Mivo::ZipReader reader;
        ASSERT_TRUE(Open(reader, hand.Build())) << count;
        EXPECT_TRUE(reader.Entries().empty());
        EXPECT_EQ(reader.OpenEntry("a.txt"), nullptr);
    }
}

TEST_F(ZipReaderTest, MemberOutsideTheFileOpensButCannotBeRead)
{
    struct Case {
        const char* what;
        std::optional<std::uint32_t> offset;
        std::optional<std::uint32_t> size;
    } cases[] = {
        {"offset past the file", 0x100000, {}},
        {"size past the file", {}, 0x7FFFFFFF},
        {"size reaching 4 GB", {}, 0xFFFFFFFF},
        {"offset that wraps around 32 bits into the file", 0xFFFFFFF0, {}},
        {"data running one byte past the file", {}, 5 + 46 + 5 + 22 + 1},
    };
    for (const Case& c : cases) {
        HandArchive hand;
        hand.members = {{.name = "a.txt", .data = "alpha", .localOffset = c.offset, .size = c.size}};
        Mivo::ZipReader reader;
        ASSERT_TRUE(Open(reader, hand.Build())) << c.what;
        auto file = reader.OpenEntry("a.txt");
        ASSERT_NE(file, nullptr) << c.what;
        EXPECT_EQ(file->Size(), c.size.value_or(5)) << c.what;
        char buffer[16];
        EXPECT_EQ(file->Read(buffer, sizeof buffer), 0u) << c.what;
        EXPECT_FALSE(file->Seek(0, 0)) << c.what;
        EXPECT_EQ(file->EnsureView(), nullptr) << c.what;
        EXPECT_EQ(file->Tell(), 0u) << c.what;
    }
    // Data that ends exactly with the file is readable.
    HandArchive hand;
    hand.members = {{.name = "a.txt", .data = "alpha", .size = 5 + 46 + 5 + 22}};
    const std::string archive = hand.Build();
    Mivo::ZipReader reader;
    ASSERT_TRUE(Open(reader, archive));
    EXPECT_EQ(Member(reader, "a.txt"), archive.substr(35));
}

TEST_F(ZipReaderTest, NamesAreNormalisedAndTheFirstDuplicateWins)
{
    HandArchive hand;
    hand.members = {
        {.name = "a.txt", .data = "first"},   {.name = "/A.TXT", .data = "second"},
        {.name = "/top/x", .data = "top"},    {.name = "dir/", .data = ""},
        {.name = "//share", .data = "share"}, {.name = std::string("n\0hidden", 8), .data = "cut"},
    };
    Mivo::ZipReader reader;
    ASSERT_TRUE(Open(reader, hand.Build()));
    std::vector<std::string> names;
    for (const auto& e : reader.Entries())
        names.push_back(e.name.Text());
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "A.TXT", "top\\x", "dir", "\\\\share", "n"}));
    EXPECT_EQ(Member(reader, "A.txt"), "first");
    EXPECT_EQ(Member(reader, "top\\x"), "top");
    // The name stops at its NUL, but the data still follows all its bytes.
    EXPECT_EQ(Member(reader, "n"), "cut");
}

// Lookups go through an index; they must answer exactly as a scan of the
// directory in order would, for names that differ only in case (ASCII and
// full-width), in a trail byte that looks like a separator or a letter, or in
// a lead byte cut off by the end of the name.
TEST_F(ZipReaderTest, IndexedLookupAgreesWithADirectoryScan)
{
    const std::vector<std::string> stored = {
        "Bank/Hit.wav",
        "bank/hit.WAV",
        "\x82\x60\x82\x61.wav",
        "\x82\x81\x82\x82.wav",
        "\x83\x5c.wav",
        "\x83\x5c\x83\x5c",
        "dir/\x95\x5c",
        "a\x81",
        "A\x81",
        "x/y",
        "x\\y",
        "",
        "\x83\x9f",
        "\x83\xbf",
        "\x82\xa0",
        "hit.wav",
    };
    HandArchive hand;
    for (std::size_t i = 0; i < stored.size(); ++i)
        hand.members.push_back({.name = stored[i], .data = "member" + std::to_string(i)});
    Mivo::ZipReader reader;
    ASSERT_TRUE(Open(reader, hand.Build()));

    std::vector<std::string> probes = {
        "BANK\\HIT.WAV",
        "bank/hit.wav",
        "\x82\x81\x82\x82.WAV",
        "\x82\x60\x82\x61.wav",
        "\x83\x5c.WAV",
        "\x83\x7c.wav",
        "DIR\\\x95\x5c",
        "A\x81",
        "a\x81",
        "x\\y",
        "X/Y",
        "",
        "\x83\x9f",
        "\x83\xbf",
        "\x82\xa0",
        "\x82\xa1",
        "missing",
        "HIT.WAV",
    };
    for (const auto& entry : reader.Entries())
        probes.push_back(entry.name.Text());
    for (const std::string& probe : probes) {
        const Mivo::ZipEntry* scanned = nullptr;
        for (const auto& entry : reader.Entries())
            if (Mivo::ComparePath(entry.name.Text(), probe.c_str()) == 0) {
                scanned = &entry;
                break;
            }
        const auto found = reader.OpenEntry(probe.c_str());
        EXPECT_EQ(found ? &found->Entry() : nullptr, scanned) << probe;
    }
}

TEST_F(ZipReaderTest, DataOffsetComesFromTheCentralEntryAlone)
{
    HandArchive hand;
    hand.members = {{.name = "a.txt", .data = "alpha", .localExtra = "EXTRA123"},
                    {.name = "b.txt", .data = "bravo", .centralExtra = "ABCD"}};
    const std::string archive = hand.Build();
    Mivo::ZipReader reader;
    ASSERT_TRUE(Open(reader, archive));
    EXPECT_EQ(Member(reader, "a.txt"), "EXTRA");
    const std::size_t b = archive.find("PK\x03\x04", 4);
    EXPECT_EQ(Member(reader, "b.txt"), archive.substr(b + 30 + 5 + 4, 5));
}

TEST_F(ZipReaderTest, SeekAndReadStayOnTheMembersBytes)
{
    HandArchive hand;
    hand.members = {{.name = "d", .data = "0123456789"}, {.name = "empty", .data = ""}};
    Mivo::ZipReader reader;
    ASSERT_TRUE(Open(reader, hand.Build()));

    struct Step {
        LONG offset;
        int origin;
        bool ok;
        DWORD tell;
        const char* rest;  // what a following read of 4 bytes gives
    } steps[] = {
        {0, 2, true, 9, "9"},       {-3, 2, true, 6, "6789"}, {100, 0, true, 9, "9"},  {5, 2, true, 9, "9"},
        {-100, 1, true, 0, "0123"}, {-1, 0, true, 0, "0123"}, {2, 1, true, 6, "6789"}, {0, 3, false, 10, ""},
    };
    auto file = reader.OpenEntry("d");
    EXPECT_EQ(file->Tell(), 0u);
    for (const Step& s : steps) {
        EXPECT_EQ(file->Seek(s.offset, s.origin), s.ok) << s.offset << "/" << s.origin;
        EXPECT_EQ(file->Tell(), s.tell) << s.offset << "/" << s.origin;
        char buffer[4];
        const DWORD n = file->Read(buffer, 4);
        EXPECT_EQ(std::string(buffer, n), s.rest) << s.offset << "/" << s.origin;
    }

    auto empty = reader.OpenEntry("empty");
    for (int origin : {0, 1, 2}) {
        EXPECT_TRUE(empty->Seek(0, origin));
        EXPECT_EQ(empty->Tell(), 0u);
        char buffer[4];
        EXPECT_EQ(empty->Read(buffer, 4), 0u);
    }
}

TEST_F(ZipReaderTest, ReopensOnAnotherArchive)
{
    Mivo::ZipReader reader;
    ASSERT_TRUE(Open(reader, OneMember().Build(), "one.zip"));
    HandArchive other;
    other.members = {{.name = "b.txt", .data = "bravo"}};
    ASSERT_TRUE(Open(reader, other.Build(), "two.zip"));
    EXPECT_STREQ(reader.Name().Text(), temp.Windows("two.zip").c_str());
    EXPECT_EQ(reader.OpenEntry("a.txt"), nullptr);
    EXPECT_EQ(Member(reader, "b.txt"), "bravo");
    // The first archive was let go.
    Mivo::ZipReader again;
    EXPECT_TRUE(again.Open(temp.Windows("one.zip").c_str()));
    EXPECT_FALSE(Open(reader, "not a zip", "three.zip"));  // Windows keeps two.zip from being written
    EXPECT_TRUE(reader.Name().IsEmpty());
}

// Opens the bytes and reads every member every way; only bounds are checked,
// the sanitizer build watches the rest.
void Exercise(Mivo::ZipReader& reader, std::size_t archiveSize)
{
    for (const Mivo::ZipEntry& entry : reader.Entries()) {
        auto file = reader.OpenEntry(entry.name.Text());
        ASSERT_NE(file, nullptr);
        EXPECT_LE(ReadAll(*file).size(), archiveSize);
        if (file->Seek(0, 2)) {
            EXPECT_LT(file->Tell(), std::max<DWORD>(file->Size(), 1));
            char buffer[8];
            EXPECT_LE(file->Read(buffer, sizeof buffer), 1u);
        }
    }
}

HandArchive ThreeMembers()
{
    HandArchive hand;
    hand.members = {{.name = "se/a.wav", .data = "alpha alpha"},
                    {.name = "dir/", .data = ""},
                    {.name = "b.bin", .data = Pattern(300, 4), .comment = "b"}};
    hand.comment = "archive note";
    return hand;
}

TEST_F(ZipReaderTest, EveryTruncationIsRefusedOrServedWithinBounds)
{
    HandArchive hand = ThreeMembers();
    // A comment that holds an end record of its own: cut right after it, the
    // archive looks whole again, with that record's numbers.
    const std::string real = hand.Build();
    const std::size_t record = real.size() - hand.comment.size() - 22;
    const std::uint32_t directorySize = GetLe32(real, record + 12);
    const std::uint32_t directoryOffset = GetLe32(real, record + 16);
    hand.comment = "x" + Le32(0x06054b50) + Le16(0) + Le16(0) + Le16(3) + Le16(3) + Le32(directorySize) +
                   Le32(directoryOffset) + Le16(0) + "yz";
    const std::string archive = hand.Build();
    std::vector<std::size_t> opened;
    for (std::size_t cut = 0; cut <= archive.size(); ++cut) {
        Mivo::ZipReader reader;
        if (Open(reader, archive.substr(0, cut), "cut.zip")) {
            opened.push_back(cut);
            EXPECT_EQ(reader.Entries().size(), 3u);
            Exercise(reader, cut);
        }
    }
    EXPECT_EQ(opened, (std::vector<std::size_t>{archive.size() - 2, archive.size()}));
}

TEST_F(ZipReaderTest, RandomByteFlipsNeverReadOutsideTheArchive)
{
    const std::string archive = ThreeMembers().Build();
    const std::size_t directory = archive.find("PK\x01\x02");
    std::mt19937 random(20240607);
    int opened = 0;
    for (int round = 0; round < 1500; ++round) {
        std::string damaged = archive;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i) {
            // Mostly the directory and end record, where the numbers are.
            const std::size_t from = random() % 4 ? directory : 0;
            const std::size_t at = from + random() % (archive.size() - from);
            const unsigned value = random() % 3 ? static_cast<unsigned>(random() % 256) : damaged[at] ^ 0x80u;
            damaged[at] = static_cast<char>(value);
        }
        Mivo::ZipReader reader;
        if (Open(reader, damaged, "fuzz.zip")) {
            ++opened;
            Exercise(reader, damaged.size());
        }
    }
    EXPECT_GT(opened, 0);
}

}  // namespace
