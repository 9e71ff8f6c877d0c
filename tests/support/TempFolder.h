#pragma once
// A fresh folder under the system's temp folder, removed with everything in it
// at the end of the test; the current directory is restored too.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

class TempFolder {
public:
    TempFolder() : saved_(std::filesystem::current_path())
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "strumkey-platform-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::current_path(saved_, ignored);
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Names are UTF-8 (u8"..." literals).
    const std::string& Path() const { return path_; }
    std::string MakeFolder(const std::string& name) const
    {
        std::filesystem::create_directories(path_ + "/" + name);
        return path_ + "/" + name;
    }
    std::string MakeFile(const std::string& name) const
    {
        std::ofstream(path_ + "/" + name) << "x";
        return path_ + "/" + name;
    }

private:
    std::filesystem::path saved_;
    std::string path_;
};
