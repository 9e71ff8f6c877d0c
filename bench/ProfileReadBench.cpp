// How long one read of a settings file takes, by the file's size and shape:
//   profile_read_bench <shape> <bytes> [reads]
// shape: "brackets" (every line a lone '['), "bare" (lines of text with no
// '='), "keys" (a section of ordinary keys, the one read last). Writes the
// file into a temp folder, reads the key "Interval" of "[Setting]" with
// GetPrivateProfileIntA the given number of times (default 5), and prints
// the fastest read in ms. Start-up reads ten keys, so a start costs about ten
// times that.

#include "platform/linux/kernel/PathMapping.h"
#include "platform/Win32.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: profile_read_bench brackets|bare|keys <bytes> [reads]\n");
        return 2;
    }
    const std::string shape = argv[1];
    const std::size_t size = std::strtoul(argv[2], nullptr, 10);
    const int reads = argc > 3 ? std::atoi(argv[3]) : 5;
    std::string text;
    if (shape == "brackets") {
        while (text.size() < size)
            text += "[\r\n";
    } else if (shape == "bare") {
        while (text.size() < size)
            text += "just some words\r\n";
    } else if (shape == "keys") {
        text = "[Setting]\r\n";
        for (int i = 0; text.size() < size; ++i)
            text += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    } else {
        std::fprintf(stderr, "unknown shape %s\n", shape.c_str());
        return 2;
    }
    text += shape == "keys" ? "Interval=40\r\n" : "[Setting]\r\nInterval=40\r\n";
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("profile-read-bench-" + std::to_string(::getpid()) + ".ini");
    std::ofstream(file, std::ios::binary) << text;
    const std::string path = platform::ToWindowsPath(file.string());

    double best = 1e300;
    UINT value = 0;
    for (int i = 0; i < reads; ++i) {
        const auto start = std::chrono::steady_clock::now();
        value = GetPrivateProfileIntA("Setting", "Interval", 25, path.c_str());
        best =
            std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::filesystem::remove(file);
    std::printf("%s %zu bytes: %.3f ms per read (value %u)\n", shape.c_str(), text.size(), best, value);
    return value == 40 ? 0 : 1;
}
