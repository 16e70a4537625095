// A land held as the editor holds it, for every suite that needs one: the land and its
// terrain mesh attached through the hooks (HeadlessLand), messages recorded, and helpers to
// reach the cells.
#pragma once

#include "base/settings.h"
#include "land/land.h"
#include "support/land_builder.h"
#include "support/recording_messages.h"
#include "tools/altitude_brush.h"
#include "view/terrain_land.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lndtest {

class EditorLand : public lnd::HeadlessLand {
public:
    enum class State {
        Opened,   // geometry, links, edge flags and meshes built, m_loaded set: as after opening
        AsRead,   // only the image adopted: every cell as the builder made it
    };

    // Nothing held yet (open() a file).
    EditorLand();
    // The builder's image; throws std::runtime_error when the land refuses it.
    explicit EditorLand(const LandBuilder& builder, State state = State::Opened);
    // A file opened as the shell opens it; throws std::runtime_error when refused.
    explicit EditorLand(const std::string& path);

    lnd::RecordingMessages messages;
    // The brush tool as the window keeps it: where the pointer is, the radius, strength,
    // level value and brush.
    lnd::BrushStep tool;

    // As the shells open and save, then what the window shows about it (the notes of a
    // save, the fixed failure texts) put into `messages`. load() is the land's Load with the
    // geometry built again, without the device objects.
    lnd::Result open(const std::string& path);
    lnd::Result load(const std::string& path);
    lnd::Result save(const std::string& path, lnd::SaveKind kind);

    lnd::TLndHeader& header() { return *land.header(); }
    std::span<lnd::TLndBlock> blocks() { return land.blocks(); }
    lnd::TLndBlock& block(int b) { return land.blocks()[std::size_t(b)]; }
    // A copy of the file image as held (NumBlocks counting records).
    std::vector<std::uint8_t> image() const { return {land.fileImage().begin(), land.fileImage().end()}; }
};

// Every cell of a block at one altitude with the given flags.
LandBuilder::BlockFill flat(std::uint8_t altitude, std::uint16_t flags = 0);

// A brush whose ten ring factors are `params`.
lnd::CBrushDef ringBrush(std::array<float, 10> params);

}  // namespace lndtest
