// make_manual PAGE.txt OUT.1 VERSION: turns one manual page of helpfiles/manual/ into a roff
// man page. The text files are what the help links to, so the two never differ.
//
// The text form (it reads as it renders):
//   first line          "NAME - what it is"
//   a heading           a line of capitals at the left margin ("SYNOPSIS", "SEE ALSO")
//   a paragraph         lines indented by 2; a blank line ends it
//   a term              a line indented by 2 directly followed by lines indented by 6 (its text)
//   an example          lines indented by 4, shown as they are
#include "base/file_io.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

int indentOf(const std::string& line) {
    int n = 0;
    while (n < int(line.size()) && line[std::size_t(n)] == ' ') ++n;
    return n;
}

bool isHeading(const std::string& line) {
    if (line.empty() || line[0] == ' ') return false;
    for (char c : line)
        if (!((c >= 'A' && c <= 'Z') || c == ' ')) return false;
    return true;
}

// Roff text: backslashes and hyphens escaped, and a line never starts with a control character.
std::string roff(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\e";
        else if (c == '-') out += "\\-";
        else out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

std::string trimmed(const std::string& line) {
    const std::size_t b = line.find_first_not_of(' ');
    const std::size_t e = line.find_last_not_of(" \r");
    return b == std::string::npos ? std::string() : line.substr(b, e - b + 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_manual PAGE.txt OUT.1 VERSION\n");
        return 2;
    }
    std::vector<std::uint8_t> bytes;
    if (lnd::Result r = lnd::readWholeFile(argv[1], bytes, 1 << 20); !r) {
        std::fprintf(stderr, "make_manual: %s\n", r.message().c_str());
        return 1;
    }
    std::vector<std::string> lines;
    std::string current;
    for (std::uint8_t b : bytes) {
        if (b == '\n') {
            lines.push_back(current);
            current.clear();
        } else if (b != '\r') {
            current += char(b);
        }
    }
    if (!current.empty()) lines.push_back(current);
    const std::size_t dash = lines.empty() ? std::string::npos : lines[0].find(" - ");
    if (dash == std::string::npos) {
        std::fprintf(stderr, "make_manual: %s: the first line must be \"NAME - what it is\"\n", argv[1]);
        return 1;
    }
    const std::string name = lines[0].substr(0, dash);
    std::string out = ".\\\" Made by make_manual from " + name + ".txt; edit that file instead.\n";
    out += ".TH \"" + name + "\" 1 \"\" \"Land toolkit " + std::string(argv[3]) + "\" \"Land toolkit\"\n";
    out += ".SH NAME\n" + roff(name) + " \\- " + roff(lines[0].substr(dash + 3)) + "\n";

    bool inExample = false;
    bool needParagraph = false;
    int lastIndent = 0;
    for (std::size_t k = 1; k < lines.size(); ++k) {
        const std::string& line = lines[k];
        const int indent = indentOf(line);
        const bool blank = trimmed(line).empty();
        // Text back at the margin after a term's text starts a paragraph of its own.
        if (!blank && indent == 2 && lastIndent == 6) needParagraph = true;
        if (!blank) lastIndent = indent;
        if (inExample && (blank || indent != 4)) {
            out += ".fi\n.RE\n";
            inExample = false;
        }
        if (blank) {
            needParagraph = true;
            continue;
        }
        if (isHeading(line)) {
            out += ".SH " + roff(line) + "\n";
            needParagraph = false;
            continue;
        }
        if (indent == 4) {
            if (!inExample) out += ".PP\n.RS 4\n.nf\n";
            inExample = true;
            out += roff(line.substr(4)) + "\n";
            needParagraph = false;
            continue;
        }
        if (indent == 2 && k + 1 < lines.size() && indentOf(lines[k + 1]) == 6 && !trimmed(lines[k + 1]).empty()) {
            out += ".TP\n.B " + roff(trimmed(line)) + "\n";
            needParagraph = false;
            continue;
        }
        if (needParagraph && indent == 2) out += ".PP\n";
        needParagraph = false;
        out += roff(trimmed(line)) + "\n";
    }
    if (inExample) out += ".fi\n.RE\n";
    const lnd::Result w = lnd::writeFileAtomic(argv[2], std::span<const std::uint8_t>(
                                                           reinterpret_cast<const std::uint8_t*>(out.data()), out.size()));
    if (!w) {
        std::fprintf(stderr, "make_manual: %s\n", w.message().c_str());
        return 1;
    }
    return 0;
}
