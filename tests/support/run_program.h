// Runs one of the toolkit's programs for a test: standard input from a string, standard
// output and error captured, exit code returned.
#pragma once

#include <string>
#include <vector>

namespace lndtest {

struct ProgramResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Path of a built program, e.g. programPath("src/dumper/Strakmill").
std::string programPath(const std::string& relative);

// Runs `program` with `args` (each quoted for the shell) in `workdir`.
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = "", const std::string& workdir = "");

// Runs the built lndtool.
ProgramResult runLndtool(const std::vector<std::string>& args, const std::string& input = "",
                         const std::string& workdir = "");

}  // namespace lndtest
