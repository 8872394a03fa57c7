#pragma once
#include <cstdint>
#include <string>

// The largest text read: the show's text is a few kilobytes.
constexpr uintmax_t kMaxTextBytes = 1u << 20;

// Reads a whole text file; a CR LF pair reads as LF. A file that can't be
// opened (missing, or a folder) leaves `text` empty and returns false. So
// does a file that is not a regular file (a FIFO, a device: reading it could
// block or never end) or is larger than kMaxTextBytes; then `error`, when
// given, names the file and says why.
bool LoadText(std::string& text, const std::string& path, std::string* error = nullptr);
