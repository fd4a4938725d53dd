#pragma once

#include <string>
#include <vector>

namespace tallowby::testing {

struct ProgramResult {
    int exitStatus = -1;  // -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs `program` with `args` in the directory `workDir`, feeding `input` to
// its standard input, and collects its whole standard output and error.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workDir, const std::string& input = {});

}  // namespace tallowby::testing
