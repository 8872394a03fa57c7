#include "assets/text.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

bool Refuse(std::string& text, std::string* error, const std::string& path, const std::string& why) {
    text.clear();
    if (error) *error = path + ": " + why + "; playing without the text";
    return false;
}

const char* KindOf(std::filesystem::file_type type) {
    using std::filesystem::file_type;
    switch (type) {
        case file_type::fifo: return "a FIFO";
        case file_type::character: return "a character device";
        case file_type::block: return "a block device";
        case file_type::socket: return "a socket";
        default: return "a file of another kind";
    }
}

}  // namespace

bool LoadText(std::string& text, const std::string& path, std::string* error) {
    text.clear();
    // Look before opening: opening a FIFO blocks until a writer comes, and a
    // device such as /dev/zero never ends.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status) || std::filesystem::is_directory(status)) return false;
    if (!std::filesystem::is_regular_file(status)) {
        return Refuse(text, error, path, std::string("not a regular file (") + KindOf(status.type()) + ")");
    }
    const uintmax_t size = std::filesystem::file_size(path, ec);
    const std::string tooLarge = "larger than " + std::to_string(kMaxTextBytes >> 20) + " MiB";
    if (!ec && size > kMaxTextBytes) return Refuse(text, error, path, tooLarge + " (" + std::to_string(size) + " bytes)");

    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char block[4096];
    size_t got;
    uintmax_t total = 0;
    bool pendingCR = false;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
        // The file may have grown since it was measured.
        total += got;
        if (total > kMaxTextBytes) {
            std::fclose(file);
            return Refuse(text, error, path, tooLarge);
        }
        for (size_t i = 0; i < got; ++i) {
            const char c = block[i];
            if (pendingCR && c != '\n') text.push_back('\r');
            pendingCR = (c == '\r');
            if (!pendingCR) text.push_back(c);
        }
    }
    if (pendingCR) text.push_back('\r');
    std::fclose(file);
    return true;
}
