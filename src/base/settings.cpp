#include "base/settings.h"


#include <pugixml.hpp>

#include <climits>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <locale.h>

namespace lnd {

namespace {

// The short names every reader may use, in the order they have always been listed.
struct NameEntry {
    const char* name;
    const char* xpath;
};
constexpr NameEntry kNameTable[] = {
    {"debug", "/settings/renderEngine/debug"},
    {"aspectRatio", "/settings/renderEngine/aspectRatio"},
    {"debugVideo", "/settings/renderEngine/videocard/@debug"},
    {"lodTest", "/settings/renderEngine/setLOD"},
    {"wireframe", "/settings/renderEngine/wireframe"},
    {"exportRoot", "/settings/exports/@rootDirectory"},
    {"exportLores", "/settings/exports/loresTextures/@subdirectory"},
    {"exportMaterials", "/settings/exports/materials/@subdirectory"},
    {"exportBumpmap", "/settings/exports/bumpMap/@subdirectory"},
    {"exportNoisemap", "/settings/exports/noiseMap/@subdirectory"},
    {"forward", "/settings/keys/forward"},
    {"backward", "/settings/keys/backward"},
    {"right", "/settings/keys/right"},
    {"left", "/settings/keys/left"},
    {"rotateR", "/settings/keys/rotateRight"},
    {"rotateL", "/settings/keys/rotateLeft"},
    {"mediaDir", "/settings/mediaDirectory"},
    {"cursorModel", "/settings/renderEngine/cursorModel"},
    {"cursorScale", "/settings/renderEngine/cursorModel/@scale"},
    {"", ""},
};

constexpr const char* kBrushesXPath = "/settings/landEdit/brushes/brush";

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string trimmed(const std::string& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && isSpace(s[b])) ++b;
    while (e > b && isSpace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// The texts under `root` in document order. A walk, not a recursion: a file may nest
// elements deeper than any stack.
void appendText(const pugi::xml_node& root, std::string& out) {
    pugi::xml_node node = root.first_child();
    while (node) {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) out += node.value();
        if (node.type() == pugi::node_element && node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (!node.next_sibling()) {
            node = node.parent();
            if (!node || node == root) return;
        }
        node = node.next_sibling();
    }
}

// The text of a selected node: an attribute's value, a text node's value, or the text of an
// element and its descendants. Element texts lose the white space at both ends, the way
// indented files are read by DOM text properties without preserved white space.
std::string nodeText(const pugi::xpath_node& hit) {
    if (hit.attribute()) return hit.attribute().value();
    const pugi::xml_node node = hit.node();
    if (!node) return {};
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) return node.value();
    std::string text;
    appendText(node, text);
    return trimmed(text);
}

// First node in document order, or an empty hit. Throws on an invalid expression.
pugi::xpath_node selectFirst(const pugi::xml_node& context, const std::string& xpath) {
    return context.select_node(xpath.c_str());
}

locale_t cNumericLocale() {
    static const locale_t loc = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

}  // namespace

struct CSettings::Document {
    pugi::xml_document doc;
    pugi::xpath_node_set nodes;
    int index = 0;
    pugi::xpath_node current;
};

std::string defaultSettingsPath() {
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::current_path(ec);
    if (ec) dir = ".";
    return (dir / kSettingsFileName).string();
}

CSettings::CSettings(UserMessages& messages, BrushBitmapLoader loader)
    : CSettings(messages, defaultSettingsPath(), std::move(loader)) {}

CSettings::CSettings(UserMessages& messages, const std::string& path, BrushBitmapLoader loader)
    : m_path(path), m_doc(std::make_unique<Document>()) {
    if (!loader) loader = [](const std::string&) { return BrushBitmap{}; };
    load(messages, loader);
}

CSettings::~CSettings() = default;

void CSettings::load(UserMessages& messages, const BrushBitmapLoader& loader) {
    try {
        const pugi::xml_parse_result parsed = m_doc->doc.load_file(m_path.c_str());
        if (!parsed) {
            // A half-parsed document would answer some values and not others; keep none.
            m_doc->doc.reset();
            messages.error("Error Loading the file " + m_path +
                           " please verify that the file exists and the syntax is ok by loadign "
                           "the file with IE");
            return;
        }
        m_fileLoaded = true;

        for (const NameEntry& e : kNameTable) {
            if (e.name[0] == '\0') break;
            m_names.emplace(e.name, e.xpath);
        }

        m_brushes.clear();
        const std::string mediaDir = GetValue("mediaDir");
        const int count = SelectNodes(kBrushesXPath);
        for (int k = 0; k < count; ++k) {
            if (NextNode() < 0) break;
            CBrushDef brush;
            brush.bmp = GetNodeValue("./@bmp");
            brush.name = GetNodeValue("./@name");
            brush.tip = GetNodeValue("./@tip");
            brush.params = parseBrushNumbers(GetNodeValue("./."));
            // The path is joined as written; a missing or unreadable picture is not reported.
            brush.bitmap = loader(mediaDir + "/" + brush.bmp);
            m_brushes.push_back(std::move(brush));
        }
        EndNodes();
    } catch (const std::exception&) {
        EndNodes();
        messages.error("Exception in reading the ini file");
    }
}

std::string CSettings::xpathFor(const std::string& shortName) const {
    auto it = m_names.find(shortName);
    return it == m_names.end() ? std::string() : it->second;
}

std::string CSettings::GetValue(const std::string& name) {
    auto cached = m_cache.find(name);
    if (cached != m_cache.end()) return cached->second;

    std::string xpath = name;
    if (name.empty() || name[0] != '/') {
        auto it = m_names.find(name);
        if (it != m_names.end()) xpath = it->second;
    }

    std::string value;
    try {
        value = nodeText(selectFirst(m_doc->doc, xpath));
    } catch (const std::exception&) {
        // An expression the XPath engine refuses reads as an absent setting.
        value.clear();
    }
    m_cache.emplace(name, value);
    return value;
}

int CSettings::SelectNodes(const std::string& xpath) {
    EndNodes();
    try {
        m_doc->nodes = m_doc->doc.select_nodes(xpath.c_str());
    } catch (const std::exception&) {
        m_doc->nodes = pugi::xpath_node_set();
    }
    m_doc->index = 0;
    return static_cast<int>(m_doc->nodes.size());
}

int CSettings::NextNode() {
    m_doc->current = pugi::xpath_node();
    if (m_doc->index < 0 || static_cast<std::size_t>(m_doc->index) >= m_doc->nodes.size())
        return -1;
    m_doc->current = m_doc->nodes[static_cast<std::size_t>(m_doc->index)];
    return ++m_doc->index;
}

std::string CSettings::GetNodeValue(const std::string& relativeXPath) {
    const pugi::xpath_node& current = m_doc->current;
    if (!current) return {};
    // Attributes cannot be a context in pugixml; their only useful relative path is "." .
    if (current.attribute()) return relativeXPath == "." ? nodeText(current) : std::string();
    try {
        return nodeText(selectFirst(current.node(), relativeXPath));
    } catch (const std::exception&) {
        return {};
    }
}

void CSettings::EndNodes() {
    m_doc->current = pugi::xpath_node();
    m_doc->nodes = pugi::xpath_node_set();
    m_doc->index = 0;
}

std::array<float, 10> parseBrushNumbers(const std::string& text) {
    std::array<float, 10> params{};
    std::string rest = trimmed(text);
    for (float& p : params) {
        const std::size_t space = rest.size() > 1 ? rest.find(' ', 1) : std::string::npos;
        if (space != std::string::npos) {
            p = static_cast<float>(textToDouble(rest.substr(0, space)));
            rest = trimmed(rest.substr(space + 1));
        } else if (!rest.empty()) {
            p = static_cast<float>(textToDouble(rest));
        }
    }
    return params;
}

std::int32_t textToInt(const std::string& text) {
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

double textToDouble(const std::string& text) {
    // The C locale keeps "1.35" a number whatever the user's locale says about commas.
    const locale_t loc = cNumericLocale();
    return loc ? strtod_l(text.c_str(), nullptr, loc) : std::strtod(text.c_str(), nullptr);
}

}  // namespace lnd
