#pragma once
// A fresh folder under the system's temp folder, removed with everything in it
// at the end of the test; the current directory is restored too. Archives stay
// held until the process ends, so every test works in a folder of its own.

#include "tests/support/System.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

class TempFolder {
public:
    TempFolder() : saved(std::filesystem::current_path()), path(test_system::MakeTempFolder("strumkey-test-")) {}
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::current_path(saved, ignored);
        if (!path.empty())
            std::filesystem::remove_all(std::filesystem::u8path(path), ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Names are UTF-8 (u8"..." literals).
    const std::string& Path() const { return path; }
    std::string MakeFolder(const std::string& name) const
    {
        std::filesystem::create_directories(std::filesystem::u8path(path + "/" + name));
        return path + "/" + name;
    }
    std::string MakeFile(const std::string& name) const
    {
        std::ofstream(std::filesystem::u8path(path + "/" + name)) << "x";
        return path + "/" + name;
    }
    // The Windows path of a file inside (a relative name with '/' or '\\').
    std::string Windows(const std::string& name = "") const
    {
        return test_system::WindowsPathOf(path + (name.empty() ? "" : "/" + name));
    }
    // Writes bytes to a file inside, creating its folders.
    void Write(const std::string& name, const std::string& bytes) const
    {
        std::string relative = name;
        std::replace(relative.begin(), relative.end(), '\\', '/');
        const std::filesystem::path file = std::filesystem::u8path(path + "/" + relative);
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    }

private:
    std::filesystem::path saved;
    std::string path;
};
