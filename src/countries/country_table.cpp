#include "countries/country_table.h"

#include <algorithm>
#include <cstring>

namespace lnd {

namespace {

std::uint32_t colour(int r, int g, int b) {
    return std::uint32_t(r) | (std::uint32_t(g) << 8) | (std::uint32_t(b) << 16);
}

int mix(int a, int b, int c) { return (a * c + b * (255 - c)) / 256; }

const TLndMaterial* materialAt(std::span<const TLndMaterial> materials, std::int32_t m) {
    return m >= 0 && std::size_t(m) < materials.size() ? &materials[std::size_t(m)] : nullptr;
}

std::uint32_t blendTexel(const TLndMaterial* first, const TLndMaterial* second, int weight, int row, int column) {
    const Rgb8 a = first ? texelRgb(first->Texels[row][column]) : Rgb8{};
    const Rgb8 b = second ? texelRgb(second->Texels[row][column]) : Rgb8{};
    return colour(mix(a.r, b.r, weight), mix(a.g, b.g, weight), mix(a.b, b.b, weight));
}

}  // namespace

Rgb8 texelRgb(std::uint16_t texel) {
    return {8 * ((texel >> 10) & 31), 8 * ((texel >> 5) & 31), 8 * (texel & 31)};
}

CountryPicture materialPicture(const TLndMaterial& material) {
    CountryPicture picture(std::size_t(kCountryPictureSide) * kCountryPictureSide);
    for (int y = 0; y < kCountryPictureSide; ++y)
        for (int x = 0; x < kCountryPictureSide; ++x) {
            const Rgb8 c = texelRgb(material.Texels[y][x]);
            picture[std::size_t(y) * kCountryPictureSide + std::size_t(x)] = colour(c.r, c.g, c.b);
        }
    return picture;
}

CountryPicture blendPicture(const TLndMaterial& first, const TLndMaterial& second, int weight) {
    weight = std::clamp(weight, 0, 255);
    CountryPicture picture(std::size_t(kCountryPictureSide) * kCountryPictureSide);
    for (int y = 0; y < kCountryPictureSide; ++y)
        for (int x = 0; x < kCountryPictureSide; ++x)
            picture[std::size_t(y) * kCountryPictureSide + std::size_t(x)] = blendTexel(&first, &second, weight, y, x);
    return picture;
}

CountryPicture countryPicture(const TLndCountry& country, std::span<const TLndMaterial> materials) {
    CountryPicture picture(std::size_t(kCountryPictureSide) * kCountryPictureSide);
    for (int y = 0; y < kCountryPictureSide; ++y) {
        const TLndCoef& e = country.Coefs[255 - y];
        const TLndMaterial* first = materialAt(materials, e.mat1);
        const TLndMaterial* second = materialAt(materials, e.mat2);
        // A weight outside 0..255 in a foreign file would overflow the blend.
        const int weight = std::clamp<std::int32_t>(e.coef, 0, 255);
        for (int x = 0; x < kCountryPictureSide; ++x)
            picture[std::size_t(y) * kCountryPictureSide + std::size_t(x)] = blendTexel(first, second, weight, y, x);
    }
    return picture;
}

int steppedIndex(int current, int count, int step) {
    if (count <= 0) return current;
    const long long next = (static_cast<long long>(current) + step) % count;
    return int(next < 0 ? next + count : next);
}

void allBlocksEdited(CLand& land) {
    std::vector<int> all(std::size_t(std::max(land.numBlocks(), 0)));
    for (std::size_t b = 0; b < all.size(); ++b) all[b] = int(b);
    land.textures().dropAllBlocks();
    land.blocksEdited(all);
}

Result setCountryEverywhere(CLand& land, int k) {
    if (!land.hasImage()) return Result::failure(Status::NotPossible, "no land is held");
    if (k < 0 || k >= land.numCountries() || k > int(kCountryMask))
        return Result::failure(Status::BadInput, "the land has no country " + std::to_string(k) + " (it has " +
                                                     std::to_string(land.numCountries()) + ")");
    for (TLndBlock& block : land.blocks())
        for (auto& row : block.Cells)
            for (TLndCell& cell : row)
                cell.CellFlags = std::uint16_t((cell.CellFlags & ~kCountryMask) | std::uint16_t(k));
    allBlocksEdited(land);
    land.textures().blocks().drop();
    land.markModified();
    return Result::success();
}

Result storeCountry(CLand& land, int index, const TLndCountry& edited) {
    if (index < 0 || index >= land.numCountries())
        return Result::failure(Status::BadInput, "the land has no country " + std::to_string(index) + " (it has " +
                                                     std::to_string(land.numCountries()) + ")");
    TLndCountry& target = land.countries()[std::size_t(index)];
    const std::int32_t leading = target.Index;
    std::memcpy(&target, &edited, sizeof target);
    target.Index = leading;
    allBlocksEdited(land);
    land.markModified();
    return Result::success();
}

}  // namespace lnd
