#pragma once
// What the fuzz targets share: a check that stops the run where it fails,
// and a folder of this process's own for the files that inputs become.

#include "platform/PathMapping.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// Every fuzz target defines this; libFuzzer or FuzzReplay.cpp calls it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

[[noreturn]] inline void FuzzCheckFailed(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

// Stops the run, so that the fuzzer keeps the input, when a property fails;
// on in every build.
#define FUZZ_CHECK(condition) ((condition) ? (void)0 : FuzzCheckFailed(#condition, __FILE__, __LINE__))

class FuzzScratch {
public:
    // The process's folder, made on first use and removed at exit.
    static FuzzScratch& Get()
    {
        static FuzzScratch scratch;
        return scratch;
    }

    // Writes the bytes to the file name (which may hold folders) in the folder
    // and returns its Windows path.
    std::string Write(const std::string& name, const std::uint8_t* data, std::size_t size) const
    {
        const std::filesystem::path path = folder_ / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        return platform::ToWindowsPath(path.string());
    }
    std::string Windows(const std::string& name) const { return platform::ToWindowsPath((folder_ / name).string()); }
    const std::filesystem::path& Folder() const { return folder_; }

private:
    FuzzScratch()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "strumkey-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            FuzzCheckFailed("mkdtemp", __FILE__, __LINE__);
        folder_ = pattern;
    }
    ~FuzzScratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    std::filesystem::path folder_;
};
