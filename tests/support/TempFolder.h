#pragma once
// A fresh folder under the system's temp folder, removed with everything in it
// at the end of the test; the current directory is restored too.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

class TempFolder {
public:
    TempFolder() : saved(std::filesystem::current_path())
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "strumkey-platform-XXXXXX").string();
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

private:
    std::filesystem::path saved;
    std::string path;
};
