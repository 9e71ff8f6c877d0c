#include "tools/OutputFile.h"

#include <fstream>
#include <system_error>

bool WriteWholeFile(const std::filesystem::path& path, std::string_view bytes, std::string& error)
{
    std::filesystem::path temporary = path;
    temporary += ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (out)
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (out)
            out.close();
        if (!out) {
            error = "cannot write " + temporary.string();
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        error = "cannot replace " + path.string() + ": " + ec.message();
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return false;
    }
    return true;
}
