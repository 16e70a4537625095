// Importing one country, with the materials it uses, from another land's exported
// "countries.xml": finding the exported lands, reading a country out of a file, and
// appending the country and its materials to the open land.
//
// Nothing here builds a query from file text: a country is chosen by comparing id texts.
// Material names from the file become file names only when they stay inside the materials
// folder. A refused import leaves the land image exactly as it was. Nothing here speaks to
// the user: failures come back as Results whose messages are the texts the shells show.
#pragma once

#include "base/result.h"
#include "countries/countries_xml.h"
#include "land/land.h"

#include <string>
#include <vector>

namespace lnd {

inline constexpr const char* kTooManyCountriesMessage = "A land cannot have more than 15 countries";
inline constexpr const char* kCountriesFileName = "countries.xml";

// "Error Loading the file " + path + " please verify ..." as the user sees it.
std::string countriesLoadErrorText(const std::string& path);

// The directory the program started in (taken when the program starts) and a path resolved
// against it: white space trimmed at both ends, and a path beginning with "." taken relative
// to the start directory ("./x" becomes "<start>/./x").
const std::string& startDirectory();
void setStartDirectory(const std::string& dir);   // for tests and programs started elsewhere
std::string resolveFromStart(const std::string& path);

// The land name of a path: the text between the last slash or backslash and the last ".";
// empty when the path has no "." or starts with it.
std::string landNameOf(const std::string& landPath);

// Directories under the export root whose names have no extension, in name order, without
// "." and ".." and without `currentLand` (compared without regard to case). Empty when the
// root cannot be listed.
std::vector<std::string> exportedLands(const std::string& exportRoot, const std::string& currentLand);

// The materials folder of an exported land: exportRoot + land + "/" + materials subfolder
// (a separator is put after the root when it has none).
std::string materialsDirOf(const std::string& exportRoot, const std::string& land,
                           const std::string& materialsSubdir);

// True when a material name from a file may become a file name in the materials folder: not
// empty, and no "/", "\", ".." or drive (":").
bool safeMaterialName(const std::string& name);

// The file of material `name` in `dir`: name + ".bmp", found without regard to letter case;
// the exact spelling when nothing matches.
std::string materialFilePath(const std::string& dir, const std::string& name);

// Reads a material bitmap into the 5:5:5 texels of a material record: scaled to 256 x 256 by
// nearest texel when it has another size, paletted images through their palette. The
// reader's Result, and the record's texels black, when the file cannot be read. The head is
// set to 0 either way.
Result readMaterialImage(const std::string& path, TLndMaterial& out);

// What the import dialog hands to the import: the chosen country's coef elements and the
// folder its materials lie in.
struct CountryChoice {
    std::string materialsDir;
    std::vector<CoefElement> coefs;

    // The distinct material names in order of first use.
    std::vector<std::string> materialNames() const;
};

// The coef elements of the country `id` of a parsed file (ids compared as plain text).
CountryChoice chooseCountry(const CountriesFile& file, const std::string& id, const std::string& materialsDir);

// Success when the land may take one more country; otherwise NotPossible with
// kTooManyCountriesMessage.
Result canImportCountry(const CLand& land);

// Appends the chosen country as the land's last country and its k distinct materials after
// the land's materials, every section behind them moved up; the country's leading field is
// its new index and its materials are numbered from the old material count. Every block
// texture is released (cells whose country index lay past the old table now blend with the
// new country). Sets m_modified. Refused with the image untouched: no land (NotPossible,
// nothing for the user), the country limit (NotPossible), an unsafe material name (BadInput)
// or an image that cannot grow (OutOfMemory), each with the text the editor shows.
Result ImportCountry(CLand& land, const CountryChoice& choice);

// The whole import for a file and id, as the command-line editor runs it: the limit, the
// file loaded (the load error text, then the reason it was not read), an id the file does
// not hold refused, then ImportCountry.
Result ImportCountryFromFile(CLand& land, const std::string& countriesXmlPath, const std::string& id);

}  // namespace lnd
