#pragma once
// Runs the built program as a separate process.
#include <cstdint>
#include <string>
#include <vector>

struct ProgramResult {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs SIXSCENE_BUILD_DIR/sixscene (or `program`) with `args`; `env`
// entries are NAME=VALUE.
ProgramResult RunProgram(const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {}, const std::string& program = "");

// Reads an 8-bit RGB PNG; false when it can't.
bool ReadPng(const std::string& path, std::vector<uint8_t>& rgb, int& width, int& height);
