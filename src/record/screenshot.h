#pragma once
// Saving the picture on the screen: sixscene-NNNN.png, the first free number,
// in `dir` (empty: the current folder).
#include <cstdint>
#include <string>

// `pixels` at `depth` bits per pixel (16: expanded from 5-6-5), `pitch`
// bytes a row. Says on stderr where the picture went, or why it did not.
bool SaveScreenshot(const std::string& dir, const void* pixels, int32_t pitch, int32_t depth);
