#include "sculpt/menu_data.h"

#include "base/file_io.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace clay {

namespace {

constexpr int S = kMenuPictureSide;

struct SRgba {
    std::uint8_t r, g, b, a;
};

// A tiny rasteriser for the menu pictures: every shape is tested per pixel centre, with a
// one-pixel soft edge so the pictures stay smooth when the carousel scales them.
class CCanvas {
public:
    CCanvas() : m_px(std::size_t(S) * S * 4, 0) {}

    void Blend(int x, int y, SRgba c, float cover) {
        if (x < 0 || y < 0 || x >= S || y >= S || cover <= 0.0f) return;
        cover = std::min(cover, 1.0f) * float(c.a) / 255.0f;
        std::uint8_t* p = &m_px[(std::size_t(y) * S + std::size_t(x)) * 4];
        const float keep = 1.0f - cover;
        p[0] = std::uint8_t(p[0] * keep + c.r * cover + 0.5f);
        p[1] = std::uint8_t(p[1] * keep + c.g * cover + 0.5f);
        p[2] = std::uint8_t(p[2] * keep + c.b * cover + 0.5f);
        p[3] = std::uint8_t(std::min(255.0f, p[3] * keep + 255.0f * cover + 0.5f));
    }

    // Signed-distance shapes: cover = clamp(0.5 - distance).
    template <typename Dist>
    void Shape(SRgba c, Dist dist) {
        for (int y = 0; y < S; ++y)
            for (int x = 0; x < S; ++x) {
                const float d = dist(float(x) + 0.5f, float(y) + 0.5f);
                Blend(x, y, c, std::clamp(0.5f - d, 0.0f, 1.0f));
            }
    }

    void Disc(float cx, float cy, float r, SRgba c) {
        Shape(c, [=](float x, float y) { return std::hypot(x - cx, y - cy) - r; });
    }
    void Ring(float cx, float cy, float r, float width, SRgba c) {
        Shape(c, [=](float x, float y) { return std::fabs(std::hypot(x - cx, y - cy) - r) - width / 2; });
    }
    void Box(float x0, float y0, float x1, float y1, float round, SRgba c) {
        const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, hx = (x1 - x0) / 2 - round, hy = (y1 - y0) / 2 - round;
        Shape(c, [=](float x, float y) {
            const float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
            return std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - round;
        });
    }
    void Line(float x0, float y0, float x1, float y1, float width, SRgba c) {
        Shape(c, [=](float x, float y) {
            const float dx = x1 - x0, dy = y1 - y0;
            const float len2 = dx * dx + dy * dy;
            const float t = len2 > 0 ? std::clamp(((x - x0) * dx + (y - y0) * dy) / len2, 0.0f, 1.0f) : 0.0f;
            return std::hypot(x - (x0 + t * dx), y - (y0 + t * dy)) - width / 2;
        });
    }
    void Triangle(float ax, float ay, float bx, float by, float cx, float cy, SRgba c) {
        Shape(c, [=](float x, float y) {
            auto edge = [&](float px, float py, float qx, float qy) {
                const float ex = qx - px, ey = qy - py, len = std::hypot(ex, ey);
                return ((x - px) * ey - (y - py) * ex) / len;
            };
            // The edge values are negative inside when the corners turn positively (cross product
            // above 0); s makes the inside negative whichever way they turn.
            const float s = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax) > 0 ? 1.0f : -1.0f;
            return std::max({s * edge(ax, ay, bx, by), s * edge(bx, by, cx, cy), s * edge(cx, cy, ax, ay)});
        });
    }

    // The tile every picture stands on: a rounded plate with a vertical gradient.
    void Plate(SRgba top, SRgba bottom) {
        for (int y = 0; y < S; ++y) {
            const float t = float(y) / float(S - 1);
            const SRgba c{std::uint8_t(top.r + (bottom.r - top.r) * t), std::uint8_t(top.g + (bottom.g - top.g) * t),
                          std::uint8_t(top.b + (bottom.b - top.b) * t), 255};
            for (int x = 0; x < S; ++x) {
                const float qx = std::fabs(x + 0.5f - 64) - 50, qy = std::fabs(y + 0.5f - 64) - 50;
                const float d = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - 12;
                Blend(x, y, c, std::clamp(0.5f - d, 0.0f, 1.0f));
            }
        }
    }

    std::vector<std::uint8_t> Take() { return std::move(m_px); }

private:
    std::vector<std::uint8_t> m_px;
};

constexpr SRgba kWhite{250, 250, 245, 255};
constexpr SRgba kDark{30, 34, 40, 255};

}  // namespace

