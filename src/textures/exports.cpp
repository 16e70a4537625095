#include "textures/exports.h"

#include "base/file_io.h"
#include "base/settings.h"
#include "codec/bmp_writer.h"
#include "codec/dds.h"
#include "codec/image_readers.h"
#include "countries/countries_xml.h"
#include "d3dframework/texture.h"
#include "land/land.h"
#include "land/lores_record.h"
#include "textures/synthesis.h"

#include <cerrno>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>

namespace lnd {

namespace {

// Keeps the first failure of a run of writes that all go ahead.
void keepFirst(Result& first, const Result& next) {
    if (first.ok() && !next.ok()) first = next;
}

// Makes one folder; an existing folder is fine.
Result makeDirectory(const std::string& path) {
    if (path.empty()) return Result::success();
    std::error_code ec;
    if (std::filesystem::create_directory(path, ec) || !ec) return Result::success();
    std::error_code isDir;
    if (std::filesystem::is_directory(path, isDir)) return Result::success();
    if (ec.value() == EEXIST)
        return Result::failure(Status::CannotCreate,
                               "cannot make the folder " + path + ": a file of that name is in the way", EEXIST);
    return Result::failure(Status::CannotCreate, "cannot make the folder " + path + ": " + ec.message(), ec.value());
}

// Level 0 of a texture as a 24-bit BMP file, written atomically.
Result saveBmp(const std::string& path, const DeviceTexture& texture) {
    std::vector<std::uint8_t> argb;
    if (deviceFailed(readLevel0Argb(texture, argb)))
        return Result::failure(Status::BadInput, "cannot read the texture for " + path);
    std::vector<std::uint8_t> file;
    try {
        file = encodeBmp(argb.data(), int(texture.width()), int(texture.height()), std::size_t(texture.width()) * 4,
                         PixelOrder::Argb, 24);
    } catch (const std::bad_alloc&) {
        return Result::failure(Status::OutOfMemory, "out of memory encoding " + path);
    }
    if (file.empty()) return Result::failure(Status::BadInput, "the texture for " + path + " cannot be encoded");
    return writeFileAtomic(path, file);
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
// skipped (and reported).
Result exportScratch(CLand& land, const std::string& subdir, const std::string& fileName) {
    std::unique_ptr<DeviceTexture> texture;
    if (deviceFailed(createTextureFromMemory(land.textures().scratch().data(), kBlockImageSize, texture)))
        return Result::failure(Status::OutOfMemory, "cannot make the texture of " + fileName);
    return ExportTexture(land, land.exportRoot(), subdir, fileName, *texture);
}

Result exportGrey(CLand& land, const std::string& subdir, const std::uint8_t* values, const char* fileName) {
    if (subdir.empty() || !values) return Result::success();
    fillScratch(land, [&](std::size_t t, std::uint8_t* px) {
        px[0] = px[1] = px[2] = values[t];
        px[3] = 255;
    });
    return exportScratch(land, subdir, fileName);
}

// Where a picture file keeps its width, for a refusal of its size.
std::uint64_t widthFieldOffset(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const bool tga = dot != std::string::npos && path.size() - dot == 4 && (path[dot + 1] | 0x20) == 't' &&
                     (path[dot + 2] | 0x20) == 'g' && (path[dot + 3] | 0x20) == 'a';
    return tga ? 12 : 18;
}

}  // namespace

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

Result ExportTexture(CLand& land, const std::string& root, const std::string& subdir, const std::string& fileName,
                     const DeviceTexture& texture) {
    if (land.exportDir().empty()) {
        std::string name;
        if (!landNameOf(land.path(), name))
            return Result::failure(Status::NotPossible, "no land name can be derived from " + land.path());
        land.setExportDir(root + name + "/");
    }
    const std::string dir = land.exportDir() + subdir + "/";
    Result first;
    keepFirst(first, makeDirectory(root));
    keepFirst(first, makeDirectory(land.exportDir()));
    keepFirst(first, makeDirectory(dir));
    keepFirst(first, saveBmp(dir + fileName, texture));
    return first;
}

Result ExportMaterials(CLand& land) {
    const std::string& subdir = land.exportSettings().materials;
    land.setMaterialsExported(true);
    if (subdir.empty() || !land.hasImage()) return Result::success();
    Result first;
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
        keepFirst(first, exportScratch(land, subdir, "Material" + std::to_string(m) + ".bmp"));
    }
    // Beside the materials, even when none was written (the path is then relative).
    keepFirst(first, writeCountriesXml(land.exportDir() + subdir + "/countries.xml", land.countries()));
    return first;
}

Result ExportNoiseMap(CLand& land) {
    const TLndNoiseMap* map = land.hasImage() ? land.noiseMap() : nullptr;
    land.setNoiseExported(true);
    return exportGrey(land, land.exportSettings().noiseMap, map ? &map->Values[0][0] : nullptr, "Noise.bmp");
}

Result ExportBumpMap(CLand& land) {
    const TLndBumpMap* map = land.hasImage() ? land.bumpMap() : nullptr;
    land.setBumpExported(true);
    return exportGrey(land, land.exportSettings().bumpMap, map ? &map->Values[0][0] : nullptr, "bump.bmp");
}

Result ExportLoResTextures(CLand& land) {
    const std::string& subdir = land.exportSettings().loRes;
    if (land.exportRoot().empty() || subdir.empty() || !land.hasImage()) return Result::success();
    const ResourceTable<TextureHandle>& table = land.textures().loRes();
    const std::span<TLndLoResTex> records = land.loResTex();
    Result first;
    for (std::size_t l = 0; l < records.size(); ++l) {
        const std::string fileName = "LRTexture" + std::to_string(l) + ".bmp";
        if (table.exists()) {
            // A texture the open could not make has no picture, as in the editor.
            if (table.has(l)) keepFirst(first, ExportTexture(land, land.exportRoot(), subdir, fileName, *table.at(l)));
            continue;
        }
        const std::vector<std::uint8_t> image = loResRecordDds(records[l]);
        std::unique_ptr<DeviceTexture> texture;
        if (deviceFailed(createTextureFromMemory(image.data(), image.size(), texture))) {
            keepFirst(first, Result::failure(Status::BadInput, "low-resolution texture " + std::to_string(l) +
                                                                   " cannot be made from its record"));
            continue;
        }
        keepFirst(first, ExportTexture(land, land.exportRoot(), subdir, fileName, *texture));
    }
    return first;
}

Result ImportNoiseMap(CLand& land, const std::string& path) {
    std::unique_ptr<CImageBase> image;
    if (Result r = readImageFile(path, image); !r) return r;
    if (image->width() != 256 || image->height() != 256)
        return Result::badInputAt(widthFieldOffset(path), path + " is " + std::to_string(image->width()) + " x " +
                                                              std::to_string(image->height()) +
                                                              " pixels; a noise map is 256 x 256");
    if (!land.hasImage()) return Result::failure(Status::NotPossible, "no land is held");
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
    land.markModified();
    return Result::success();
}

NoiseRefusalText noiseRefusalText(const Result& refused, const std::string& path) {
    if (refused.ok() || refused.status() == Status::NotPossible) return {};
    // Only the size refusal points into the picture's header; every reader failure comes
    // without an offset.
    if (refused.status() == Status::BadInput && refused.offset())
        return {"The bitmap " + path + " doesnt have the  correct format for this function", false};
    return {kNoiseUnreadableText, true};
}

}  // namespace lnd
