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

// Programs with a window keep allocations of the window system's libraries (session bus, GL
// driver) alive to the end of the process, some inside libraries already unloaded at exit.
// Under the address sanitizer the programs a test starts after this call run without leak
// checking; the test process itself keeps it.
void skipLeakCheckInChildren();

// Runs the built lndtool.
ProgramResult runLndtool(const std::vector<std::string>& args, const std::string& input = "",
                         const std::string& workdir = "");

}  // namespace lndtest
