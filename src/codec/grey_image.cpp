// PNG decoding through stb_image, PNG only, compiled privately into this file.
#include "codec/grey_image.h"

#include "base/byte_order.h"
#include "base/file_io.h"
#include "codec/image_readers.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#if __has_include(<stb/stb_image.h>)
#include <stb/stb_image.h>
#else
#include <stb_image.h>
#endif
#pragma GCC diagnostic pop

namespace lnd {

namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct StbFree {
    void operator()(void* p) const { stbi_image_free(p); }
};

// Grey values from interleaved samples of `comp` channels (1 grey, 2 grey + alpha,
// 3 RGB, 4 RGBA).
template <typename Sample>
void toGrey(const Sample* samples, int comp, GreyImage& out) {
    const std::size_t n = std::size_t(out.width) * std::size_t(out.height);
    out.values.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        const Sample* p = samples + k * std::size_t(comp);
        out.values[k] = comp >= 3 ? std::uint16_t(luminance(p[0], p[1], p[2])) : std::uint16_t(p[0]);
    }
}

// The first `n` bytes of a file: 0 read, 1 cannot open, 2 too short.
int readHead(const std::string& path, std::uint8_t* head, std::size_t n) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return 1;
    const bool ok = std::fread(head, 1, n, f) == n;
    std::fclose(f);
    return ok ? 0 : 2;
}

}  // namespace

std::string greySizeProblem(long long width, long long height) {
    if (width <= 0 || height <= 0) return "the picture has no pixels";
    if (width > kMaxImageSide || height > kMaxImageSide || std::uint64_t(width) * std::uint64_t(height) > kMaxGreyPixels)
        return "the picture is too large (" + std::to_string(width) + " x " + std::to_string(height) +
               "; at most " + std::to_string(kMaxImageSide) + " pixels a side and 8192 x 8192 pixels in all)";
    return {};
}

Result decodePngGrey(std::span<const std::uint8_t> bytes, GreyImage& out) {
    out = GreyImage{};
    if (bytes.size() < sizeof kPngSignature || std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) != 0)
        return Result::badInputAt(0, "not a PNG file");
    if (bytes.size() > std::size_t(0x7FFFFFFF)) return Result::failure(Status::BadInput, "the file is too large");
    // The sides stand in the first chunk; read here so that an oversized picture is named as
    // such (the decoder's own limit reports it as an unknown kind of file).
    if (bytes.size() >= 24 && std::memcmp(bytes.data() + 12, "IHDR", 4) == 0) {
        const auto side = [&](std::size_t at) {
            return (std::uint32_t(bytes[at]) << 24) | (std::uint32_t(bytes[at + 1]) << 16) |
                   (std::uint32_t(bytes[at + 2]) << 8) | std::uint32_t(bytes[at + 3]);
        };
        const std::uint32_t w = side(16), h = side(20);
        if (std::string problem = greySizeProblem(w, h); !problem.empty()) return Result::badInputAt(16, problem);
    }
    const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
    const int length = int(bytes.size());
    int w = 0, h = 0, comp = 0;
    const auto decoderFailure = [](const char* what) {
        const char* reason = stbi_failure_reason();
        return Result::failure(Status::BadInput,
                               std::string(what) + (reason != nullptr ? std::string(" (") + reason + ")" : ""));
    };
    // The sides come from the header alone, before anything is allocated for the pixels.
    if (!stbi_info_from_memory(data, length, &w, &h, &comp)) return decoderFailure("unreadable PNG file");
    if (std::string problem = greySizeProblem(w, h); !problem.empty()) return Result::badInputAt(16, problem);
    GreyImage img;
    img.width = w;
    img.height = h;
    if (stbi_is_16_bit_from_memory(data, length)) {
        std::unique_ptr<stbi_us, StbFree> px(stbi_load_16_from_memory(data, length, &w, &h, &comp, 0));
        if (!px || w != img.width || h != img.height || comp < 1 || comp > 4) return decoderFailure("corrupt PNG file");
        img.bits = 16;
        toGrey(px.get(), comp, img);
    } else {
        std::unique_ptr<stbi_uc, StbFree> px(stbi_load_from_memory(data, length, &w, &h, &comp, 0));
        if (!px || w != img.width || h != img.height || comp < 1 || comp > 4) return decoderFailure("corrupt PNG file");
        img.bits = 8;
        toGrey(px.get(), comp, img);
    }
    out = std::move(img);
    return Result::success();
}

Result readGreyImageFile(const std::string& path, GreyImage& out) {
    out = GreyImage{};
    const std::string ext = lowerExtension(path);
    if (ext == ".png") {
        std::vector<std::uint8_t> bytes;
        if (Result r = readWholeFile(path, bytes, std::uint64_t(1) << 31); !r) return r;
        return decodePngGrey(bytes, out).within(path);
    }
    if (ext != ".bmp" && ext != ".tga")
        return Result::failure(Status::BadInput, path + ": unsupported picture type (use a .png, .bmp or .tga file)");
    // The sides from the header first, so that an oversized picture is refused before the
    // reader allocates for it.
    std::uint8_t head[26] = {};
    if (const int r = readHead(path, head, ext == ".bmp" ? 26 : 18); r != 0) {
        if (r == 1) {
            const int err = errno;
            return Result::failure(Status::IoFailed, "cannot open " + path + ": " + std::strerror(err), err);
        }
        return Result::badInputAt(0, path + ": the file is too short to be a picture");
    }
    long long w = 0, h = 0;
    if (ext == ".bmp") {
        w = std::int32_t(loadU32(head + 18));
        h = std::int32_t(loadU32(head + 22));
        if (h < 0) h = -h;
    } else {
        w = head[12] | head[13] << 8;
        h = head[14] | head[15] << 8;
    }
    if (std::string problem = greySizeProblem(w, h); !problem.empty())
        return Result::badInputAt(ext == ".bmp" ? 18 : 12, path + ": " + problem);
    std::unique_ptr<CImageBase> image;
    if (Result r = readImageFile(path, image); !r) return r;
    CImage32 colour;
    if (image->kind() == CImage32::kKind) colour = std::move(static_cast<CImage32&>(*image));
    else colour = toImage32(static_cast<const CImage8&>(*image));
    GreyImage img;
    img.width = colour.width();
    img.height = colour.height();
    img.bits = 8;
    img.values.resize(std::size_t(img.width) * std::size_t(img.height));
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const std::uint8_t* p = colour.pixel(x, y);   // alpha, red, green, blue
            img.values[std::size_t(y) * std::size_t(img.width) + std::size_t(x)] = std::uint16_t(luminance(p[1], p[2], p[3]));
        }
    out = std::move(img);
    return Result::success();
}

}  // namespace lnd
