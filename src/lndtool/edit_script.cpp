#include "lndtool/edit_script.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace lndtool {

namespace {

bool wholeNumber(const std::string& text, long long low, long long high, int& value) {
    if (text.empty() || text.size() > 20) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0' || v < low || v > high) return false;
    value = int(v);
    return true;
}

bool realNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end != nullptr && *end == '\0' && std::isfinite(value);
}

// "A,B" into its two halves.
bool pair(const std::string& text, std::string& a, std::string& b) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos || text.find(',', comma + 1) != std::string::npos) return false;
    a = text.substr(0, comma);
    b = text.substr(comma + 1);
    return true;
}

// The extension of a path's last component with its dot, in lower case ("" when none). The
// parser stands alone (the fuzzing harness takes it without the libraries), hence its own.
std::string extensionOf(const std::string& path) {
    const std::size_t start = path.find_last_of("/\\");
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (start != std::string::npos && dot < start)) return {};
    std::string ext = path.substr(dot);
    for (char& ch : ext)
        if (ch >= 'A' && ch <= 'Z') ch = char(ch - 'A' + 'a');
    return ext;
}

bool parseCommand(const std::vector<std::string>& w, EditCommand& c, std::string& error) {
    const std::string& verb = w[0];
    const std::size_t n = w.size();
    auto fail = [&](const std::string& message) {
        error = message;
        return false;
    };
    if (verb == "brush") {
        c.kind = EditCommand::Kind::Brush;
        if (n != 4 && n != 7) return fail("brush takes NAME X,Z raise|lower|level|smooth [TIMES RADIUS LEVEL]");
        c.brushName = w[1];
        std::string a, b;
        if (!pair(w[2], a, b) || !realNumber(a, c.x) || !realNumber(b, c.z))
            return fail("brush position \"" + w[2] + "\" is not X,Z");
        if (w[3] == "raise") c.mode = 1;
        else if (w[3] == "lower") c.mode = -1;
        else if (w[3] == "level") c.mode = 3;
        else if (w[3] == "smooth") c.mode = 4;
        else return fail("brush mode \"" + w[3] + "\" is not raise, lower, level or smooth");
        if (n == 7) {
            if (!wholeNumber(w[4], 1, 10, c.times)) return fail("brush TIMES must be 1 to 10");
            if (!wholeNumber(w[5], 1, 160, c.radius)) return fail("brush RADIUS must be 1 to 160");
            if (!wholeNumber(w[6], 0, 255, c.level)) return fail("brush LEVEL must be 0 to 255");
        }
        return true;
    }
    if (verb == "undo") {
        c.kind = EditCommand::Kind::Undo;
        return n == 1 || fail("undo takes nothing");
    }
    if (verb == "redo") {
        c.kind = EditCommand::Kind::Redo;
        return n == 1 || fail("redo takes nothing");
    }
    if (verb == "paint") {
        c.kind = EditCommand::Kind::Paint;
        if (n != 5) return fail("paint takes BLOCK X,Y SIZE COUNTRY");
        if (!wholeNumber(w[1], 1, 1 << 20, c.block)) return fail("paint BLOCK must be a block number from 1");
        std::string a, b;
        if (!pair(w[2], a, b) || !wholeNumber(a, 0, 255, c.pictureX) || !wholeNumber(b, 0, 255, c.pictureY))
            return fail("paint position \"" + w[2] + "\" is not X,Y with both 0 to 255");
        if (!wholeNumber(w[3], 16, 128, c.size) || (c.size != 16 && c.size != 32 && c.size != 64 && c.size != 128))
            return fail("paint SIZE must be 16, 32, 64 or 128");
        if (!wholeNumber(w[4], 0, 14, c.country)) return fail("paint COUNTRY must be 0 to 14");
        return true;
    }
    if (verb == "set-country") {
        c.kind = EditCommand::Kind::SetCountry;
        if (n != 2 || !wholeNumber(w[1], 0, 14, c.country)) return fail("set-country takes a country K of 0 to 14");
        return true;
    }
    if (verb == "import-country") {
        c.kind = EditCommand::Kind::ImportCountry;
        if (n != 3) return fail("import-country takes PATH/countries.xml ID");
        c.path = w[1];
        c.id = w[2];
        return true;
    }
    if (verb == "delete-block") {
        c.kind = EditCommand::Kind::DeleteBlock;
        std::string a, b;
        if (n != 2 || !pair(w[1], a, b) || !wholeNumber(a, 0, 31, c.gx) || !wholeNumber(b, 0, 31, c.gz))
            return fail("delete-block takes GX,GZ with both 0 to 31");
        return true;
    }
    if (verb == "level-map") {
        c.kind = EditCommand::Kind::LevelMap;
        if (n > 2 || (n == 2 && !wholeNumber(w[1], 0, 255, c.levelValue)))
            return fail("level-map takes an optional LEVEL of 0 to 255");
        return true;
    }
    if (verb == "noise") {
        c.kind = EditCommand::Kind::Noise;
        if (n != 2) return fail("noise takes IMAGE");
        c.path = w[1];
        return true;
    }
    if (verb == "country-map") {
        if (n != 3 || (w[1] != "import" && w[1] != "export"))
            return fail("country-map takes import PICTURE or export MAP.png");
        c.kind = w[1] == "import" ? EditCommand::Kind::CountryMapImport : EditCommand::Kind::CountryMapExport;
        c.path = w[2];
        const std::string ext = extensionOf(c.path);
        if (c.kind == EditCommand::Kind::CountryMapExport && ext != ".png")
            return fail("country-map export writes a .png file");
        if (c.kind == EditCommand::Kind::CountryMapImport && ext != ".png" && ext != ".bmp" && ext != ".tga")
            return fail("country-map import reads a .png, .bmp or .tga file");
        return true;
    }
    if (verb == "mesh") {
        c.kind = EditCommand::Kind::MeshExport;
        if (n < 3 || n > 5 || w[1] != "export") return fail("mesh takes export OUT.(glb|gltf|obj) [textures] [sea]");
        c.path = w[2];
        const std::string ext = extensionOf(c.path);
        if (ext != ".glb" && ext != ".gltf" && ext != ".obj") return fail("mesh export writes a .glb, .gltf or .obj file");
        for (std::size_t k = 3; k < n; ++k) {
            bool& flag = w[k] == "textures" ? c.textures : c.sea;
            if ((w[k] != "textures" && w[k] != "sea") || flag)
                return fail("mesh export takes textures and sea, each at most once, after the file");
            flag = true;
        }
        return true;
    }
    return fail("unknown command \"" + verb + "\"");
}

}  // namespace