std::vector<std::uint8_t> BuiltInMenuPicture(int item) {
    CCanvas c;
    switch (item) {
    case 0:   // tools: a spade crossed with a brush ring
        c.Plate({70, 120, 190, 255}, {30, 60, 120, 255});
        c.Line(40, 92, 86, 40, 9, {150, 100, 60, 255});
        c.Triangle(80, 30, 100, 50, 78, 56, {210, 215, 225, 255});
        c.Ring(58, 70, 22, 5, {255, 210, 60, 255});
        break;
    case 1:   // load: a folder with an arrow coming out
        c.Plate({80, 160, 90, 255}, {30, 90, 40, 255});
        c.Box(26, 46, 102, 98, 6, {240, 200, 90, 255});
        c.Box(26, 38, 58, 52, 4, {240, 200, 90, 255});
        c.Line(64, 88, 64, 58, 8, kDark);
        c.Triangle(48, 62, 80, 62, 64, 42, kDark);
        break;
    case 2:   // save: a disk
        c.Plate({90, 110, 200, 255}, {40, 50, 120, 255});
        c.Box(30, 30, 98, 98, 6, kDark);
        c.Box(42, 34, 86, 58, 3, {210, 215, 225, 255});
        c.Box(72, 38, 80, 54, 1, kDark);
        c.Box(40, 68, 88, 96, 3, kWhite);
        break;
    case 3:   // quit: a cross in a circle
        c.Plate({200, 80, 70, 255}, {120, 30, 30, 255});
        c.Ring(64, 64, 32, 8, kWhite);
        c.Line(50, 50, 78, 78, 9, kWhite);
        c.Line(78, 50, 50, 78, 9, kWhite);
        break;
    case 4:   // brush: the rings of a brush over a hill
        c.Plate({110, 90, 170, 255}, {50, 40, 100, 255});
        c.Disc(64, 80, 30, {120, 180, 80, 255});
        c.Box(20, 80, 108, 104, 4, {120, 180, 80, 255});
        c.Ring(64, 52, 30, 4, {255, 40, 20, 255});
        c.Ring(64, 52, 20, 4, {250, 160, 0, 255});
        c.Ring(64, 52, 10, 4, {160, 255, 40, 255});
        break;
    case 5:   // country: patches of land
        c.Plate({60, 150, 160, 255}, {20, 80, 90, 255});
        c.Box(24, 24, 64, 64, 4, {90, 170, 60, 255});
        c.Box(64, 24, 104, 64, 4, {220, 200, 120, 255});
        c.Box(24, 64, 64, 104, 4, {140, 110, 80, 255});
        c.Box(64, 64, 104, 104, 4, {235, 235, 240, 255});
        c.Ring(64, 64, 22, 4, kDark);
        break;
    default:  // the third tool: a question mark, the item does nothing yet
        c.Plate({150, 150, 150, 255}, {80, 80, 80, 255});
        c.Ring(64, 50, 18, 9, kWhite);
        c.Box(36, 48, 64, 72, 0, {117, 117, 117, 255});
        c.Line(64, 68, 64, 80, 9, kWhite);
        c.Disc(64, 96, 6, kWhite);
        break;
    }
    return c.Take();
}

std::vector<std::uint8_t> BuiltInSwatchAltitude() {
    // Low ground at the bottom-left corner rising to the top-right, with soft waves, so a
    // swatch shows a country's materials from the beach to the peaks.
    std::vector<std::uint8_t> map(256 * 256);
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) {
            const float base = (float(255 - r) + float(c)) * 0.5f;
            const float wave = 10.0f * std::sin(float(c) * 0.07f) * std::cos(float(r) * 0.05f);
            map[std::size_t(r) * 256 + std::size_t(c)] = std::uint8_t(std::clamp(base + wave, 0.0f, 255.0f));
        }
    return map;
}

std::vector<std::uint8_t> BuiltInMenuFile() {
    std::vector<std::uint8_t> out;
    out.reserve(kMenuDataSize);
    for (int i = 0; i < kMenuPictures; ++i) {
        const auto p = BuiltInMenuPicture(i);
        out.insert(out.end(), p.begin(), p.end());
    }
    const auto a = BuiltInSwatchAltitude();
    out.insert(out.end(), a.begin(), a.end());
    return out;
}

std::string ParseMenuData(std::span<const std::uint8_t> bytes, SMenuData& out) {
    const std::size_t whole = std::min<std::size_t>(bytes.size() / kMenuRecordSize, 8);
    out.recordsFromFile = int(whole);
    for (int i = 0; i < kMenuPictures; ++i) {
        if (std::size_t(i) < whole) {
            const auto* p = bytes.data() + std::size_t(i) * kMenuRecordSize;
            out.pictures[std::size_t(i)].assign(p, p + kMenuRecordSize);
        } else {
            out.pictures[std::size_t(i)] = BuiltInMenuPicture(i);
        }
    }
    if (whole == 8) {
        const auto* p = bytes.data() + 7 * kMenuRecordSize;
        out.swatchAltitude.assign(p, p + kMenuRecordSize);
    } else {
        out.swatchAltitude = BuiltInSwatchAltitude();
    }
    if (whole == 8) return {};
    return "holds " + std::to_string(bytes.size()) + " bytes instead of " + std::to_string(kMenuDataSize) +
           " (" + std::to_string(whole) + " of 8 records); built-in pictures stand in for the rest";
}

std::string ReadMenuData(const std::string& path, SMenuData& out) {
    std::vector<std::uint8_t> bytes;
    const lnd::Result r = lnd::readWholeFile(path, bytes, kMenuDataSize * 2);
    if (!r) {
        ParseMenuData({}, out);
        return "The menu file " + path + " could not be read (" + r.message() +
               "). Clayvane uses its built-in menu pictures.";
    }
    const std::string problem = ParseMenuData(bytes, out);
    if (problem.empty()) return {};
    return "The menu file " + path + " " + problem + ".";
}

}  // namespace clay
