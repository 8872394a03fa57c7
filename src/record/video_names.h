#pragma once
// What --record makes of a name: a video for the extensions ffmpeg is given
// codecs for, a folder of PNG frames for any other name. Names that look
// like some other video or sound file would otherwise become folders, so
// the command line refuses them. Header only: the command line (in the
// core) and the recorder both read it.
#include <algorithm>
#include <cctype>
#include <string>

// Lower case, with the dot; empty when the last part of the name has none.
inline std::string FileExtension(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        dot == (slash == std::string::npos ? 0 : slash + 1)) {
        return std::string();
    }
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

inline constexpr const char* kVideoExtensions[] = {".mp4", ".mkv"};
inline constexpr const char* kVideoExtensionList = ".mp4 (H.264 and AAC) or .mkv (lossless FFV1 and FLAC)";

inline constexpr const char* kOtherMediaExtensions[] = {
    ".avi", ".mov", ".webm", ".gif", ".flv", ".wmv", ".m4v", ".mpg", ".mpeg", ".ts",  ".m2ts", ".mts",
    ".ogv", ".3gp", ".vob", ".asf", ".f4v", ".apng", ".h264", ".hevc", ".y4m", ".wav", ".mp3", ".ogg",
    ".oga", ".opus", ".flac", ".aac", ".m4a", ".wma", ".png", ".jpg", ".jpeg"};

// True for the names that --record encodes to video.
inline bool IsVideoPath(const std::string& path) {
    const std::string extension = FileExtension(path);
    return std::any_of(std::begin(kVideoExtensions), std::end(kVideoExtensions),
                       [&](const char* e) { return extension == e; });
}

// True for names of media files --record can't write.
inline bool IsUnsupportedMediaPath(const std::string& path) {
    const std::string extension = FileExtension(path);
    return std::any_of(std::begin(kOtherMediaExtensions), std::end(kOtherMediaExtensions),
                       [&](const char* e) { return extension == e; });
}
