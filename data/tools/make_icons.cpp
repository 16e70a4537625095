// make_icons OUT_DIR: draws the toolkit's icons into OUT_DIR/hicolor/<N>x<N>/{apps,mimetypes}/
// for every size a desktop asks for: Vostrel (an island in the sea over the land's block
// grid), Clayvane (a clay mound under a ring brush) and the land file (a page with an
// island). Each pixel averages 4 x 4 samples of the shapes, so small sizes stay smooth.
#include "base/file_io.h"
#include "codec/image.h"
#include "codec/png_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;
};

Rgba over(Rgba top, Rgba under) {
    const float a = top.a + under.a * (1 - top.a);
    if (a <= 0) return {};
    const auto mix = [&](float t, float u) { return (t * top.a + u * under.a * (1 - top.a)) / a; };
    return {mix(top.r, under.r), mix(top.g, under.g), mix(top.b, under.b), a};
}

Rgba rgb(int r, int g, int b, float a = 1) { return {r / 255.0f, g / 255.0f, b / 255.0f, a}; }

// Signed distance to a rounded square covering [m, 1 - m] with corner radius c.
float roundedSquare(float x, float y, float m, float c) {
    const float qx = std::fabs(x - 0.5f) - (0.5f - m - c), qy = std::fabs(y - 0.5f) - (0.5f - m - c);
    return std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - c;
}

// The island: a wobbly disc around (cx, cy) of radius r, shaded by height.
Rgba island(float x, float y, float cx, float cy, float r) {
    const float dx = x - cx, dy = y - cy;
    const float angle = std::atan2(dy, dx);
    const float edge = r * (1 + 0.13f * std::sin(3 * angle + 0.6f) + 0.07f * std::sin(5 * angle + 2.0f));
    const float d = std::hypot(dx, dy) / edge;   // 0 centre, 1 shore
    if (d > 1) return {};
    if (d > 0.86f) return rgb(232, 208, 140);             // sand
    if (d > 0.34f) return rgb(int(70 + 60 * d), int(150 - 20 * d), 60);   // grass, darker uphill
    if (d > 0.16f) return rgb(128, 100, 72);              // rock
    return rgb(246, 246, 250);                            // snow on the peak
}

Rgba vostrel(float x, float y) {
    Rgba c;
    if (roundedSquare(x, y, 0.04f, 0.16f) < 0) {
        c = rgb(int(30 + 40 * y), int(90 + 60 * y), int(170 + 40 * y));
        // The block grid of the land, faint over the sea.
        const float gx = std::fmod(x * 4, 1.0f), gy = std::fmod(y * 4, 1.0f);
        if (gx < 0.05f || gy < 0.05f) c = over(rgb(255, 255, 255, 0.18f), c);
        c = over(island(x, y, 0.5f, 0.52f, 0.33f), c);
    }
    return c;
}

Rgba clayvane(float x, float y) {
    Rgba c;
    if (roundedSquare(x, y, 0.04f, 0.16f) < 0) {
        c = rgb(int(70 + 30 * y), int(70 + 24 * y), int(84 + 20 * y));
        // The ground, and on it the mound: a half dome lit from the upper left.
        if (y > 0.76f) c = rgb(110, 84, 62);
        const float dx = (x - 0.5f) / 0.38f, dy = (y - 0.76f) / 0.36f;
        const float d2 = dx * dx + dy * dy;
        if (d2 < 1 && y <= 0.76f) {
            const float light = std::clamp(0.75f - 0.45f * dx - 0.35f * dy + 0.25f * (1 - d2), 0.3f, 1.1f);
            c = rgb(int(std::min(255.0f, 196 * light)), int(std::min(255.0f, 112 * light)), int(std::min(255.0f, 70 * light)));
        }
        // The ring brush hovering over its top.
        const float rx = (x - 0.5f) / 0.3f, ry = (y - 0.3f) / 0.09f;
        const float ring = std::fabs(std::sqrt(rx * rx + ry * ry) - 1);
        if (ring < 0.16f) c = over(rgb(255, 236, 120, 0.95f), c);
    }
    return c;
}

Rgba landFile(float x, float y) {
    // A page with its upper right corner folded.
    const bool inPage = x > 0.16f && x < 0.84f && y > 0.06f && y < 0.94f && (x - 0.62f) < (y - 0.06f);
    if (!inPage) return {};
    Rgba c = rgb(250, 250, 246);
    if ((x - 0.62f) > (y - 0.06f) - 0.04f) c = rgb(150, 150, 150);   // the fold's edge
    else if (x > 0.62f && y < 0.28f && (x - 0.62f) > (y - 0.06f) - 0.22f) c = rgb(214, 214, 208);
    if (x < 0.2f || x > 0.8f || y < 0.1f || y > 0.9f) c = rgb(120, 120, 120);   // outline
    const float sx = (x - 0.26f) / 0.48f, sy = (y - 0.4f) / 0.44f;
    if (sx > 0 && sx < 1 && sy > 0 && sy < 1) {
        c = rgb(50, 120, 200);
        c = over(island(sx, sy, 0.5f, 0.5f, 0.36f), c);
    }
    return c;
}

bool writeIcon(const std::string& path, int side, const std::function<Rgba(float, float)>& draw) {
    lnd::CImage32 image(side, side);
    constexpr int kSamples = 4;
    for (int py = 0; py < side; ++py) {
        for (int px = 0; px < side; ++px) {
            float r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const Rgba c = draw((px + (sx + 0.5f) / kSamples) / side, (py + (sy + 0.5f) / kSamples) / side);
                    r += c.r * c.a;
                    g += c.g * c.a;
                    b += c.b * c.a;
                    a += c.a;
                }
            }
            std::uint8_t* out = image.pixel(px, py);   // alpha, red, green, blue
            const auto byte = [](float v) { return std::uint8_t(std::clamp(std::lround(v * 255), 0L, 255L)); };
            out[0] = byte(a / (kSamples * kSamples));
            out[1] = a > 0 ? byte(r / a) : 0;
            out[2] = a > 0 ? byte(g / a) : 0;
            out[3] = a > 0 ? byte(b / a) : 0;
        }
    }
    const std::vector<std::uint8_t> png = lnd::encodePng(image);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    const lnd::Result r = png.empty() ? lnd::Result::failure(lnd::Status::BadInput, "cannot encode") : lnd::writeFileAtomic(path, png);
    if (!r) std::fprintf(stderr, "make_icons: %s: %s\n", path.c_str(), r.message().c_str());
    return r.ok();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icons OUT_DIR\n");
        return 2;
    }
    const std::string root = std::string(argv[1]) + "/hicolor/";
    bool ok = true;
    for (int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::string dir = root + std::to_string(side) + "x" + std::to_string(side);
        ok = writeIcon(dir + "/apps/vostrel.png", side, vostrel) && ok;
        ok = writeIcon(dir + "/apps/clayvane.png", side, clayvane) && ok;
        ok = writeIcon(dir + "/mimetypes/application-x-bw-land.png", side, landFile) && ok;
    }
    return ok ? 0 : 1;
}
