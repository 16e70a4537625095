// Vostrel [LAND]
// Vostrel --screenshot OUT.png [--camera X,Y,Z,YAW,PITCH] [--pointer X,Y] [--size WxH]
//         [--frames N] [--fly N] [--editor] [--hold KEYS] LAND
//   draws the first complete frame at a fixed size, writes it and exits (0, or 1 when the
//   land or the picture fails, 2 for bad arguments). YAW and PITCH are in degrees; the
//   pointer stays at X,Y (client pixels; without it nothing is picked); --frames N draws N
//   more frames with the camera still, --fly N flies N frames forward while turning, and
//   both then print the uploads, the frame rate and the last status text; --editor starts
//   in land-editor mode; --hold KEYS holds the keys that type KEYS down throughout.
#include "base/messages.h"
#include "base/settings.h"
#include "codec/brush_bitmap.h"
#include "vostrel/land_view.h"
#include "vostrel/main_window.h"
#include "land/land.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

class BoxMessages final : public lnd::UserMessages {
public:
    void error(const std::string& text, const std::string& caption) override {
        QMessageBox::critical(nullptr, title(caption), QString::fromStdString(text));
    }
    bool question(const std::string& text, const std::string& caption, lnd::QuestionButtons buttons) override {
        const auto yes = buttons == lnd::QuestionButtons::YesNo ? QMessageBox::Yes : QMessageBox::Ok;
        const auto no = buttons == lnd::QuestionButtons::YesNo ? QMessageBox::No : QMessageBox::Cancel;
        return QMessageBox::question(nullptr, title(caption), QString::fromStdString(text), yes | no) == yes;
    }
    void plain(const std::string& text, const std::string& caption) override {
        QMessageBox::information(nullptr, title(caption), QString::fromStdString(text));
    }

private:
    static QString title(const std::string& caption) {
        return caption.empty() ? QStringLiteral("Vostrel") : QString::fromStdString(caption);
    }
};

int usage() {
    std::fprintf(stderr, "usage: Vostrel [LAND]\n"
                         "       Vostrel --screenshot OUT.png [--camera X,Y,Z,YAW,PITCH] [--pointer X,Y] [--size WxH]\n"
                         "               [--frames N | --fly N] [--editor] [--hold KEYS] LAND\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");   // settings and status texts use dots

    std::string landPath, shotPath;
    bool haveCamera = false;
    float camera[5] = {};
    int width = 800, height = 600;
    int frames = 0;   // extra frames drawn before the picture, for upload counts and speed
    bool fly = false, editor = false;
    lnd::ScriptedView script;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--screenshot" && i + 1 < argc) {
            shotPath = argv[++i];
        } else if (a == "--camera" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%f,%f,%f,%f,%f", &camera[0], &camera[1], &camera[2], &camera[3], &camera[4]) != 5) {
                return usage();
            }
            haveCamera = true;
        } else if (a == "--pointer" && i + 1 < argc) {
            float px = 0.0f, py = 0.0f;
            if (std::sscanf(argv[++i], "%f,%f", &px, &py) != 2) {
                return usage();
            }
            script.pointer = QPointF(px, py);
        } else if ((a == "--frames" || a == "--fly") && i + 1 < argc) {
            frames = std::atoi(argv[++i]);
            fly = a == "--fly";
            if (frames < 0) {
                return usage();
            }
        } else if (a == "--hold" && i + 1 < argc) {
            script.heldKeys = argv[++i];
        } else if (a == "--editor") {
            editor = true;
        } else if (a == "--size" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 100 || height < 100) {
                return usage();
            }
        } else if (!a.empty() && a[0] != '-' && landPath.empty()) {
            landPath = a;
        } else {
            return usage();
        }
    }
    const bool screenshot = !shotPath.empty();
    if (screenshot && landPath.empty()) {
        return usage();
    }

    std::unique_ptr<lnd::UserMessages> messages;
    if (screenshot) {
        messages = std::make_unique<lnd::StreamMessages>("Vostrel");   // nobody to click boxes away
    } else {
        messages = std::make_unique<BoxMessages>();
    }
    lnd::CSettings settings(*messages, lnd::loadBrushBitmap);
    lnd::CLand land;
    land.m_messages = messages.get();
    land.m_settings = &settings;

    lnd::CMainFrame frame(land, settings, *messages);
    lnd::CRFrame* view = frame.renderView();
    if (screenshot) {
        view->setFixedSize(width, height);
        if (haveCamera) {
            script.eye = glm::vec3(camera[0], camera[1], camera[2]);
            script.heading = camera[3] * 0.017453292f;
            script.pitch = camera[4] * 0.017453292f;
        }
        view->setScript(script);
        // Frames before the picture stand still; a flight starts after it (below).
    } else {
        frame.resize(1024, 768);
    }
    view->setEditMode(editor ? 1 : 0);
    if (lnd::hostFailed(view->startHost())) {
        return 1;
    }
    if (!landPath.empty() && !frame.openLand(landPath) && screenshot) {
        return 1;
    }
    int result = 0;
    if (screenshot) {
        // The first frame after the home view has drawn every visible block; grab the next
        // one so block textures synthesised on the way are in it too.
        QObject::connect(view, &lnd::CRFrame::framePresented, view, [&] {
            const lnd::UploadCounters first = view->renderer().counters();
            const std::size_t firstTextures = view->renderer().mirroredTextures();
            const std::size_t firstMeshes = view->renderer().mirroredMeshes();
            auto start = std::make_shared<QElapsedTimer>();
            start->start();
            auto drawn = std::make_shared<int>(0);
            if (fly) {
                // Forward 8 units and a 1/400 turn a frame: blocks change level of detail
                // and come into view all the way.
                lnd::ScriptedView flight = script;
                flight.flyForward = 8.0f;
                flight.flyTurn = 0.0025f;
                view->setScript(flight);
            }
            auto* ticker = new QObject(view);
            QObject::connect(view, &QOpenGLWidget::frameSwapped, ticker, [&, first, firstTextures, firstMeshes, start, drawn, ticker] {
                if (++*drawn < frames) {
                    return;
                }
                delete ticker;
                if (frames > 0) {
                    const lnd::UploadCounters& last = view->renderer().counters();
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
                    std::printf("frames per second: %.2f\n", frames * 1000.0 / std::max<qint64>(1, start->elapsed()));
                }
            });
            QTimer::singleShot(0, view, [&] {
                const QImage image = view->grabFramebuffer();
                std::printf("status: %s\n", view->statusText().c_str());
                if (image.isNull() || !image.save(QString::fromStdString(shotPath))) {
                    std::fprintf(stderr, "Vostrel: could not write %s\n", shotPath.c_str());
                    result = 1;
                }
                if (frames == 0) {
                    frame.close();
                }
            });
            if (frames > 0) {
                QObject::connect(view, &QOpenGLWidget::frameSwapped, view, [&, drawn] {
                    if (*drawn >= frames) frame.close();
                });
            }
        });
    }
    frame.show();
    const int code = app.exec();
    return result != 0 ? result : code;
}
