// Reading every member of an archive of 10,000 stored members by name: our
// ZipReader (index once with Open, then OpenEntry + Read per member) beside
// libzip (zip_open, then zip_fopen + zip_fread + zip_fclose per member).
//
// The archive is written once, at start, into a temp folder: members
// "n/00000.bin" .. "n/09999.bin" in that order, method 0, no extra fields, no
// comments, 1 to 4 KiB each of pseudo-random bytes (about 25 MB in all). Our
// index turns the names into "n\00000.bin" and so on; each side looks members
// up in directory order under its own spelling of the name.
//
// Each side is measured three ways, as a full pass and split into its parts:
//   Index    open and index the archive, then close it
//   OpenRead every member opened by name and read whole (archive already open)
//   Full     both, as a program reading the whole archive would
// Every read pass checksums the bytes and checks the sum against the one
// worked out while writing the archive. The summary at the end gives the
// median of the repetitions in ms per pass and our time over libzip's.
//
// Our reader holds the archive file exclusively while it lives, so no
// benchmark here keeps one alive past its own run.

#include "files/ZipReader.h"

#include <benchmark/benchmark.h>
#include <zip.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <stdlib.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr int Members = 10000;
constexpr std::size_t BufferSize = 8192;  // more than any member

// --- The archive ------------------------------------------------------------

std::uint32_t Crc32(const unsigned char* data, std::size_t size)
{
    static const std::vector<std::uint32_t> table = [] {
        std::vector<std::uint32_t> t(256);
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void Put16(std::string& out, std::uint16_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void Put32(std::string& out, std::uint32_t value)
{
    Put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    Put16(out, static_cast<std::uint16_t>(value >> 16));
}

// Folds one member into the running checksum: a sum of its 8-byte words and
// tail bytes, cheap enough not to hide the readers' own costs.
std::uint64_t Mix(std::uint64_t sum, const unsigned char* data, std::size_t size)
{
    std::uint64_t words = 0;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, data + i, sizeof word);
        words += word;
    }
    for (; i < size; ++i)
        words += std::uint64_t{data[i]} << (8 * (i % 8));
    return (sum ^ words ^ size) * 0x100000001B3ull;
}

struct Archive {
    std::string folder;
    std::string unixPath;
    std::string windowsPath;
    std::vector<std::string> zipNames;  // as stored, for libzip
    std::vector<std::string> ourNames;  // as our index keeps them
    std::uint64_t checksum = 0;
    std::size_t bytes = 0;
    bool ok = false;

    Archive()
    {
        std::string pattern = (fs::temp_directory_path() / "strumkey-zipbench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            return;
        folder = pattern;
        unixPath = folder + "/bench.dat";
        windowsPath = "Z:" + unixPath;
        std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');

        const std::uint16_t time = 12 << 11;                         // 12:00:00
        const std::uint16_t date = (2024 - 1980) << 9 | 1 << 5 | 1;  // 2024-01-01
        std::string out;
        std::string directory;
        std::uint64_t state = 0x9E3779B97F4A7C15ull;
        auto next = [&state] {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            return state;
        };
        std::vector<unsigned char> data;
        for (int i = 0; i < Members; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "n/%05d.bin", i);
            zipNames.push_back(name);
            std::string ours = name;
            std::replace(ours.begin(), ours.end(), '/', '\\');
            ourNames.push_back(ours);

            data.resize(1024 + next() % 3073);
            for (unsigned char& b : data)
                b = static_cast<unsigned char>(next() >> 24);
            checksum = Mix(checksum, data.data(), data.size());
            bytes += data.size();
            const std::uint32_t crc = Crc32(data.data(), data.size());
            const auto size = static_cast<std::uint32_t>(data.size());
            const auto nameLength = static_cast<std::uint16_t>(std::strlen(name));
            const auto offset = static_cast<std::uint32_t>(out.size());

            Put32(out, 0x04034b50);
            Put16(out, 10);  // version needed
            Put16(out, 0);   // flags
            Put16(out, 0);   // stored
            Put16(out, time);
            Put16(out, date);
            Put32(out, crc);
            Put32(out, size);
            Put32(out, size);
            Put16(out, nameLength);
            Put16(out, 0);  // no extra field
            out += name;
            out.append(reinterpret_cast<const char*>(data.data()), data.size());

            Put32(directory, 0x02014b50);
            Put16(directory, 0x031E);  // made by: Unix, 3.0
            Put16(directory, 10);
            Put16(directory, 0);
            Put16(directory, 0);
            Put16(directory, time);
            Put16(directory, date);
            Put32(directory, crc);
            Put32(directory, size);
            Put32(directory, size);
            Put16(directory, nameLength);
            Put16(directory, 0);  // extra field
            Put16(directory, 0);  // comment
            Put16(directory, 0);  // disk
            Put16(directory, 0);  // internal attributes
            Put32(directory, 0100644u << 16);
            Put32(directory, offset);
            directory += name;
        }
        const auto directoryOffset = static_cast<std::uint32_t>(out.size());
        out += directory;
        Put32(out, 0x06054b50);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, Members);
        Put16(out, Members);
        Put32(out, static_cast<std::uint32_t>(directory.size()));
        Put32(out, directoryOffset);
        Put16(out, 0);
        std::ofstream(unixPath, std::ios::binary | std::ios::trunc) << out;
        ok = fs::file_size(unixPath) == out.size();
    }

    ~Archive()
    {
        std::error_code ignored;
        if (!folder.empty())
            fs::remove_all(folder, ignored);
    }
};

