#include "support/land_builder.h"
#include "land/lores_record.h"

#include "format/lnd_file.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace lndtest {

using namespace lnd;

namespace {

void pattern(std::uint8_t* p, std::size_t n, std::uint32_t seed) {
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (std::size_t k = 0; k < n; ++k) {
        x = x * 1103515245u + 12345u;
        p[k] = static_cast<std::uint8_t>(x >> 16);
    }
}

}  // namespace

std::uint8_t LandBuilder::altitudeAt(int gx, int gz, int i, int j) {
    // Continuous across block borders: a function of the world cell position.
    const int x = gx * 16 + i;
    const int z = gz * 16 + j;
    return static_cast<std::uint8_t>((x * 3 + z * 5 + (x * z) % 7) & 0xFF);
}

LandBuilder& LandBuilder::block(int gx, int gz, BlockFill fill) {
    m_blocks.push_back({gx, gz, true, std::move(fill)});
    return *this;
}

LandBuilder& LandBuilder::orphanBlock(BlockFill fill) {
    m_blocks.push_back({0, 0, false, std::move(fill)});
    return *this;
}

LandBuilder& LandBuilder::countries(int n) { m_countries = n; return *this; }
LandBuilder& LandBuilder::materials(int n) { m_materials = n; return *this; }
LandBuilder& LandBuilder::loResTextures(int n) { m_loRes = n; return *this; }

LandBuilder& LandBuilder::header(std::function<void(TLndHeader&)> edit) {
    m_headerEdits.push_back(std::move(edit));
    return *this;
}

std::vector<std::uint8_t> LandBuilder::build() const {
    TLndHeader header{};
    pattern(reinterpret_cast<std::uint8_t*>(&header), sizeof header, 1);
    std::memset(header.BlockIndex, 0, sizeof header.BlockIndex);
    header.BlockSize = 2520;
    header.MaterialSize = 131074;
    header.CountrySize = 3076;

    std::vector<TLndLoResTex> loRes(static_cast<std::size_t>(m_loRes));
    for (int k = 0; k < m_loRes; ++k) {
        pattern(reinterpret_cast<std::uint8_t*>(&loRes[k]), kLoResTexSize, 100 + k);
        initLoResRecord(loRes[k]);
    }

    std::vector<TLndBlock> blocks(m_blocks.size());
    for (std::size_t b = 0; b < m_blocks.size(); ++b) {
        const PendingBlock& pb = m_blocks[b];
        TLndBlock& blk = blocks[b];
        pattern(reinterpret_cast<std::uint8_t*>(&blk), kBlockSize, 1000 + std::uint32_t(b));
        for (int i = 0; i < kCellsPerSide; ++i)
            for (int j = 0; j < kCellsPerSide; ++j) {
                TLndCell& c = blk.Cells[i][j];
                c.Altitude = altitudeAt(pb.gx, pb.gz, i, j);
                c.CellFlags = 0;
            }
        blk.BlockNumber = std::int32_t(b + 1);
        blk.MapX = 160.0f * float(pb.gx);
        blk.MapZ = 160.0f * float(pb.gz);
        blk.GridX = pb.gx;
        blk.GridZ = pb.gz;
        const int tile = int(b) % 16;
        blk.LoResTexture = m_loRes > 0 ? std::int32_t((b / 16) % std::size_t(m_loRes)) : 0;
        blk.LoResX = (tile % 4) * 64;
        blk.LoResY = (tile / 4) * 64;
        if (pb.onGrid) header.BlockIndex[pb.gx][pb.gz] = static_cast<std::uint8_t>(b + 1);
        if (pb.fill) pb.fill(blk);
    }

    std::vector<TLndCountry> countries(static_cast<std::size_t>(m_countries));
    for (int c = 0; c < m_countries; ++c) {
        countries[c].Index = c;
        for (int h = 0; h < 256; ++h) {
            countries[c].Coefs[h].mat1 = m_materials > 0 ? (h / 64 + c) % m_materials : 0;
            countries[c].Coefs[h].mat2 = m_materials > 0 ? (h / 64 + c + 1) % m_materials : 0;
            countries[c].Coefs[h].coef = 255 - h;
        }
    }
    std::vector<TLndMaterial> materials(static_cast<std::size_t>(m_materials));
    for (int m = 0; m < m_materials; ++m)
        pattern(reinterpret_cast<std::uint8_t*>(&materials[m]), kMaterialSize, 5000 + m);
    TLndNoiseMap noise;
    pattern(&noise.Values[0][0], kNoiseMapSize, 7);
    TLndBumpMap bump;
    pattern(&bump.Values[0][0], kBumpMapSize, 8);

    LndParts parts;
    parts.header = header;
    parts.loRes = loRes;
    parts.blocks = blocks;
    parts.countries = countries;
    parts.materials = materials;
    parts.noiseMap = &noise;
    parts.bumpMap = &bump;
    std::vector<std::uint8_t> image = writePlain(parts);
    if (!m_headerEdits.empty()) {
        TLndHeader& h = *recordAt<TLndHeader>(image.data(), 0);
        for (const auto& edit : m_headerEdits) edit(h);
    }
    return image;
}

std::string LandBuilder::writeTo(const std::string& path) const {
    writeBytes(path, build());
    return path;
}

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "lndtest-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    m_path = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace lndtest
