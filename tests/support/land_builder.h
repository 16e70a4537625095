// Builds landscape file images in memory for tests: blocks on chosen squares, countries,
// materials and low-resolution records, every opaque byte filled with a recognisable pattern
// so round trips can be checked byte for byte.
#pragma once

#include "format/lnd_format.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lndtest {

class LandBuilder {
public:
    using BlockFill = std::function<void(lnd::TLndBlock&)>;

    // A block on grid square (gx, gz). Block numbers follow the order of the calls (1, 2, ...).
    // The block gets MapX/MapZ/GridX/GridZ of its square, a deterministic altitude pattern,
    // country 0, the low-resolution tile of its position, and patterned opaque bytes; `fill`
    // may then change anything.
    LandBuilder& block(int gx, int gz, BlockFill fill = {});
    // A block record that no square refers to.
    LandBuilder& orphanBlock(BlockFill fill = {});
    LandBuilder& countries(int n);
    LandBuilder& materials(int n);
    LandBuilder& loResTextures(int n);
    // Overrides applied to the header after it is assembled (e.g. broken counts).
    LandBuilder& header(std::function<void(lnd::TLndHeader&)> edit);

    // The file image in plain form.
    std::vector<std::uint8_t> build() const;

    // Writes the image to a file; returns the path.
    std::string writeTo(const std::string& path) const;

    // Deterministic fill shared with tests that want to predict values.
    static std::uint8_t altitudeAt(int gx, int gz, int i, int j);

private:
    struct PendingBlock {
        int gx;
        int gz;
        bool onGrid;
        BlockFill fill;
    };
    std::vector<PendingBlock> m_blocks;
    int m_countries = 1;
    int m_materials = 1;
    int m_loRes = 1;
    std::vector<std::function<void(lnd::TLndHeader&)>> m_headerEdits;
};

// A unique scratch directory under the system temporary directory, removed on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::vector<std::uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace lndtest
