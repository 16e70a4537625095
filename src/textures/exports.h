// Exports of the pictures and the country table held in a land, and the noise-map import.
//
// Each export writes every file it can and returns the first failure with its reason (a
// texture that cannot be made, a folder that cannot be made, a file that cannot be written);
// the editor ignores it, as it always has, while lndtool reports it. The noise import shows
// nothing itself: it returns why it refused, and noiseRefusalText gives the shells their texts.
#pragma once

#include "base/result.h"

#include <string>

namespace lnd {

class CLand;
class DeviceTexture;

// The land name of a path: the text between the last "/" or "\" before the last "." and that
// dot (empty with no dot). False when the dot or that separator is the path's first character.
bool landNameOf(const std::string& path, std::string& name);

// Saves `texture` as root + land name + "/" + subdir + "/" + fileName (BMP), making the
// directories on the way; fixes m_exportDir on its first call after a load. NotPossible when
// the land name cannot be derived (nothing is written); otherwise the first folder or file
// failure, with the system's reason.
Result ExportTexture(CLand& land, const std::string& root, const std::string& subdir, const std::string& fileName,
                     const DeviceTexture& texture);

// The once-per-land exports run by the first synthesis (each sets its flag, whatever follows).
Result ExportMaterials(CLand& land);   // "Material%d.bmp" and countries.xml
Result ExportNoiseMap(CLand& land);    // "Noise.bmp"
Result ExportBumpMap(CLand& land);     // "bump.bmp"
// "LRTexture%d.bmp" of every low-resolution texture: those the land holds on the device when
// its table is made, otherwise made from the records as opening the land makes them. Nothing
// without an export root or an `exportLores` setting.
Result ExportLoResTextures(CLand& land);

// Replaces the noise map with a 256 x 256 image read from `path` ((red + green + blue) / 3 of
// every pixel; paletted images through their palette). On success every block texture is
// emptied and m_modified set. Refused, with the noise map and the block textures untouched:
// a picture that cannot be read (the reader's Result), one of another size (BadInput at the
// header's width field), or no land held (NotPossible).
Result ImportNoiseMap(CLand& land, const std::string& path);

// What the shells show for a refused noise import: the unreadable picture's text with the
// error icon, or the wrong size's text in a plain box. Empty text for no land (nothing shown).
inline constexpr const char* kNoiseUnreadableText = "the bitmap doesnt have the correct format to be used as noise bitmap";
struct NoiseRefusalText {
    std::string text;
    bool errorIcon = false;
};
NoiseRefusalText noiseRefusalText(const Result& refused, const std::string& path);

}  // namespace lnd
