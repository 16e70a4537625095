// The command language of `lndtool edit`: one editing command per line, blank lines and
// "#" comments allowed. The parser works on a text in memory and never touches files, so
// any bytes can be fed to it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lndtool {

struct EditCommand {
    enum class Kind {
        Brush, Undo, Redo, Paint, SetCountry, ImportCountry, DeleteBlock, LevelMap, Noise,
        CountryMapImport, CountryMapExport, MeshExport
    };
    Kind kind = Kind::Undo;
    int line = 0;   // 1-based line of the script

    // brush NAME X,Z raise|lower|level|smooth [TIMES RADIUS LEVEL]
    std::string brushName;
    double x = 0.0, z = 0.0;
    int mode = 0;   // +1 raise, -1 lower, 3 level, 4 smooth (the brush's own numbers)
    int times = 1, radius = 80, level = 0;

    // paint BLOCK X,Y SIZE COUNTRY (BLOCK counts from 1)
    int block = 0, pictureX = 0, pictureY = 0, size = 16;
    // paint's and set-country's country
    int country = 0;

    // import-country PATH ID / noise IMAGE / country-map import|export PATH / mesh export PATH
    std::string path, id;
    // mesh export's words: the block textures' atlas, a sea plane
    bool textures = false, sea = false;

    // delete-block GX,GZ
    int gx = 0, gz = 0;

    // level-map [LEVEL]: -1 keeps the level value the last brush command set
    int levelValue = -1;
};

struct ScriptError {
    int line = 0;
    std::string message;
};

// Splits a line into words: white space separates, "..." quotes a word (\" and \\ inside),
// and a "#" outside quotes starts a comment. False with `error` on an unterminated quote.
bool splitScriptLine(std::string_view line, std::vector<std::string>& words, std::string& error);

// Parses a whole script. False with the first bad line's number and what is wrong with it.
bool parseEditScript(std::string_view text, std::vector<EditCommand>& commands, ScriptError& error);

// The syntax of every command, one per line, for usage texts.
const char* editScriptSyntax();

}  // namespace lndtool
