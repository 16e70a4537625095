#include "sculpt/brush_file.h"

#include "base/file_io.h"

#include <cctype>
#include <climits>
#include <cmath>

namespace clay {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

constexpr std::size_t kMaxWord = 99;

constexpr std::string_view kBuiltIn =
    "# Clayvane brushes.\n"
    "#\n"
    "# \"Brushes\" gives the number of brushes; \"Brush\" starts the table. Each table line is\n"
    "# the brush number (0 first), ten ring values from the centre outwards, and a name. A\n"
    "# value of 10 moves a vertex by the whole brush strength each frame, 0 leaves it alone.\n"
    "# Comments may stand before and between the keywords, never inside the table.\n"
    "\n"
    "Brushes 8\n"
    "\n"
    "# number  ring 0 ... ring 9         name\n"
    "Brush\n"
    "0  10 10  9  8  7  6  4  3  2  1    round\n"
    "1  10  8  6  4  2  0  0  0  0  0    peak\n"
    "2  10 10 10 10 10 10 10 10 10  5    plateau\n"
    "3   4  4  4  4  3  3  2  2  1  1    gentle\n"
    "4   0  0  1  3  6  9 10  8  4  1    rim\n"
    "5  10 10 10 10 10  0  0  0  0  0    column\n"
    "6   2  4  6  8 10 10  8  6  4  2    ridge\n"
    "7  10  9  7  5  3  2  1  1  0  0    hill\n";

}  // namespace

std::string CBrushWords::Next() {
    if (m_pos < m_text.size() && IsSpace(m_text[m_pos])) {
        while (m_pos < m_text.size() && IsSpace(m_text[m_pos])) ++m_pos;
    }
    if (m_pos < m_text.size() && m_text[m_pos] == '#') {
        while (m_pos < m_text.size() && m_text[m_pos] != '\n') ++m_pos;
        return {};
    }
    if (m_pos >= m_text.size()) return std::string(1, '\xFF');
    std::string word;
    while (m_pos < m_text.size() && !IsSpace(m_text[m_pos])) {
        if (word.size() < kMaxWord) word.push_back(m_text[m_pos]);
        ++m_pos;
    }
    return word;
}

int WholeNumber(const std::string& word) {
    std::size_t i = 0;
    while (i < word.size() && (IsSpace(word[i]) || word[i] == '\v' || word[i] == '\f')) ++i;
    bool negative = false;
    if (i < word.size() && (word[i] == '+' || word[i] == '-')) {
        negative = word[i] == '-';
        ++i;
    }
    long long v = 0;
    for (; i < word.size() && word[i] >= '0' && word[i] <= '9'; ++i) {
        v = v * 10 + (word[i] - '0');
        if (v > INT_MAX) v = INT_MAX + 1LL;   // saturate; keeps going without overflow
    }
    if (negative) v = -v;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return int(v);
}

std::array<float, kRings> DefaultProfile() {
    return {1.0f, 1.0f, 0.9f, 0.8f, 0.7f, 0.6f, 0.4f, 0.3f, 0.2f, 0.1f};
}

std::string_view BuiltInBrushText() { return kBuiltIn; }

