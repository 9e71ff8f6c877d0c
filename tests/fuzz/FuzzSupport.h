#pragma once
// What the fuzz targets share: the program's own check (STRUMKEY_CHECK),
// which stops the run where a property fails, so that the fuzzer keeps the input;
// and a folder of this process's own for the files that inputs become.

#include "platform/Check.h"
#include "platform/linux/kernel/PathMapping.h"

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
        const std::filesystem::path path = folder / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        return platform::ToWindowsPath(path.string());
    }
    std::string Windows(const std::string& name) const { return platform::ToWindowsPath((folder / name).string()); }
    const std::filesystem::path& Folder() const { return folder; }

private:
    FuzzScratch()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "strumkey-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            platform::CheckFailed("mkdtemp", __FILE__, __LINE__);
        folder = pattern;
    }
    ~FuzzScratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    std::filesystem::path folder;
};
