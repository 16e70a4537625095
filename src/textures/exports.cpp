#include "textures/exports.h"

#include "base/messages.h"
#include "base/settings.h"
#include "countries/countries_xml.h"
#include "codec/dds.h"
#include "d3dframework/texture.h"
#include "land/land.h"
#include "codec/image_readers.h"
#include "textures/synthesis.h"

#include <filesystem>
#include <memory>
#include <system_error>

namespace lnd {

namespace {

void makeDirectory(const std::string& path) {
    std::error_code ignored;
    std::filesystem::create_directory(path, ignored);   // an existing directory is fine
}

// Fills the land's scratch image with a 256 x 256 picture: header, then `texel(t, px)`
// writing blue, green, red, alpha of texel t.
template <typename Fill>
void fillScratch(CLand& land, Fill texel) {
    land.textures().scratch().assign(kBlockImageSize, 0);
    std::uint8_t* image = land.textures().scratch().data();
    writeDdsHeader(image, DdsKind::Bgra32, 256, 256);
    std::uint8_t* px = image + kBlockImageHeaderSize;
    for (std::size_t t = 0; t < 256u * 256u; ++t, px += 4) texel(t, px);
}

// Makes a texture of the scratch image and exports it; a texture that cannot be made is
// skipped silently.
void exportScratch(CLand& land, const std::string& subdir, const std::string& fileName) {
    std::unique_ptr<DeviceTexture> texture;
    if (deviceFailed(createTextureFromMemory(land.textures().scratch().data(), kBlockImageSize, texture))) return;
    ExportTexture(land, land.m_exportRoot, subdir, fileName, *texture);
}

void exportGrey(CLand& land, const char* setting, bool& flag, const std::uint8_t* values, const char* fileName) {
    const std::string subdir = landSetting(land, setting);
    flag = true;
    if (subdir.empty() || !values) return;
    fillScratch(land, [&](std::size_t t, std::uint8_t* px) {
        px[0] = px[1] = px[2] = values[t];
        px[3] = 255;
    });
    exportScratch(land, subdir, fileName);
}

}  // namespace

std::string landSetting(CLand& land, const char* name) {
    return land.m_settings ? land.m_settings->GetValue(name) : std::string();
}

bool landNameOf(const std::string& path, std::string& name) {
    name.clear();
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos) return true;
    if (dot == 0) return false;
    const std::size_t sep = path.find_last_of("/\\", dot);
    if (sep == 0) return false;
    const std::size_t start = sep == std::string::npos ? 0 : sep + 1;
    name = path.substr(start, dot - start);
    return true;
}

int ExportTexture(CLand& land, const std::string& root, const std::string& subdir, const std::string& fileName,
                  const DeviceTexture& texture) {
    if (land.m_exportDir.empty()) {
        std::string name;
        if (!landNameOf(land.m_landPath, name)) return -1;
        land.m_exportDir = root + name + "/";
    }
    const std::string dir = land.m_exportDir + subdir + "/";
    makeDirectory(root);
    makeDirectory(land.m_exportDir);
    makeDirectory(dir);
    saveTextureToBmp(dir + fileName, texture);
    return 0;
}

void ExportMaterials(CLand& land) {
    const std::string subdir = landSetting(land, "exportMaterials");
    land.m_materialsExported = true;
    if (subdir.empty() || !land.hasImage()) return;
    const std::span<TLndMaterial> materials = land.materials();
    for (std::size_t m = 0; m < materials.size(); ++m) {
        const TLndMaterial& material = materials[m];
        fillScratch(land, [&](std::size_t t, std::uint8_t* px) {
            const std::uint16_t texel = material.Texels[t >> 8][t & 0xFF];
            px[0] = expandChannel5(texel);
            px[1] = expandChannel5(texel >> 5);
            px[2] = expandChannel5(texel >> 10);
            px[3] = 255;
        });
        exportScratch(land, subdir, "Material" + std::to_string(m) + ".bmp");
    }
    // Beside the materials, even when none was written (the path is then relative).
    writeCountriesXml(land.m_exportDir + subdir + "/countries.xml", land.countries());
}

void ExportNoiseMap(CLand& land) {
    const TLndNoiseMap* map = land.hasImage() ? land.noiseMap() : nullptr;
    exportGrey(land, "exportNoisemap", land.m_noiseExported, map ? &map->Values[0][0] : nullptr, "Noise.bmp");
}

void ExportBumpMap(CLand& land) {
    const TLndBumpMap* map = land.hasImage() ? land.bumpMap() : nullptr;
    exportGrey(land, "exportBumpmap", land.m_bumpExported, map ? &map->Values[0][0] : nullptr, "bump.bmp");
}

int ImportNoiseMap(CLand& land, const std::string& path) {
    std::unique_ptr<CImageBase> image;
    if (ReadImageFile(path, image) != kImageOk || !image) {
        if (land.m_messages) land.m_messages->error("the bitmap doesnt have the correct format to be used as noise bitmap");
        return -1;
    }
    if (image->width() != 256 || image->height() != 256) {
        if (land.m_messages)
            land.m_messages->plain("The bitmap " + path + " doesnt have the  correct format for this function");
        return -1;
    }
    if (!land.hasImage()) return -1;
    // A paletted picture gives its colours through the palette, never its indices as pixels.
    CImage32 converted;
    const CImage32* pixels = nullptr;
    if (image->kind() == CImage32::kKind) {
        pixels = static_cast<const CImage32*>(image.get());
    } else {
        converted = toImage32(static_cast<const CImage8&>(*image));
        pixels = &converted;
    }
    TLndNoiseMap& noise = *land.noiseMap();
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) {
            const std::uint8_t* p = pixels->pixel(c, r);   // alpha, red, green, blue
            noise.Values[r][c] = std::uint8_t((unsigned(p[1]) + p[2] + p[3]) / 3);
        }
    land.textures().dropAllBlocks();
    land.m_modified = true;
    return 0;
}

}  // namespace lnd