bool splitScriptLine(std::string_view line, std::vector<std::string>& words, std::string& error) {
    words.clear();
    std::size_t k = 0;
    const auto space = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\f' || ch == '\v'; };
    while (k < line.size()) {
        while (k < line.size() && space(line[k])) ++k;
        if (k >= line.size() || line[k] == '#') break;
        std::string word;
        while (k < line.size() && !space(line[k])) {
            if (line[k] != '"') {
                word += line[k++];
                continue;
            }
            ++k;
            bool closed = false;
            while (k < line.size()) {
                const char ch = line[k++];
                if (ch == '"') {
                    closed = true;
                    break;
                }
                if (ch == '\\' && k < line.size() && (line[k] == '"' || line[k] == '\\')) word += line[k++];
                else word += ch;
            }
            if (!closed) {
                error = "a quoted word is not closed";
                return false;
            }
        }
        words.push_back(std::move(word));
    }
    return true;
}

bool parseEditScript(std::string_view text, std::vector<EditCommand>& commands, ScriptError& error) {
    commands.clear();
    int lineNumber = 0;
    std::size_t start = 0;
    std::vector<std::string> words;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        std::string message;
        if (!splitScriptLine(line, words, message)) {
            error = {lineNumber, message};
            return false;
        }
        if (words.empty()) continue;
        EditCommand command;
        command.line = lineNumber;
        if (!parseCommand(words, command, message)) {
            error = {lineNumber, message};
            return false;
        }
        commands.push_back(std::move(command));
    }
    return true;
}

const char* editScriptSyntax() {
    return "brush NAME X,Z raise|lower|level|smooth [TIMES RADIUS LEVEL]\n"
           "undo\n"
           "redo\n"
           "paint BLOCK X,Y SIZE COUNTRY\n"
           "set-country K\n"
           "import-country PATH/countries.xml ID\n"
           "delete-block GX,GZ\n"
           "level-map [LEVEL]\n"
           "noise IMAGE\n"
           "country-map import PICTURE\n"
           "country-map export MAP.png\n"
           "mesh export OUT.(glb|gltf|obj) [textures] [sea]\n";
}

}  // namespace lndtool
