// Writes the media files the shipped settings file refers to: one 64 x 64 picture per brush,
// drawn from the brush's own ring factors, and the cursor model.
//
//   make_default_media [SETTINGS [MEDIA_DIR]]
//
// SETTINGS defaults to Vostrel.settings.xml and MEDIA_DIR to the file's media directory, both
// taken from the working directory. Run it from the repository root after changing a brush.
#include "base/messages.h"
#include "base/settings.h"
#include "codec/bmp_writer.h"
#include "codec/image.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kSide = 64;
constexpr double kRadius = 30.0;
// The brush list treats this grey as transparent, so the disk never uses it.
constexpr unsigned char kBackground = 192;

struct Rgb {
    unsigned char r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
    auto ch = [t](unsigned char x, unsigned char y) {
        return static_cast<unsigned char>(std::lround(x + (y - x) * t));
    };
    return {ch(a.r, b.r), ch(a.g, b.g), ch(a.b, b.b)};
}

// Low ground dark green, middle brown, the top nearly white.
Rgb heightColour(double t) {
    const Rgb low{40, 80, 35}, mid{150, 115, 65}, high{250, 244, 232};
    return t < 0.5 ? mix(low, mid, t * 2.0) : mix(mid, high, (t - 0.5) * 2.0);
}

// Top view of the brush: each pixel coloured by the factor of the ring it falls in, rings
// numbered the way the altitude brush numbers them.
lnd::CImage32 brushPicture(const std::array<float, 10>& v) {
    float top = 0.0f;
    for (float f : v) top = std::max(top, std::fabs(f));
    lnd::CImage32 image(kSide, kSide);
    const double c = (kSide - 1) / 2.0;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const double d = std::hypot(x - c, y - c);
            Rgb colour{kBackground, kBackground, kBackground};
            if (d > kRadius + 1.0) {
                // outside: transparent grey
            } else if (d > kRadius - 0.5) {
                colour = {30, 30, 30};  // outline
            } else {
                const int ring = std::clamp(static_cast<int>(d * 10.0 / kRadius - 1.0), 0, 9);
                colour = heightColour(top > 0.0f ? std::fabs(v[std::size_t(ring)]) / top : 0.0);
            }
            std::uint8_t* p = image.pixel(x, y);
            p[0] = 255;
            p[1] = colour.r;
            p[2] = colour.g;
            p[3] = colour.b;
        }
    }
    return image;
}

// A downward-pointing cone, its tip at the origin, twelve units tall at the default scale.
std::string cursorObj() {
    constexpr int kSegments = 16;
    constexpr double kHeight = 2.0, kBase = 0.6;
    std::string obj = "# Cursor: a cone pointing down at the picked point\n";
    char line[128];
    obj += "v 0 0 0\n";
    obj += "v 0 " + std::to_string(kHeight) + " 0\n";
    for (int k = 0; k < kSegments; ++k) {
        const double a = 2.0 * 3.14159265358979323846 * k / kSegments;
        std::snprintf(line, sizeof line, "v %.5f %.5f %.5f\n", kBase * std::cos(a), kHeight,
                      kBase * std::sin(a));
        obj += line;
    }
    for (int k = 0; k < kSegments; ++k) {
        const int a = 3 + k, b = 3 + (k + 1) % kSegments;
        std::snprintf(line, sizeof line, "f 1 %d %d\nf 2 %d %d\n", b, a, a, b);
        obj += line;
    }
    return obj;
}

bool writeFile(const std::filesystem::path& path, const void* data, std::size_t size) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) std::fprintf(stderr, "make_default_media: cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string settingsPath = argc > 1 ? argv[1] : lnd::kSettingsFileName;
    lnd::StreamMessages messages("make_default_media");
    lnd::CSettings settings(messages, settingsPath,
                            [](const std::string&) { return lnd::BrushBitmap{}; });
    if (!settings.fileLoaded()) return 1;
    const std::string mediaDir = argc > 2 ? argv[2] : settings.GetValue("mediaDir");
    if (mediaDir.empty()) {
        std::fprintf(stderr, "make_default_media: the settings name no media directory\n");
        return 1;
    }

    bool ok = true;
    for (const lnd::CBrushDef& brush : settings.brushes()) {
        const std::vector<std::uint8_t> bmp = lnd::encodeBmp(brushPicture(brush.params), 24);
        ok = writeFile(std::filesystem::path(mediaDir) / brush.bmp, bmp.data(), bmp.size()) && ok;
    }
    const std::string model = settings.GetValue("cursorModel");
    if (!model.empty()) {
        const std::string obj = cursorObj();
        ok = writeFile(std::filesystem::path(mediaDir) / model, obj.data(), obj.size()) && ok;
    }
    return ok ? 0 : 1;
}
