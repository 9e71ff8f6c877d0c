#pragma once
// A fresh folder under the system's temp folder, removed with everything in it
// at the end of the test; the current directory is restored too. Archives stay
// held until the process ends, so every test works in a folder of its own.

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

class TempFolder {
public:
    TempFolder() : saved(std::filesystem::current_path())
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "strumkey-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::current_path(saved, ignored);
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Names are UTF-8 (u8"..." literals).
    const std::string& Path() const { return path; }
    std::string MakeFolder(const std::string& name) const
    {
        std::filesystem::create_directories(path + "/" + name);
        return path + "/" + name;
    }
    std::string MakeFile(const std::string& name) const
    {
        std::ofstream(path + "/" + name) << "x";
        return path + "/" + name;
    }
    // The Windows path of a file inside (a relative name with '/' or '\\').
    std::string Windows(const std::string& name = "") const
    {
        std::string windows = "Z:" + path + (name.empty() ? "" : "/" + name);
        std::replace(windows.begin(), windows.end(), '/', '\\');
        return windows;
    }
    // Writes bytes to a file inside, creating its folders.
    void Write(const std::string& name, const std::string& bytes) const
    {
        std::string relative = name;
        std::replace(relative.begin(), relative.end(), '\\', '/');
        const std::filesystem::path file = std::filesystem::path(path) / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    }

private:
    std::filesystem::path saved;
    std::string path;
};
