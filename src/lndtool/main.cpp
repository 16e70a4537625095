#include "lndtool/cli.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace lndtool {

namespace {

std::vector<Verb>& registry() {
    static std::vector<Verb> all;
    return all;
}

void printOverview(std::FILE* out) {
    std::fprintf(out, "usage: lndtool VERB [ARGS...]\n\nverbs:\n");
    std::vector<const Verb*> sorted;
    for (const Verb& v : registry()) sorted.push_back(&v);
    std::sort(sorted.begin(), sorted.end(), [](const Verb* a, const Verb* b) { return a->name < b->name; });
    for (const Verb* v : sorted) std::fprintf(out, "  %-58s %s\n", v->usage.c_str(), v->summary.c_str());
    std::fprintf(out, "\nexit codes: 0 ok, 1 bad input file, 2 usage error\n"
                      "lndtool --bash-completion prints the bash completion of these verbs\n");
}

int parseArgs(const Verb& verb, int argc, char** argv, Args& args) {
    for (int k = 0; k < argc; ++k) {
        std::string a = argv[k];
        if (a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9')) {
            std::string name = a.substr(a[1] == '-' ? 2 : 1);
            std::string value;
            bool inlineValue = false;
            if (auto eq = name.find('='); eq != std::string::npos) {
                value = name.substr(eq + 1);
                name = name.substr(0, eq);
                inlineValue = true;
            }
            auto option = std::find_if(verb.options.begin(), verb.options.end(),
                                     [&](const OptionSpec& o) { return o.name == name; });
            if (option == verb.options.end()) return usageError(verb, "unknown option " + a);
            if (option->takesValue && !inlineValue) {
                if (k + 1 >= argc) return usageError(verb, "option --" + name + " needs a value");
                value = argv[++k];
            } else if (!option->takesValue && inlineValue) {
                return usageError(verb, "option --" + name + " takes no value");
            }
            args.options[name] = value;
        } else {
            args.positional.push_back(a);
        }
    }
    if (args.positional.size() < verb.minPositional) return usageError(verb, "missing arguments");
    if (args.positional.size() > verb.maxPositional) return usageError(verb, "too many arguments");
    return kExitOk;
}

// The bash completion of lndtool, made from the verb table so it always offers what the
// program accepts: verbs first, then the verb's options, files for everything else.
void printBashCompletion() {
    std::vector<const Verb*> sorted;
    for (const Verb& v : registry()) sorted.push_back(&v);
    std::sort(sorted.begin(), sorted.end(), [](const Verb* a, const Verb* b) { return a->name < b->name; });
    std::string names;
    for (const Verb* v : sorted) names += v->name + " ";
    const auto spelled = [](const OptionSpec& o) { return (o.name.size() == 1 ? "-" : "--") + o.name; };
    std::printf("# bash completion for lndtool. Written by \"lndtool --bash-completion\"; do not edit.\n"
                "_lndtool() {\n"
                "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
                "    local options='' valued=''\n"
                "    COMPREPLY=()\n"
                "    if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
                "        COMPREPLY=($(compgen -W \"%s--help\" -- \"$cur\"))\n"
                "        return 0\n"
                "    fi\n"
                "    case ${COMP_WORDS[1]} in\n",
                names.c_str());
    for (const Verb* v : sorted) {
        std::string options, valued;
        for (const OptionSpec& o : v->options) {
            options += spelled(o) + " ";
            if (o.takesValue) valued += spelled(o) + " ";
        }
        std::printf("        %s) options='%s--help' valued='%s' ;;\n", v->name.c_str(), options.c_str(),
                    valued.empty() ? "" : valued.substr(0, valued.size() - 1).c_str());
    }
    std::printf("        *) return 0 ;;\n"
                "    esac\n"
                "    local o\n"
                "    for o in $valued; do\n"
                "        if [ \"$prev\" = \"$o\" ]; then\n"
                "            COMPREPLY=($(compgen -f -- \"$cur\"))\n"
                "            return 0\n"
                "        fi\n"
                "    done\n"
                "    if [[ $cur == -* ]]; then\n"
                "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
                "    else\n"
                "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
                "    fi\n"
                "    return 0\n"
                "}\n"
                "complete -o filenames -o bashdefault -F _lndtool lndtool\n");
}

}  // namespace

VerbRegistrar::VerbRegistrar(Verb verb) { registry().push_back(std::move(verb)); }

const std::vector<Verb>& verbs() { return registry(); }

const Verb& verbNamed(const std::string& name) {
    for (const Verb& v : registry())
        if (v.name == name) return v;
    std::fprintf(stderr, "lndtool: internal error: no verb %s\n", name.c_str());
    std::abort();
}

int usageError(const Verb& verb, const std::string& message) {
    std::fprintf(stderr, "lndtool %s: %s\nusage: lndtool %s\n", verb.name.c_str(), message.c_str(),
                 verb.usage.c_str());
    return kExitUsage;
}

int inputError(const std::string& message) {
    std::fprintf(stderr, "lndtool: %s\n", message.c_str());
    return kExitBadInput;
}

bool parseInt(const std::string& text, long long& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && end && *end == '\0';
}

bool parseNumberList(const std::string& text, std::vector<double>& values) {
    values.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item.empty()) return false;
        errno = 0;
        char* end = nullptr;
        const double v = std::strtod(item.c_str(), &end);
        if (errno != 0 || !end || *end != '\0') return false;
        values.push_back(v);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return !values.empty();
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

}  // namespace lndtool

int main(int argc, char** argv) {
    using namespace lndtool;
    if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h" ||
        std::string(argv[1]) == "help") {
        printOverview(argc < 2 ? stderr : stdout);
        return argc < 2 ? kExitUsage : kExitOk;
    }
    const std::string name = argv[1];
    if (name == "--bash-completion" && argc == 2) {
        printBashCompletion();
        return kExitOk;
    }
    for (const Verb& verb : verbs()) {
        if (verb.name != name) continue;
        for (int k = 2; k < argc; ++k) {
            const std::string a = argv[k];
            if (a == "--help" || a == "-h") {
                std::printf("usage: lndtool %s\n%s\n", verb.usage.c_str(), verb.summary.c_str());
                return kExitOk;
            }
        }
        Args args;
        if (int rc = parseArgs(verb, argc - 2, argv + 2, args); rc != kExitOk) return rc;
        return verb.run(args);
    }
    std::fprintf(stderr, "lndtool: unknown verb '%s'\n", name.c_str());
    printOverview(stderr);
    return kExitUsage;
}
