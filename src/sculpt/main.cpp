// Clayvane [LAND]
// Clayvane --screenshot OUT.png [--size WxH] [--frames N] [--press X,Y,N] [--save OUT.lnd]
//         [--menu main|tools|brush|country] [--first-frame | --retexture] LAND
//   The second form never waits on a dialog: it draws the land once its textures are made,
//   N frames in all (printing the frame rate when N is given), holds the left button at
//   client pixel X,Y for N frames when asked, saves when asked, writes the last frame and
//   exits (--menu starts with that menu open; --first-frame shoots the first frame, drawn while
//   the start-up textures are made; --retexture presses T after the frames and shoots the first
//   frame of that texture pass); problems go to standard error with exit status 1 (2 for bad
//   arguments).
#include "sculpt/gl_window.h"
#include "sculpt/sculpting_app.h"
#include "base/data_paths.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QOffscreenSurface>
#include <QOpenGLContext>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

using clay::kAppTitle;

const char kFilter[] = "Black and White Landscape (*.lnd)";

class CQtShell final : public clay::CShell {
public:
    std::string OpenDialog(const std::string& title) override {
        QFileDialog dialog(nullptr, QString::fromStdString(title), QDir::currentPath(), QString::fromLatin1(kFilter));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        // Lands written on other systems end in ".LND" as often as in ".lnd".
        dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        return dialog.selectedFiles().first().toStdString();
    }
    std::string SaveDialog(const std::string& title) override {
        QFileDialog dialog(nullptr, QString::fromStdString(title), QDir::currentPath(), QString::fromLatin1(kFilter));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);   // a new file may be named; overwriting asks first
        dialog.setDefaultSuffix(QStringLiteral("lnd"));
        dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        return dialog.selectedFiles().first().toStdString();
    }
    bool Ask(const std::string& text, const std::string& caption) override {
        return QMessageBox::question(nullptr, QString::fromStdString(caption), QString::fromStdString(text),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    }
    void Error(const std::string& text, const std::string& caption) override {
        QMessageBox::critical(nullptr, QString::fromStdString(caption), QString::fromStdString(text));
    }
    void Quit() override { QCoreApplication::quit(); }
};

// Scripted runs: nobody is there to answer, so messages go to standard error.
class CStreamShell final : public clay::CShell {
public:
    std::string OpenDialog(const std::string&) override { return {}; }
    std::string SaveDialog(const std::string&) override { return {}; }
    bool Ask(const std::string&, const std::string&) override { return false; }
    void Error(const std::string& text, const std::string& caption) override {
        std::fprintf(stderr, "Clayvane: %s: %s\n", caption.c_str(), text.c_str());
    }
    void Quit() override { QCoreApplication::quit(); }
};

int Usage() {
    std::fprintf(stderr, "usage: Clayvane [LAND]\n"
                         "       Clayvane --screenshot OUT.png [--size WxH] [--frames N] [--press X,Y,N]\n"
                         "                [--save OUT.lnd] [--menu main|tools|brush|country]\n"
                         "                [--first-frame | --retexture] LAND\n");
    return 2;
}

// Whether a context of the window's format can be made at all.
bool CanCreateContext() {
    QOpenGLContext probe;
    probe.setFormat(clay::CGLWindow::Format());
    if (!probe.create()) return false;
    QOffscreenSurface surface;
    surface.setFormat(probe.format());
    surface.create();
    const bool ok = surface.isValid() && probe.makeCurrent(&surface);
    if (ok) probe.doneCurrent();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    std::setlocale(LC_NUMERIC, "C");

    clay::SScript script;
    std::string landPath;
    int width = 640, height = 480;
    bool scripted = false;
    std::string menu;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--screenshot" && i + 1 < argc) {
            script.screenshot = argv[++i];
            scripted = true;
        } else if (a == "--save" && i + 1 < argc) {
            script.saveTo = argv[++i];
            scripted = true;
        } else if (a == "--size" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 64 || height < 64) return Usage();
        } else if (a == "--frames" && i + 1 < argc) {
            script.frames = std::atoi(argv[++i]);
            script.reportSpeed = true;
            if (script.frames < 1) return Usage();
        } else if (a == "--press" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%d,%d,%d", &script.pressX, &script.pressY, &script.pressFrames) != 3 ||
                script.pressFrames < 0)
                return Usage();
        } else if (a == "--first-frame") {
            script.firstFrame = true;
        } else if (a == "--retexture") {
            script.retexture = true;
        } else if (a == "--menu" && i + 1 < argc) {
            menu = argv[++i];
            if (menu != "main" && menu != "tools" && menu != "brush" && menu != "country") return Usage();
        } else if (!a.empty() && a[0] != '-' && landPath.empty()) {
            landPath = a;
        } else {
            return Usage();
        }
    }
    if (scripted && landPath.empty()) return Usage();
    script.enabled = scripted;

    std::unique_ptr<clay::CShell> shell;
    if (scripted) shell = std::make_unique<CStreamShell>();
    else shell = std::make_unique<CQtShell>();

    const std::string startDirectory = QDir::currentPath().toStdString();
    if (landPath.empty()) {
        landPath = shell->OpenDialog(std::string(kAppTitle) + " - Load");
        if (landPath.empty()) return 0;
    }

    if (!CanCreateContext()) {
        shell->Error("Error Creating Window", "Error");
        return 1;
    }

    static clay::CSculptingApp app;
    if (!app.OpenFirstLand(landPath, *shell)) return 1;
    // Brushes.txt and Clayvane.dat: the start directory's, else the install's.
    lnd::DataPlaces places = lnd::DataPlaces::ofProcess();
    places.start = startDirectory;
    std::string dataNote;
    const std::string dataFolder = lnd::findDataFolder(places, {"Brushes.txt", "Clayvane.dat"}, &dataNote);
    if (!dataNote.empty()) std::fprintf(stderr, "Clayvane: %s\n", dataNote.c_str());
    const std::string report = app.ReadDataFiles(dataFolder);
    if (!report.empty()) shell->Error(report, kAppTitle);

    if (menu == "main") app.m_menu.SetState(clay::EMenuState::Main);
    else if (menu == "tools") app.m_menu.SetState(clay::EMenuState::Tools);
    else if (menu == "brush") app.m_menu.SetState(clay::EMenuState::SelectingBrush);
    else if (menu == "country") app.m_menu.SetState(clay::EMenuState::SelectingCountry);

    clay::CGLWindow window(app, *shell, script);
    window.resize(width, height);
    window.setPosition(0, 0);
    window.show();
    window.raise();
    window.requestActivate();
    const int code = qapp.exec();
    window.ReleaseGL();
    app.m_land.Release();
    return code != 0 ? code : window.ExitCode();
}