// Written on first use, removed at exit.
const Archive& TheArchive()
{
    static const Archive archive;
    return archive;
}

// --- One pass of each part, for each side -----------------------------------
// Each returns false on any failure; the read passes return the checksum.

bool OursOpen(Mivo::ZipReader& reader, const Archive& archive)
{
    return reader.Open(archive.windowsPath.c_str()) && reader.Entries().size() == Members;
}

bool OursReadAll(const Mivo::ZipReader& reader, const Archive& archive, std::uint64_t& checksum)
{
    static unsigned char buffer[BufferSize];
    checksum = 0;
    for (const std::string& name : archive.ourNames) {
        auto member = reader.OpenEntry(name.c_str());
        if (!member)
            return false;
        std::size_t size = 0;
        for (DWORD n; (n = member->Read(buffer + size, BufferSize - size)) != 0;)
            size += n;
        checksum = Mix(checksum, buffer, size);
    }
    return true;
}

zip_t* LibzipOpen(const Archive& archive)
{
    int error = 0;
    zip_t* zip = zip_open(archive.unixPath.c_str(), ZIP_RDONLY, &error);
    if (zip && zip_get_num_entries(zip, 0) != Members) {
        zip_discard(zip);
        return nullptr;
    }
    return zip;
}

bool LibzipReadAll(zip_t* zip, const Archive& archive, std::uint64_t& checksum)
{
    static unsigned char buffer[BufferSize];
    checksum = 0;
    for (const std::string& name : archive.zipNames) {
        zip_file_t* member = zip_fopen(zip, name.c_str(), 0);
        if (!member)
            return false;
        std::size_t size = 0;
        for (zip_int64_t n; (n = zip_fread(member, buffer + size, BufferSize - size)) > 0;)
            size += static_cast<std::size_t>(n);
        const bool closed = zip_fclose(member) == 0;  // also reports a CRC mismatch
        if (!closed)
            return false;
        checksum = Mix(checksum, buffer, size);
    }
    return true;
}

// --- Benchmarks -------------------------------------------------------------

bool Ready(benchmark::State& state)
{
    if (!TheArchive().ok) {
        state.SkipWithError("the archive could not be written");
        return false;
    }
    return true;
}

void CheckSum(benchmark::State& state, bool read, std::uint64_t checksum)
{
    if (!read)
        state.SkipWithError("a member could not be opened or read");
    else if (checksum != TheArchive().checksum)
        state.SkipWithError("checksum mismatch");
}

void OursIndex(benchmark::State& state)
{
    if (!Ready(state))
        return;
    for (auto _ : state) {
        Mivo::ZipReader reader;
        if (!OursOpen(reader, TheArchive())) {
            state.SkipWithError("ZipReader::Open failed");
            break;
        }
        benchmark::DoNotOptimize(reader.Entries().data());
    }
}

void OursOpenRead(benchmark::State& state)
{
    if (!Ready(state))
        return;
    Mivo::ZipReader reader;
    if (!OursOpen(reader, TheArchive())) {
        state.SkipWithError("ZipReader::Open failed");
        return;
    }
    for (auto _ : state) {
        std::uint64_t checksum;
        const bool read = OursReadAll(reader, TheArchive(), checksum);
        CheckSum(state, read, checksum);
        benchmark::DoNotOptimize(checksum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheArchive().bytes));
}

void OursFull(benchmark::State& state)
{
    if (!Ready(state))
        return;
    for (auto _ : state) {
        Mivo::ZipReader reader;
        if (!OursOpen(reader, TheArchive())) {
            state.SkipWithError("ZipReader::Open failed");
            break;
        }
        std::uint64_t checksum;
        const bool read = OursReadAll(reader, TheArchive(), checksum);
        CheckSum(state, read, checksum);
        benchmark::DoNotOptimize(checksum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheArchive().bytes));
}

void LibzipIndex(benchmark::State& state)
{
    if (!Ready(state))
        return;
    for (auto _ : state) {
        zip_t* zip = LibzipOpen(TheArchive());
        if (!zip) {
            state.SkipWithError("zip_open failed");
            break;
        }
        zip_discard(zip);
    }
}

void LibzipOpenRead(benchmark::State& state)
{
    if (!Ready(state))
        return;
    zip_t* zip = LibzipOpen(TheArchive());
    if (!zip) {
        state.SkipWithError("zip_open failed");
        return;
    }
    for (auto _ : state) {
        std::uint64_t checksum;
        const bool read = LibzipReadAll(zip, TheArchive(), checksum);
        CheckSum(state, read, checksum);
        benchmark::DoNotOptimize(checksum);
    }
    zip_discard(zip);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheArchive().bytes));
}

