#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// Replaces the file at path with the given bytes as a whole: the bytes go to a
// temporary file beside it which is then renamed over the target, so a failed
// or interrupted run never leaves a half-written file. On failure returns
// false with a message in error, and the target is untouched.
bool WriteWholeFile(const std::filesystem::path& path, std::string_view bytes, std::string& error);
