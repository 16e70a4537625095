// Operations on a land's country table that the country dialogs and the command-line editor
// share: the pictures of materials, blends and countries, stepping through tables, setting one
// country over the whole land and storing an edited blend table.
//
// Pictures are 256 x 256 colour values with red in the lowest byte, then green, then blue,
// rows top first.
#pragma once

#include "base/result.h"
#include "land/land.h"
#include "format/lnd_format.h"

#include <cstdint>
#include <span>
#include <vector>

namespace lnd {

inline constexpr int kCountryPictureSide = 256;
using CountryPicture = std::vector<std::uint32_t>;   // kCountryPictureSide squared

inline constexpr const char* kSetAllQuestion = "Are you sure?";
inline constexpr const char* kSetAllCaption = "set the isle to this country";

// A material texel's 5-bit channels shown as 8 bits (v becomes 8 v).
struct Rgb8 {
    int r = 0, g = 0, b = 0;
};
Rgb8 texelRgb(std::uint16_t texel);

// The material as it is stored.
CountryPicture materialPicture(const TLndMaterial& material);
// Each channel (a c + b (255 - c)) / 256 with a from `first`, b from `second`, c the weight.
CountryPicture blendPicture(const TLndMaterial& first, const TLndMaterial& second, int weight);
// Line y blends row y of the entry for altitude 255 - y: its mat1 weighted by coef against its
// mat2, so altitude 0 is the bottom line. Material numbers the land does not hold give black.
CountryPicture countryPicture(const TLndCountry& country, std::span<const TLndMaterial> materials);

// The index after (`step` +1) or before (-1) `current` in a table of `count` entries, wrapping
// around; `current` itself when the table is empty.
int steppedIndex(int current, int count, int step);

// Gives every cell of every block country `k` in its CountryIndex bits (the other flag bits
// stay), drops every block texture and the table so they are made again on demand, tells the
// hooks about every block and marks the land modified. Nothing changes when no land is held
// (NotPossible) or `k` is not a country of the land (BadInput).
Result setCountryEverywhere(CLand& land, int k);

// Every block's texture is stale (a blend table or material changed): releases them all and
// tells whoever keeps state about blocks.
void allBlocksEdited(CLand& land);

// Writes an edited blend table over country `index` (its leading field kept), releases every
// block texture so the synthesis picks the change up and marks the land modified. BadInput,
// and nothing changed, when `index` is not a country of the land.
Result storeCountry(CLand& land, int index, const TLndCountry& edited);

}  // namespace lnd
