// Exports of the pictures and the country table held in a land, and the noise-map import.
//
// Exports never report failures: a texture that cannot be made is skipped, directories that
// cannot be made and files that cannot be written are ignored. Only the noise import speaks.
#pragma once

#include <string>

namespace lnd {

class CLand;
class DeviceTexture;

// A setting's text through the land's settings object; empty when the land has none.
std::string landSetting(CLand& land, const char* name);

// The land name of a path: the text between the last "/" or "\" before the last "." and that
// dot (empty with no dot). False when the dot or that separator is the path's first character.
bool landNameOf(const std::string& path, std::string& name);

// Saves `texture` as root + land name + "/" + subdir + "/" + fileName (BMP), making the
// directories on the way; fixes m_exportDir on its first call after a load. Returns 0, or -1
// when the land name cannot be derived.
int ExportTexture(CLand& land, const std::string& root, const std::string& subdir, const std::string& fileName,
                  const DeviceTexture& texture);

// The once-per-land exports run by the first synthesis (each sets its flag, whatever follows).
void ExportMaterials(CLand& land);   // "Material%d.bmp" and countries.xml
void ExportNoiseMap(CLand& land);    // "Noise.bmp"
void ExportBumpMap(CLand& land);     // "bump.bmp"

// Replaces the noise map with a 256 x 256 image read from `path` ((red + green + blue) / 3 of
// every pixel; paletted images through their palette). Refused with a message and no change
// for any other image. On success every block texture is emptied and m_modified set.
// Returns 0 or -1.
int ImportNoiseMap(CLand& land, const std::string& path);

}  // namespace lnd
