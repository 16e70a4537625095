#include "vostrel/screenshot_harness.h"

#include "vostrel/main_window.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace lnd {

namespace {

// From the harness's preparation (before the host starts and the land opens) on.
QElapsedTimer& sinceStart() {
    static QElapsedTimer timer;
    return timer;
}

}  // namespace

int parseHarnessOption(int argc, char** argv, int& i, HarnessOptions& options) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--screenshot" && hasValue) {
        options.shotPath = argv[++i];
    } else if (a == "--camera" && hasValue) {
        float c[5] = {};
        if (std::sscanf(argv[++i], "%f,%f,%f,%f,%f", &c[0], &c[1], &c[2], &c[3], &c[4]) != 5) return -1;
        options.script.eye = glm::vec3(c[0], c[1], c[2]);
        options.script.heading = c[3] * 0.017453292f;
        options.script.pitch = c[4] * 0.017453292f;
    } else if (a == "--pointer" && hasValue) {
        float px = 0.0f, py = 0.0f;
        if (std::sscanf(argv[++i], "%f,%f", &px, &py) != 2) return -1;
        options.script.pointer = QPointF(px, py);
    } else if ((a == "--frames" || a == "--fly") && hasValue) {
        options.frames = std::atoi(argv[++i]);
        options.fly = a == "--fly";
        if (options.frames < 0) return -1;
    } else if (a == "--hold" && hasValue) {
        options.script.heldKeys = argv[++i];
    } else if (a == "--size" && hasValue) {
        if (std::sscanf(argv[++i], "%dx%d", &options.width, &options.height) != 2 || options.width < 100 ||
            options.height < 100) {
            return -1;
        }
    } else {
        return 0;
    }
    return 1;
}

void prepareHarness(CMainFrame& frame, const HarnessOptions& options) {
    sinceStart().start();
    CRFrame* view = frame.renderView();
    view->setFixedSize(options.width, options.height);
    // Frames before the picture stand still; a flight starts after it.
    view->setScript(options.script);
}

void runHarness(CMainFrame& frame, const HarnessOptions& options, std::shared_ptr<int> result) {
    CRFrame* view = frame.renderView();
    const qint64 opened = sinceStart().isValid() ? sinceStart().elapsed() : 0;
    // The first frame after the home view has drawn every visible block; grab the next one
    // so block textures synthesised on the way are in it too.
    QObject::connect(view, &CRFrame::framePresented, view, [&frame, view, options, result, opened] {
        if (sinceStart().isValid()) {
            // Host start and land load, then the window shown and the first frame drawn with
            // the textures it needed synthesised.
            std::printf("open to first frame: %lld ms (host and land %lld ms, first frame %lld ms)\n",
                        static_cast<long long>(sinceStart().elapsed()), static_cast<long long>(opened),
                        static_cast<long long>(sinceStart().elapsed() - opened));
        }
        const UploadCounters first = view->renderer().counters();
        const std::size_t firstTextures = view->renderer().mirroredTextures();
        const std::size_t firstMeshes = view->renderer().mirroredMeshes();
        auto start = std::make_shared<QElapsedTimer>();
        start->start();
        auto drawn = std::make_shared<int>(0);
        const int frames = options.frames;
        if (options.fly) {
            // Forward 8 units and a 1/400 turn a frame: blocks change level of detail and
            // come into view all the way.
            ScriptedView flight = options.script;
            flight.flyForward = 8.0f;
            flight.flyTurn = 0.0025f;
            view->setScript(flight);
        }
        auto* ticker = new QObject(view);
        QObject::connect(view, &CD3DHostWidget::frameSwapped, ticker,
                         [&frame, view, first, firstTextures, firstMeshes, start, drawn, ticker, frames] {
                             if (++*drawn < frames) return;
                             delete ticker;
                             if (frames > 0) {
                                 const UploadCounters& last = view->renderer().counters();
                                 std::printf("first frame uploads: textures %llu, meshes %llu\n",
                                             static_cast<unsigned long long>(first.textureCreates),
                                             static_cast<unsigned long long>(first.meshUploads));
                                 std::printf("later uploads: textures %llu, rectangles %llu, levels %llu, meshes %llu\n",
                                             static_cast<unsigned long long>(last.textureCreates - first.textureCreates),
                                             static_cast<unsigned long long>(last.textureRectUploads - first.textureRectUploads),
                                             static_cast<unsigned long long>(last.textureLevelUploads - first.textureLevelUploads),
                                             static_cast<unsigned long long>(last.meshUploads - first.meshUploads));
                                 // Objects seen for the first time; anything uploaded beyond them was sent twice.
                                 std::printf("new objects: textures %zu, meshes %zu\n",
                                             view->renderer().mirroredTextures() - firstTextures,
                                             view->renderer().mirroredMeshes() - firstMeshes);
                                 std::printf("last status: %s\n", view->statusText().c_str());
                                 std::printf("frames per second: %.2f\n",
                                             frames * 1000.0 / std::max<qint64>(1, start->elapsed()));
                                 frame.close();
                             }
                         });
        QTimer::singleShot(0, view, [&frame, view, options, result] {
            const QImage image = view->grabFramebuffer();
            std::printf("status: %s\n", view->statusText().c_str());
            if (image.isNull() || !image.save(QString::fromStdString(options.shotPath))) {
                std::fprintf(stderr, "Vostrel: could not write %s\n", options.shotPath.c_str());
                *result = 1;
            }
            if (options.frames == 0) frame.close();
        });
    });
}

}  // namespace lnd
