#pragma once
#include <string>

// Reads a whole text file; a CR LF pair reads as LF. A file that can't be
// opened leaves `text` empty and returns false.
bool LoadText(std::string& text, const std::string& path);