SBrushParse ParseBrushes(std::string_view text) {
    SBrushParse out;
    CBrushWords words(text);
    bool haveCount = false, haveTable = false;
    std::vector<bool> filled;
    for (;;) {
        const std::string w = words.Next();
        if (CBrushWords::IsEnd(w)) break;
        if (w == "Brushes") {
            const std::string n = words.Next();
            if (haveCount) {
                out.problems.push_back("a second \"Brushes\" count is ignored");
                continue;
            }
            const int count = CBrushWords::IsEnd(n) ? 0 : WholeNumber(n);
            if (count < 1 || count > kMaxBrushes) {
                out.problems.push_back("the brush count " + std::to_string(count) + " is outside 1.." +
                                       std::to_string(kMaxBrushes) + "; the file is not used");
                return out;
            }
            haveCount = true;
            out.count = count;
        } else if (w == "Brush") {
            if (!haveCount) {
                out.problems.push_back("the brush table comes before the \"Brushes\" count; the file is not used");
                return out;
            }
            if (haveTable) {
                out.problems.push_back("a second brush table is ignored");
                continue;
            }
            haveTable = true;
            out.profiles.assign(std::size_t(out.count) * kRings, 0.0f);
            filled.assign(std::size_t(out.count), false);
            bool ended = false;
            for (int e = 0; e < out.count && !ended; ++e) {
                std::string nw = words.Next();
                if (CBrushWords::IsEnd(nw)) {
                    ended = true;
                    break;
                }
                const int b = WholeNumber(nw);
                float values[kRings];
                for (int i = 0; i < kRings; ++i) {
                    const std::string vw = words.Next();
                    if (CBrushWords::IsEnd(vw)) {
                        ended = true;
                        break;
                    }
                    values[i] = float(WholeNumber(vw)) / 10.0f;
                }
                if (ended) {
                    out.problems.push_back("the table ends inside the entry of brush " + std::to_string(b) +
                                           "; that entry is not used");
                    break;
                }
                const std::string closing = words.Next();   // the brush's name, not used
                if (b < 0 || b >= out.count) {
                    out.problems.push_back("brush number " + std::to_string(b) + " is outside 0.." +
                                           std::to_string(out.count - 1) + "; its entry is skipped");
                } else {
                    for (int i = 0; i < kRings; ++i) out.profiles[std::size_t(b) * kRings + std::size_t(i)] = values[i];
                    filled[std::size_t(b)] = true;
                }
                if (CBrushWords::IsEnd(closing)) ended = true;
            }
            if (!ended) {
                // A word after the table that reads as a brush number means a longer table.
                const std::string after = words.Next();
                if (!CBrushWords::IsEnd(after) && !after.empty() && (std::isdigit(static_cast<unsigned char>(after[0])) ||
                                                                     after[0] == '-' || after[0] == '+')) {
                    out.problems.push_back("the table holds more than " + std::to_string(out.count) +
                                           " entries; the rest are ignored");
                } else if (after == "Brushes") {
                    out.problems.push_back("a second \"Brushes\" count is ignored");
                    words.Next();
                } else if (after == "Brush") {
                    out.problems.push_back("a second brush table is ignored");
                }
            }
        }
    }
    if (!haveCount) {
        out.problems.push_back("there is no \"Brushes\" count; the file is not used");
        return out;
    }
    if (!haveTable) {
        out.problems.push_back("there is no brush table (\"Brush\"); the file is not used");
        return out;
    }
    const auto fallback = DefaultProfile();
    for (int b = 0; b < out.count; ++b) {
        if (filled[std::size_t(b)]) continue;
        out.problems.push_back("brush " + std::to_string(b) + " is never defined; it takes the default profile");
        for (int i = 0; i < kRings; ++i) out.profiles[std::size_t(b) * kRings + std::size_t(i)] = fallback[std::size_t(i)];
    }
    out.accepted = true;
    return out;
}

std::string CBrushList::ReadBrushText(std::string_view text, const std::string& name) {
    SBrushParse parsed = ParseBrushes(text);
    std::string report;
    for (const std::string& p : parsed.problems) report += name + ": " + p + "\n";
    if (!parsed.accepted) {
        parsed = ParseBrushes(kBuiltIn);
        report += "Clayvane uses its built-in brushes.\n";
    }
    m_count = parsed.count;
    m_profiles = std::move(parsed.profiles);
    return report;
}

std::string CBrushList::ReadBrushes(const std::string& path) {
    m_path = path;
    std::vector<std::uint8_t> bytes;
    // A brush file is a few lines; anything beyond a megabyte is not one.
    const lnd::Result r = lnd::readWholeFile(path, bytes, 1u << 20);
    if (!r) {
        const SBrushParse parsed = ParseBrushes(kBuiltIn);
        m_count = parsed.count;
        m_profiles = parsed.profiles;
        return "The brush file " + path + " could not be read (" + r.message() +
               "). Clayvane uses its built-in brushes.\n";
    }
    return ReadBrushText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), path);
}

std::array<float, 3> RingColour(float profileValue) {
    static constexpr float kTable[11][3] = {
        {1.0f, 0.0f, 0.0f},   {0.16f, 1.0f, 0.15f}, {0.38f, 1.0f, 0.11f}, {0.6f, 1.0f, 0.07f},
        {0.82f, 1.0f, 0.03f}, {1.0f, 1.0f, 0.0f},   {0.98f, 0.84f, 0.0f}, {0.99f, 0.6f, 0.0f},
        {0.99f, 0.39f, 0.0f}, {1.0f, 0.16f, 0.0f},  {1.0f, 0.0f, 0.0f},
    };
    // Profiles hold tenths; the small bias keeps 0.7 * 10 at 7 whatever the float rounding.
    const float scaled = profileValue * 10.0f + 1e-4f;
    int k = std::isfinite(scaled) ? (scaled >= 11.0f ? 10 : int(scaled)) : 0;
    if (scaled < 0.0f) k = 0;
    if (k > 10) k = 10;
    return {kTable[k][0], kTable[k][1], kTable[k][2]};
}

}  // namespace clay
