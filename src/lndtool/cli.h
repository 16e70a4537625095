// The small framework of lndtool: verbs register themselves, options are declared per verb,
// and every failure maps to one of three exit codes.
#pragma once

#include "base/file_io.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace lndtool {

enum ExitCode { kExitOk = 0, kExitBadInput = 1, kExitUsage = 2 };

struct OptionSpec {
    std::string name;      // without the leading "--"; a one-letter name is also taken as "-x"
    bool takesValue = false;
};

struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;  // flags map to ""

    bool has(const std::string& name) const { return options.count(name) != 0; }
    std::string get(const std::string& name, const std::string& fallback = "") const {
        auto it = options.find(name);
        return it == options.end() ? fallback : it->second;
    }
};

struct Verb {
    std::string name;
    std::string usage;     // e.g. "info LAND [--json]"
    std::string summary;   // one line for the verb list
    std::vector<OptionSpec> options;
    std::size_t minPositional = 0;
    std::size_t maxPositional = 0;
    std::function<int(const Args&)> run;
};

// Registers a verb at static-initialisation time; see the verb files.
struct VerbRegistrar {
    explicit VerbRegistrar(Verb verb);
};

const std::vector<Verb>& verbs();
// The registered verb of that name (the caller knows it exists).
const Verb& verbNamed(const std::string& name);

// Reports a usage error for `verb` on standard error and returns kExitUsage.
int usageError(const Verb& verb, const std::string& message);
// Reports a bad input file on standard error ("lndtool: <message>") and returns kExitBadInput.
int inputError(const std::string& message);

// Parses "12", "-3" as a whole number; false on anything else.
bool parseInt(const std::string& text, long long& value);
// Parses "X,Z" or "X,Y,Z" style comma lists of numbers.
bool parseNumberList(const std::string& text, std::vector<double>& values);

using lnd::lowerExtension;

// Escapes text for a JSON string literal.
std::string jsonString(const std::string& text);

}  // namespace lndtool
