// Vostrel [LAND]
// Vostrel --screenshot OUT.png [--camera X,Y,Z,YAW,PITCH] [--pointer X,Y] [--size WxH]
//         [--frames N] [--fly N] [--editor] [--hold KEYS] LAND
//   draws the first complete frame at a fixed size, writes it and exits (0, or 1 when the
//   land or the picture fails, 2 for bad arguments). YAW and PITCH are in degrees; the
//   pointer stays at X,Y (client pixels; without it nothing is picked); --frames N draws N
//   more frames with the camera still, --fly N flies N frames forward while turning, and
//   both then print the uploads, the frame rate and the last status text; --editor starts
//   in land-editor mode; --hold KEYS holds the keys that type KEYS down throughout.
#include "vostrel/main_window.h"
#include "vostrel/screenshot_harness.h"
#include "vostrel/shell_messages.h"
#include "vostrel/shell_texts.h"
#include "base/data_paths.h"
#include "base/messages.h"
#include "base/settings.h"
#include "codec/brush_bitmap.h"
#include "land/land.h"

#include <QApplication>
#include <QIcon>

#include <clocale>
#include <cstdio>
#include <memory>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr, "usage: Vostrel [--editor] [LAND]\n"
                         "       Vostrel --screenshot OUT.png [--camera X,Y,Z,YAW,PITCH] [--pointer X,Y] [--size WxH]\n"
                         "               [--frames N | --fly N] [--editor] [--hold KEYS] LAND\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The menu entry and icon an install adds: desktops match the window to them by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("vostrel"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("vostrel")));
    // QApplication takes the user's locale; settings, status and clipboard texts use dots.
    std::setlocale(LC_NUMERIC, "C");

    std::string landPath;
    bool editor = false;
    lnd::HarnessOptions harness;
    for (int i = 1; i < argc; ++i) {
        const int taken = lnd::parseHarnessOption(argc, argv, i, harness);
        if (taken < 0) return usage();
        if (taken > 0) continue;
        const std::string a = argv[i];
        if (a == "--editor") {
            editor = true;
        } else if (!a.empty() && a[0] != '-' && landPath.empty()) {
            landPath = a;
        } else {
            return usage();
        }
    }
    const bool screenshot = !harness.shotPath.empty();
    if (screenshot && landPath.empty()) return usage();

    std::unique_ptr<lnd::UserMessages> messages;
    lnd::ShellMessages* boxes = nullptr;
    if (screenshot) {
        messages = std::make_unique<lnd::StreamMessages>("Vostrel");   // nobody to click boxes away
    } else {
        auto shell = std::make_unique<lnd::ShellMessages>();
        boxes = shell.get();
        messages = std::move(shell);
    }
    // The settings and the brush pictures they name come from the start directory, the
    // user's configuration folder (settings only) or the install's share folder.
    const lnd::DataPlaces places = lnd::DataPlaces::ofProcess();
    const lnd::SettingsChoice found = lnd::findSettingsFile(places, lnd::kSettingsFileName);
    for (const std::string& note : found.notes) std::fprintf(stderr, "Vostrel: %s\n", note.c_str());
    // A user's own settings file passed over is worth a box; scripted runs have the line above.
    if (boxes != nullptr && !found.rejected.empty() && !found.notes.empty()) boxes->error(found.notes.front());
    lnd::CSettings settings(*messages, found.path, [&places](const std::string& path) {
        const std::string located = lnd::findDataFile(places, path);
        return lnd::loadBrushBitmap(located.empty() ? path : located);
    });
    if (screenshot) {
        // Scripted runs say where the data came from, so an install can be checked from a script.
        std::size_t pictures = 0;
        for (const lnd::CBrushDef& b : settings.brushes()) pictures += b.bitmap.empty() ? 0 : 1;
        const std::string help = lnd::findDataFile(places, lnd::kHelpFile);
        std::printf("settings: %s\nbrush pictures: %zu of %zu\nhelp: %s\n", found.found ? found.path.c_str() : "none",
                    pictures, settings.brushes().size(), help.empty() ? "none" : help.c_str());
        std::fflush(stdout);
    }
    lnd::CLand land;

    lnd::CMainFrame frame(land, settings, *messages);
    if (boxes != nullptr) boxes->setOwner(&frame);
    if (screenshot) {
        lnd::prepareHarness(frame, harness);
    } else {
        frame.resize(1024, 768);
    }
    if (editor) frame.setEditMode(lnd::EditMode::LandEditor);
    if (lnd::hostFailed(frame.renderView()->startHost())) return 1;
    if (!landPath.empty() && !frame.openLand(landPath) && screenshot) return 1;
    auto result = std::make_shared<int>(0);
    if (screenshot) lnd::runHarness(frame, harness, result);
    frame.show();
    const int code = app.exec();
    return *result != 0 ? *result : code;
}