void LibzipFull(benchmark::State& state)
{
    if (!Ready(state))
        return;
    for (auto _ : state) {
        zip_t* zip = LibzipOpen(TheArchive());
        if (!zip) {
            state.SkipWithError("zip_open failed");
            break;
        }
        std::uint64_t checksum;
        const bool read = LibzipReadAll(zip, TheArchive(), checksum);
        zip_discard(zip);
        CheckSum(state, read, checksum);
        benchmark::DoNotOptimize(checksum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheArchive().bytes));
}

void Register(const char* name, void (*function)(benchmark::State&))
{
    benchmark::RegisterBenchmark(name, function)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);
}

// --- Summary ----------------------------------------------------------------

// The console report as usual (coloured only on a terminal), keeping every
// repetition's real and CPU time per run.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter() : ConsoleReporter(::isatty(1) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& reports) override
    {
        for (const Run& run : reports)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                realTimes[run.run_name.function_name].push_back(run.GetAdjustedRealTime());
                cpuTimes[run.run_name.function_name].push_back(run.GetAdjustedCPUTime());
            }
        ConsoleReporter::ReportRuns(reports);
    }

    // Medians in ms per pass, or a negative number when the run is missing.
    double RealMedian(const std::string& name) const { return Median(realTimes, name); }
    double CpuMedian(const std::string& name) const { return Median(cpuTimes, name); }

private:
    using Times = std::map<std::string, std::vector<double>>;

    static double Median(const Times& times, const std::string& name)
    {
        auto found = times.find(name);
        if (found == times.end() || found->second.empty())
            return -1;
        std::vector<double> sorted = found->second;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t mid = sorted.size() / 2;
        return sorted.size() % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
    }

    Times realTimes;
    Times cpuTimes;
};

// One pass of each side outside the timings, so a mismatch is told plainly.
bool CheckBothSides()
{
    const Archive& archive = TheArchive();
    if (!archive.ok) {
        std::fprintf(stderr, "the archive could not be written to %s\n", archive.folder.c_str());
        return false;
    }
    std::uint64_t ours = 0;
    std::uint64_t theirs = 0;
    bool oursRead = false;
    {
        Mivo::ZipReader reader;
        oursRead = OursOpen(reader, archive) && OursReadAll(reader, archive, ours);
    }
    bool theirsRead = false;
    if (zip_t* zip = LibzipOpen(archive)) {
        theirsRead = LibzipReadAll(zip, archive, theirs);
        zip_discard(zip);
    }
    std::printf("archive: %s, %d stored members, %zu data bytes\n", archive.unixPath.c_str(), Members, archive.bytes);
    std::printf("checksums: expected %016llx, ZipReader %016llx%s, libzip %016llx%s\n",
                static_cast<unsigned long long>(archive.checksum), static_cast<unsigned long long>(ours),
                oursRead ? "" : " (failed)", static_cast<unsigned long long>(theirs), theirsRead ? "" : " (failed)");
    const bool match = oursRead && theirsRead && ours == archive.checksum && theirs == archive.checksum;
    std::printf("%s\n\n", match ? "checksums match" : "CHECKSUM MISMATCH");
    std::fflush(stdout);
    return match;
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!CheckBothSides())
        return 1;

    Register("ZipReader/Index", OursIndex);
    Register("libzip/Index", LibzipIndex);
    Register("ZipReader/OpenRead", OursOpenRead);
    Register("libzip/OpenRead", LibzipOpenRead);
    Register("ZipReader/Full", OursFull);
    Register("libzip/Full", LibzipFull);

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.GetOutputStream().flush();

    // Real time is what a user waits; CPU time (user + system of the whole
    // process) is steadier on a busy machine.
    std::printf("\nmedians over the repetitions, ms per pass over %d members\n", Members);
    std::printf("%-9s %12s %12s %8s   %12s %12s %8s\n", "part", "ZipReader", "libzip", "ratio", "ZipReader", "libzip",
                "ratio");
    std::printf("%-9s %34s   %34s\n", "", "(real time)", "(CPU time)");
    for (const char* part : {"Index", "OpenRead", "Full"}) {
        const std::string ours = std::string("ZipReader/") + part;
        const std::string theirs = std::string("libzip/") + part;
        const double oursReal = reporter.RealMedian(ours);
        const double theirsReal = reporter.RealMedian(theirs);
        const double oursCpu = reporter.CpuMedian(ours);
        const double theirsCpu = reporter.CpuMedian(theirs);
        if (oursReal < 0 || theirsReal < 0)
            continue;
        std::printf("%-9s %12.3f %12.3f %8.2f   %12.3f %12.3f %8.2f\n", part, oursReal, theirsReal,
                    theirsReal > 0 ? oursReal / theirsReal : 0.0, oursCpu, theirsCpu,
                    theirsCpu > 0 ? oursCpu / theirsCpu : 0.0);
    }
    std::printf("ratio: ZipReader time over libzip time (above 1: ZipReader is slower)\n");
    std::fflush(stdout);
    benchmark::Shutdown();
    return 0;
}
