#include "support/run_program.h"

#include "support/land_builder.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace lndtest {

namespace {

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace

std::string programPath(const std::string& relative) {
    const char* dir = std::getenv("LND_BUILD_DIR");
    return std::string(dir ? dir : "build") + "/" + relative;
}

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input, const std::string& workdir) {
    TempDir io;
    {
        std::ofstream in(io.file("stdin"), std::ios::binary);
        in << input;
    }
    std::string cmd;
    if (!workdir.empty()) {
        cmd += "cd ";
        cmd += quote(workdir);
        cmd += " && ";
    }
    cmd += quote(program);
    for (const std::string& a : args) {
        cmd += ' ';
        cmd += quote(a);
    }
    for (const char* stream : {"stdin", "stdout", "stderr"}) {
        cmd += stream[3] == 'i' ? " < " : stream[3] == 'o' ? " > " : " 2> ";
        cmd += quote(io.file(stream));
    }
    const int status = std::system(cmd.c_str());
    ProgramResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(io.file("stdout"));
    r.err = slurp(io.file("stderr"));
    return r;
}

ProgramResult runLndtool(const std::vector<std::string>& args, const std::string& input,
                         const std::string& workdir) {
    return runProgram(programPath("src/lndtool/lndtool"), args, input, workdir);
}

void skipLeakCheckInChildren() {
#if defined(__SANITIZE_ADDRESS__)
    ::setenv("ASAN_OPTIONS", "detect_leaks=0:abort_on_error=1", 1);
#endif
}

}  // namespace lndtest
