// Clayvane's brush list and the reader of its plain-text brush file, Brushes.txt.
//
// The parser works on text in memory (no GL, no Qt) so tests and fuzz harnesses call it
// directly.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace clay {

inline constexpr int kRings = 10;
inline constexpr int kMaxBrushes = 256;   // more would not fit the menu's purpose; refused

// The word reader of the brush file: white space (space, tab, line feed; a carriage return
// counts as white space too), "#" comments that yield an empty word, words of at most 99
// characters. At the end of the text Next() returns the single character 0xFF.
class CBrushWords {
public:
    explicit CBrushWords(std::string_view text) : m_text(text) {}
    std::string Next();
    bool AtEnd() const { return m_pos >= m_text.size(); }
    static bool IsEnd(const std::string& word) { return word.size() == 1 && word[0] == '\xFF'; }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

// The standard text-to-integer rule: leading white space, optional sign, digits; 0 when
// there are none. Saturates instead of overflowing.
int WholeNumber(const std::string& word);

struct SBrushParse {
    int count = 0;
    std::vector<float> profiles;          // count * 10, ring 0 first
    std::vector<std::string> problems;    // what was refused or defaulted, for a person
    bool accepted = false;                // false: the file is refused as a whole
};

// Reads the text of a brush file. A refused file (no count, a count outside 1..256, the
// table before the count, no table) comes back with accepted = false. Inside an accepted
// file, entries with a brush number outside 0..count-1 are skipped, brushes the table never
// fills take the default profile, and entries beyond the count are ignored; each is named
// in `problems`.
SBrushParse ParseBrushes(std::string_view text);

// The brushes the program ships and falls back on (the same text as the shipped file).
std::string_view BuiltInBrushText();
// The profile given to brushes that a file declares but never fills.
std::array<float, kRings> DefaultProfile();

class CBrushList {
public:

    // Reads the brush file at `path`. On a missing or refused file the built-in brushes are
    // used. Returns the problems for a person to read (empty when all went well).
    std::string ReadBrushes(const std::string& path);
    // The same from text already in memory; `name` is used in the messages.
    std::string ReadBrushText(std::string_view text, const std::string& name);

    const float* Profile(int b) const { return &m_profiles[std::size_t(b) * kRings]; }

    std::string m_path;
    int m_count = 0;
    std::vector<float> m_profiles;
};

// Colour of a ring for a profile value: the entry of the whole part of value * 10, clamped
// to the table's ends (0 and 10).
std::array<float, 3> RingColour(float profileValue);

}  // namespace clay
