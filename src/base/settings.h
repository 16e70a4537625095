// The settings object: the one XML settings file of the editor, read once at start-up and
// asked for values by short name or absolute XPath, plus the list of altitude brushes.
//
// Values always come back as text; typed readers beside each owner (land/, view/) convert them with
// their defaults. Every problem with the file is reported once through UserMessages and the
// object then answers with empty texts, so a missing or broken file still gives a working
// program.
#pragma once

#include "base/messages.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace lnd {

// The picture of a brush in the brush list: 64 x 64 pixels, 4 bytes each in the order alpha,
// red, green, blue, rows top first. Empty when the bitmap could not be loaded.
struct BrushBitmap {
    static constexpr int kSide = 64;
    std::vector<std::uint8_t> pixels;   // kSide * kSide * 4 bytes, or none

    bool empty() const { return pixels.empty(); }
};

struct CBrushDef {
    std::string bmp;    // bitmap file name as written in the file
    std::string name;   // display name
    std::string tip;    // tool-tip text
    BrushBitmap bitmap;
    std::array<float, 10> params{};  // one factor per distance ring, 0 unless given
};

// Loads a brush picture from a path; returns an empty bitmap on any failure.
using BrushBitmapLoader = std::function<BrushBitmap(const std::string& path)>;

// The file name, looked up in the working directory.
inline constexpr const char* kSettingsFileName = "Vostrel.settings.xml";

// The working directory joined with kSettingsFileName.
std::string defaultSettingsPath();

class CSettings {
public:
    // Loads defaultSettingsPath().
    explicit CSettings(UserMessages& messages, BrushBitmapLoader loader = {});
    // Loads `path`. Brush pictures come from `loader` (codec/brush_bitmap.h has the one the
    // editor uses); without one every brush is left without a picture.
    CSettings(UserMessages& messages, const std::string& path, BrushBitmapLoader loader = {});
    ~CSettings();
    CSettings(const CSettings&) = delete;
    CSettings& operator=(const CSettings&) = delete;

    // The text of a setting: `name` is a short name of the name table, an XPath beginning
    // with "/", or anything else, which is evaluated as an XPath as it stands. The first
    // answer for a name is cached and returned for the rest of the run; empty when nothing
    // matches or the expression is not valid.
    std::string GetValue(const std::string& name);

    // Node-set iteration. SelectNodes returns the number of nodes (0 on no match or a bad
    // expression) and rewinds; NextNode makes the next one current and returns the new index
    // (1 after the first call), or -1 past the end; GetNodeValue evaluates against the
    // current node (empty when there is none); EndNodes drops the set.
    int SelectNodes(const std::string& xpath);
    int NextNode();
    std::string GetNodeValue(const std::string& relativeXPath);
    void EndNodes();

    // The brushes in file order. The list never changes after construction, so pointers to
    // its elements stay valid for the object's life.
    const std::vector<CBrushDef>& brushes() const { return m_brushes; }

    const std::string& path() const { return m_path; }
    // True when the file was read and parsed.
    bool fileLoaded() const { return m_fileLoaded; }
    // The XPath behind a short name, or empty when the name table has none.
    std::string xpathFor(const std::string& shortName) const;

private:
    struct Document;

    void load(UserMessages& messages, const BrushBitmapLoader& loader);

    std::string m_path;
    std::unique_ptr<Document> m_doc;
    bool m_fileLoaded = false;
    std::map<std::string, std::string> m_cache;
    std::map<std::string, std::string> m_names;
    std::vector<CBrushDef> m_brushes;
};

// The ten ring factors of a brush from its element text. Numbers are separated by single
// spaces only (tabs and line breaks do not separate); a short list repeats its last number
// in the remaining positions, an empty text leaves all ten at 0, extra numbers are ignored.
std::array<float, 10> parseBrushNumbers(const std::string& text);

// Standard text-to-number conversions of setting texts: leading white space skipped, the
// longest valid prefix used, 0 when there is none. Decimal points are always dots.
// textToInt saturates at the 32-bit limits instead of overflowing.
std::int32_t textToInt(const std::string& text);
double textToDouble(const std::string& text);

}  // namespace lnd
