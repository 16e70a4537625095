// Shared pieces of the Clayvane suites: a shell that records messages and answers scripted
// dialogs, and lands loaded straight into the editor's core.
#pragma once

#include "sculpt/render_target.h"
#include "sculpt/sculpting_app.h"

#include "support/land_builder.h"

#include <memory>
#include <string>
#include <vector>

namespace sculpttest {

class CRecordingShell final : public clay::CShell {
public:
    std::string OpenDialog(const std::string& title) override {
        titles.push_back(title);
        return openAnswer;
    }
    std::string SaveDialog(const std::string& title) override {
        titles.push_back(title);
        return saveAnswer;
    }
    bool Ask(const std::string& text, const std::string&) override {
        questions.push_back(text);
        return yes;
    }
    void Error(const std::string& text, const std::string&) override { errors.push_back(text); }
    void Quit() override { quit = true; }

    std::string openAnswer, saveAnswer;
    bool yes = false, quit = false;
    std::vector<std::string> titles, questions, errors;
};

// Every material texel of material m is one 5:5:5 colour, noise and bump maps are zero: block
// texels are then predictable.
inline void PlainMaterials(std::vector<std::uint8_t>& image, const std::vector<std::uint16_t>& colours) {
    lnd::LndLayout layout;
    if (!lnd::checkImage(image, layout)) return;
    for (int m = 0; m < layout.numMaterials && std::size_t(m) < colours.size(); ++m) {
        auto* mat = lnd::recordAt<lnd::TLndMaterial>(image.data(), layout.materialsOffset + std::size_t(m) * lnd::kMaterialSize);
        for (auto& row : mat->Texels)
            for (auto& t : row) t = colours[std::size_t(m)];
    }
    std::fill(image.begin() + std::ptrdiff_t(layout.noiseOffset), image.begin() + std::ptrdiff_t(layout.noiseOffset + 65536), 0);
}

// Sets every country's entries to (mat1, mat2, coef).
inline void PlainCountries(std::vector<std::uint8_t>& image, int mat1, int mat2, int coef) {
    lnd::LndLayout layout;
    if (!lnd::checkImage(image, layout)) return;
    for (int c = 0; c < layout.numCountries; ++c) {
        auto* country = lnd::recordAt<lnd::TLndCountry>(image.data(), layout.countriesOffset + std::size_t(c) * lnd::kCountrySize);
        for (auto& e : country->Coefs) {
            e.mat1 = mat1;
            e.mat2 = mat2;
            e.coef = coef;
        }
    }
}

// A flat block at altitude `h` with no flags.
inline lndtest::LandBuilder::BlockFill Flat(int h) {
    return [h](lnd::TLndBlock& b) {
        for (auto& row : b.Cells)
            for (auto& c : row) {
                c.Altitude = std::uint8_t(h);
                c.CellFlags = 0;
            }
    };
}

// The editor with a land adopted and its start-up work done (textures finished).
inline std::unique_ptr<clay::CSculptingApp> Started(std::vector<std::uint8_t> image, clay::CRenderTarget& rt) {
    auto app = std::make_unique<clay::CSculptingApp>();
    app->UseBuiltInData();
    if (!app->m_land.Adopt(std::move(image))) return nullptr;
    app->LandStartUp(rt);
    app->FinishSynthesis(rt);
    return app;
}

}  // namespace sculpttest
