// The editor window driven as a user drives it: File Open through the dialog's widgets, the
// modes, the brush pane, the view's context menu at a known pointer position, confirmations,
// Save As and the closing question. Needs a display; without one the tests skip.
#include "vostrel/dialog_bar.h"
#include "vostrel/left_view.h"
#include "vostrel/main_window.h"
#include "vostrel/shell_dialogs.h"
#include "vostrel/shell_messages.h"
#include "vostrel/shell_texts.h"
#include "support/land_builder.h"
#include "support/recording_messages.h"

#include "base/settings.h"
#include "codec/brush_bitmap.h"
#include "codec/picture_file.h"
#include "land/land.h"
#include "format/lnd_file.h"
#include "land/land_settings.h"
#include "session/editor_session.h"
#include "tools/altitude_brush.h"
#include "tools/block_deletion.h"
#include "view/terrain_land.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QLabel>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSignalSpy>
#include <QSlider>
#include <QProgressDialog>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <optional>

#if defined(LND_HAVE_XKB)
#include <X11/XKBlib.h>
#endif

#include <filesystem>
#include <functional>
#include <memory>

namespace {

namespace fs = std::filesystem;
using namespace lnd;

// What a box showed, for the checks after it was answered.
struct BoxSeen {
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers queued by whenShown and not yet given.
int g_pendingAnswers = 0;

// Runs `answer` on the next modal dialog of type T (or the next pop-up menu) once it shows.
template <typename T>
void whenShown(std::function<void(T*)> answer) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    ++g_pendingAnswers;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        QWidget* w = QApplication::activePopupWidget();
        if (w == nullptr) w = QApplication::activeModalWidget();
        if (auto* t = qobject_cast<T*>(w); t != nullptr && t->isVisible()) {
            timer->stop();
            timer->deleteLater();
            --g_pendingAnswers;
            answer(t);
        }
    });
    timer->start();
}

// A box or dialog that nothing is waiting to answer fails the test at once and is closed, so
// a test that goes wrong does not sit on an open box until the suite's timeout.
class UnansweredBoxes {
public:
    UnansweredBoxes() {
        g_pendingAnswers = 0;
        m_timer.setInterval(50);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* w = QApplication::activeModalWidget();
            // A progress box closes by itself.
            if (w == nullptr || !w->isVisible() || g_pendingAnswers > 0 || qobject_cast<QProgressDialog*>(w) != nullptr) {
                m_seenFor = 0;
                return;
            }
            // A moment's grace: an answer may be queued just after the box opened.
            if (++m_seenFor < 20) return;
            m_seenFor = 0;
            QString text = w->windowTitle();
            if (auto* box = qobject_cast<QMessageBox*>(w)) text += QStringLiteral(": ") + box->text();
            ADD_FAILURE() << "a window nobody answers: " << text.toStdString();
            if (auto* dialog = qobject_cast<QDialog*>(w)) dialog->reject();
            else w->close();
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
    int m_seenFor = 0;
};

// Answers the next message box with `button` and records it.
void answerBox(QMessageBox::StandardButton button, BoxSeen* seen = nullptr) {
    whenShown<QMessageBox>([button, seen](QMessageBox* box) {
        if (seen != nullptr) *seen = {box->text(), box->windowTitle(), box->icon()};
        box->button(button)->click();
    });
}

// Types `path` into the next file dialog and accepts it; an empty path cancels it.
void answerFileDialog(const QString& path, QString* title = nullptr) {
    whenShown<QFileDialog>([path, title](QFileDialog* dialog) {
        if (title != nullptr) *title = dialog->windowTitle();
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        name->setText(path);
        QTest::keyClick(name, Qt::Key_Return);
    });
}

class Shell : public ::testing::Test {
protected:
    lndtest::TempDir dir;
    std::optional<UnansweredBoxes> unanswered;
    QString startDir;
    ShellMessages messages;
    std::unique_ptr<CSettings> settings;
    std::unique_ptr<CLand> land;
    std::unique_ptr<CMainFrame> frame;
    std::string landPath;
    std::vector<std::uint8_t> original;

    void SetUp() override {
        if (qApp == nullptr) GTEST_SKIP() << "no display: run under xvfb-run";
        unanswered.emplace();
        // The window runs in a scratch directory with the shipped settings, brushes and
        // cursor model, as a user's start directory.
        fs::copy_file("Vostrel.settings.xml", dir.file("Vostrel.settings.xml"));
        fs::copy("data", dir.file("data"), fs::copy_options::recursive);
        startDir = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir.path()));
        lndtest::LandBuilder b;
        for (int gx = 10; gx < 13; ++gx)
            for (int gz = 10; gz < 13; ++gz) b.block(gx, gz);
        landPath = b.loResTextures(2).writeTo(dir.file("island.lnd"));
        original = lndtest::readBytes(landPath);

        settings = std::make_unique<CSettings>(messages, loadBrushBitmap);
        land = std::make_unique<CLand>();
        frame = std::make_unique<CMainFrame>(*land, *settings, messages);
        messages.setOwner(frame.get());
        frame->move(0, 0);
        frame->resize(900, 640);
        ASSERT_FALSE(hostFailed(frame->renderView()->startHost()));
        pointerAway();
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    }

    void TearDown() override {
        // Destroyed without a close event, as a program ending another way does.
        frame.reset();
        if (!startDir.isEmpty()) QDir::setCurrent(startDir);
    }

    static void pointerAway() { QCursor::setPos(1270, 790); }

    void frames(int n) {
        QSignalSpy spy(frame->renderView(), &CD3DHostWidget::frameSwapped);
        for (int i = 0; i < n; ++i) spy.wait(2000);
    }

    void openThroughDialog(const std::string& path) {
        QString title;
        answerFileDialog(QString::fromStdString(path), &title);
        frame->action(ID_FILE_OPEN)->trigger();
        EXPECT_EQ(title, QStringLiteral("File Open"));
    }

    // The pointer over the land, well inside it, held until the view picks a block there.
    QPoint pointAtLand() {
        CRFrame* view = frame->renderView();
        frames(2);
        const QImage image = view->grabFramebuffer();
        const qreal dpr = view->devicePixelRatio();
        auto isLand = [&](int x, int y) {
            const QRgb p = image.pixel(int(x * dpr), int(y * dpr));
            return !(qRed(p) < 8 && qAbs(qGreen(p) - 0x80) < 8 && qBlue(p) > 0xF0);
        };
        QPoint local(-1, -1);
        for (int y = view->height() - 40; y > 40 && local.x() < 0; y -= 10)
            for (int x = view->width() / 2; x < view->width() - 40 && local.x() < 0; x += 10)
                if (isLand(x, y) && isLand(x - 30, y) && isLand(x + 30, y) && isLand(x, y - 30) && isLand(x, y + 30)) local = QPoint(x, y);
        EXPECT_GE(local.x(), 0) << "no land on screen";
        QCursor::setPos(view->mapToGlobal(local));
        for (int i = 0; i < 100 && frame->renderView()->brushTool().block == -1; ++i) frames(1);
        return local;
    }

    // Opens the view's context menu at `local` and chooses the item with mnemonic `key`.
    void contextCommand(const QPoint& local, char key) {
        CRFrame* view = frame->renderView();
        whenShown<QMenu>([key](QMenu* menu) {
            if (const char* shots = std::getenv("LND_SHOT_DIR")) {
                menu->grab().save(QString::fromLatin1(shots) + QStringLiteral("/context_") + QChar::fromLatin1(key) +
                                  QStringLiteral(".png"));
            }
            QTest::keyClick(menu, key);
            // A key the menu did not take (its item not enabled yet under load) would leave it
            // open and the test waiting: fail at once and close it instead.
            QTimer::singleShot(3000, menu, [menu, key] {
                if (!menu->isVisible()) return;
                ADD_FAILURE() << "the context menu did not take the key " << key;
                menu->close();
            });
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, local, view->mapToGlobal(local));
        QApplication::sendEvent(view, &event);
    }

    std::vector<std::uint8_t> cells() const {
        std::vector<std::uint8_t> out;
        for (const TLndBlock& b : land->blocks()) {
            const auto* p = reinterpret_cast<const std::uint8_t*>(&b.Cells);
            out.insert(out.end(), p, p + sizeof b.Cells);
        }
        return out;
    }
};

TEST_F(Shell, TitleStatusHintAndDialogSizeAsAUserAndAScreenReaderSeeThem) {
    // An empty start: the title, the idle status and a hint over the view, all readable.
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Vostrel"));
    EXPECT_EQ(frame->accessibleName(), frame->windowTitle());
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Ready"));
    EXPECT_EQ(frame->statusBar()->accessibleDescription(), QStringLiteral("Ready"));
    QLabel* hint = frame->openLandHint();
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(hint->isVisible());
    EXPECT_TRUE(hint->text().contains(QStringLiteral("File")) && hint->text().contains(QStringLiteral("Open")));
    EXPECT_EQ(hint->accessibleName(), hint->text());
    EXPECT_TRUE(frame->renderView()->rect().contains(hint->geometry()));

    // The file dialogs open wide enough for their columns.
    QSize dialogSize;
    whenShown<QFileDialog>([&dialogSize](QFileDialog* dialog) {
        dialogSize = dialog->size();
        dialog->reject();
    });
    frame->action(ID_FILE_OPEN)->trigger();
    EXPECT_GE(dialogSize.width(), 760);
    EXPECT_GE(dialogSize.height(), 420);

    // A land named as on the command line (relative to the start directory) titles the window
    // with its full path, as File Open does; the accessible name follows.
    ASSERT_TRUE(frame->openLand("island.lnd"));
    EXPECT_EQ(frame->windowTitle().toStdString(), fs::absolute(landPath).lexically_normal().string());
    EXPECT_EQ(frame->accessibleName(), frame->windowTitle());
    EXPECT_FALSE(hint->isVisible());

    // The status message is the bar's description; a cleared one shows the idle text again.
    frame->statusBar()->showMessage(QStringLiteral("Open a land file"));
    EXPECT_EQ(frame->statusBar()->accessibleDescription(), QStringLiteral("Open a land file"));
    frame->statusBar()->clearMessage();
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Ready"));
    EXPECT_EQ(frame->statusBar()->accessibleDescription(), QStringLiteral("Ready"));
}

TEST_F(Shell, EditSaveAndReopenThroughTheWindow) {
    openThroughDialog(landPath);
    ASSERT_TRUE(land->loaded());
    EXPECT_EQ(frame->windowTitle().toStdString(), landPath);

    frame->action(ID_MODE_LANDEDITOR)->trigger();
    EXPECT_TRUE(frame->action(ID_MODE_LANDEDITOR)->isChecked());
    EXPECT_FALSE(frame->action(ID_MODE_VIEWER)->isChecked());
    QListWidget* brushes = frame->leftView()->list();
    ASSERT_EQ(brushes->count(), int(settings->brushes().size()));
    EXPECT_EQ(brushes->currentRow(), 0);
    EXPECT_EQ(brushes->item(1)->toolTip().toStdString(), settings->brushes()[1].tip);
    EXPECT_GE(frame->leftView()->width(), 120);
    brushes->setCurrentRow(1);   // the second brush
    ASSERT_EQ(frame->leftView()->selectedBrush(), &settings->brushes()[1]);

    const QPoint at = pointAtLand();
    ASSERT_NE(frame->renderView()->brushTool().block, -1);
    const std::vector<std::uint8_t> before = cells();
    EXPECT_FALSE(frame->action(ID_EDIT_UNDOBRUSH)->isEnabled());
    const QPoint pointer = QCursor::pos();
    contextCommand(at, 'A');
    EXPECT_EQ(frame->renderView()->brushTool().brush, &settings->brushes()[1]);
    EXPECT_TRUE(land->modified());
    EXPECT_NE(cells(), before) << "the brush raised the land";
    EXPECT_EQ(QCursor::pos(), pointer) << "the pointer is back where the menu opened";
    EXPECT_TRUE(frame->action(ID_EDIT_UNDOBRUSH)->isEnabled());
    EXPECT_FALSE(frame->action(ID_EDIT_REDOBRUSH)->isEnabled());
    const std::vector<std::uint8_t> raised = cells();
    frame->action(ID_EDIT_UNDOBRUSH)->trigger();
    EXPECT_EQ(cells(), before) << "undo gives back every byte";
    EXPECT_FALSE(frame->action(ID_EDIT_UNDOBRUSH)->isEnabled());
    // Redo, by both of its keys, and undo once more; a new step then leaves nothing to redo.
    ASSERT_TRUE(frame->action(ID_EDIT_REDOBRUSH)->isEnabled());
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    QTest::keyClick(frame.get(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(cells(), raised) << "redo gives back the step";
    EXPECT_FALSE(frame->action(ID_EDIT_REDOBRUSH)->isEnabled());
    frame->action(ID_EDIT_UNDOBRUSH)->trigger();
    QTest::keyClick(frame.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(cells(), raised);
    frame->action(ID_EDIT_UNDOBRUSH)->trigger();
    frame->prepareContextMenu();
    frame->action(ID_SMOOTHBRUSH)->trigger();
    EXPECT_EQ(land->history().newest().mode, kBrushSmooth);
    EXPECT_FALSE(frame->action(ID_EDIT_REDOBRUSH)->isEnabled()) << "a new step empties the redo list";
    frame->action(ID_EDIT_UNDOBRUSH)->trigger();
    EXPECT_EQ(cells(), before);

    // Delete the block under the pointer: cancelled first, then confirmed.
    frames(2);
    BoxSeen box;
    answerBox(QMessageBox::Cancel, &box);
    contextCommand(at, 'D');
    EXPECT_EQ(box.text, QStringLiteral("Are you sure?"));
    EXPECT_EQ(box.title, QStringLiteral("delete block"));
    EXPECT_EQ(box.icon, QMessageBox::Question);
    EXPECT_FALSE(land->blocksDeleted());
    const std::vector<std::uint8_t> index(reinterpret_cast<const std::uint8_t*>(land->header()->BlockIndex),
                                          reinterpret_cast<const std::uint8_t*>(land->header()->BlockIndex) +
                                              sizeof land->header()->BlockIndex);
    answerBox(QMessageBox::Ok);
    contextCommand(at, 'D');
    ASSERT_TRUE(land->blocksDeleted());
    int deleted = -1;
    for (int gx = 0; gx < kGridSize; ++gx)
        for (int gz = 0; gz < kGridSize; ++gz)
            if (land->header()->BlockIndex[gx][gz] == 0 && index[std::size_t(gx * kGridSize + gz)] != 0)
                deleted = index[std::size_t(gx * kGridSize + gz)] - 1;
    ASSERT_GE(deleted, 0);

    // Save As reopens the compacted file; the title follows.
    const std::string saved = dir.file("saved.lnd");
    QString title;
    answerFileDialog(QString::fromStdString(saved), &title);
    BoxSeen create;
    answerBox(QMessageBox::Yes, &create);
    pointerAway();
    frame->action(ID_FILE_SAVEAS)->trigger();
    EXPECT_EQ(title, QStringLiteral("File Save"));
    EXPECT_TRUE(create.text.endsWith(QStringLiteral("This file does not exist.\nDo you want to create it?")));
    ASSERT_TRUE(fs::exists(saved));
    EXPECT_EQ(frame->windowTitle().toStdString(), saved);
    EXPECT_FALSE(land->modified());
    EXPECT_FALSE(land->blocksDeleted()) << "the saved file was opened again";
    EXPECT_EQ(land->numBlocks(), 8);
    EXPECT_EQ(QDir::currentPath().toStdString(), fs::canonical(dir.path()).string());

    // The bytes are those of the same deletion made without the window.
    HeadlessLand expected;
    ASSERT_TRUE(expected.open(landPath));
    ASSERT_TRUE(DeleteBlock(expected.land, expected.mesh, deleted));
    ASSERT_TRUE(expected.save(dir.file("expected.lnd"), SaveKind::Full));
    EXPECT_EQ(lndtest::readBytes(saved), lndtest::readBytes(dir.file("expected.lnd")));

    // Quick save As writes the same land under another name and titles the window with it.
    const std::string quick = dir.file("quick.lnd");
    answerFileDialog(QString::fromStdString(quick), &title);
    answerBox(QMessageBox::Yes);
    frame->action(ID_FILE_QUICKSAVE)->trigger();
    EXPECT_EQ(title, QStringLiteral("Quick save"));
    EXPECT_EQ(frame->windowTitle().toStdString(), quick);
    // Reopening syncs the split flags of shared block edges, so only the blocks may differ.
    const std::vector<std::uint8_t> quickBytes = lndtest::readBytes(quick), savedBytes = lndtest::readBytes(saved);
    LndLayout layout;
    ASSERT_EQ(quickBytes.size(), savedBytes.size());
    ASSERT_TRUE(checkImage(savedBytes, layout));
    EXPECT_TRUE(std::equal(quickBytes.begin(), quickBytes.begin() + std::ptrdiff_t(layout.blocksOffset), savedBytes.begin()));
    EXPECT_TRUE(std::equal(quickBytes.begin() + std::ptrdiff_t(layout.countriesOffset), quickBytes.end(),
                           savedBytes.begin() + std::ptrdiff_t(layout.countriesOffset)));

    if (const char* shots = std::getenv("LND_SHOT_DIR")) {
        frames(3);
        frame->grab().save(QString::fromLatin1(shots) + QStringLiteral("/vostrel_editor.png"));
        for (QAction* top : frame->menuBar()->actions()) {
            QMenu* menu = top->menu();
            menu->popup(frame->mapToGlobal(QPoint(0, 0)));
            QTest::qWait(50);
            menu->grab().save(QString::fromLatin1(shots) + QStringLiteral("/menu_") + top->text().remove(QLatin1Char('&')) +
                              QStringLiteral(".png"));
            menu->hide();
        }
    }
}

TEST_F(Shell, CommandStatesFollowLandModeAndPick) {
    struct Row {
        int id;
        bool noLand, viewer, editor;
    };
    // The pointer is off the view: nothing is picked.
    const Row rows[] = {
        {ID_FILE_NEW, false, false, false},        {ID_FILE_OPEN, true, true, true},
        {ID_FILE_SAVE, false, false, true},        {ID_FILE_QUICKSAVE, false, false, true},
        {ID_FILE_SAVEAS, false, false, true},      {ID_APP_EXIT, true, true, true},
        {ID_EDIT_UNDOBRUSH, false, false, false},  {ID_MODE_SCRIPTEDITOR, false, false, false},
        {ID_VIEW_SPHERE, false, false, true},      {ID_VIEW_LANDSTATISTICS, false, true, true},
        {ID_HELP_HELP, true, true, true},          {ID_EDIT_COPY, false, false, false},
        {ID_EDIT_PASTE, false, false, false},      {ID_COPYCOORDS, false, false, false},
        {ID_ADDBRUSH, false, false, false},        {ID_LEVELBRUSH, false, false, false},
        {ID_BLOCKCOUNTRIES, false, false, false},  {ID_DELETEBLOCK, false, false, false},
        {ID_CHANGENOISEMAP, false, false, true},   {ID_LEVELMAP, false, false, true},
        {ID_EDIT_REDOBRUSH, false, false, false},  {ID_SMOOTHBRUSH, false, false, false},
        {ID_FILE_EXPORTHEIGHTMAP, false, true, true}, {ID_FILE_IMPORTHEIGHTMAP, false, false, true},
        {ID_FILE_EXPORTCOUNTRYMAP, false, true, true}, {ID_FILE_IMPORTCOUNTRYMAP, false, false, true},
        {ID_FILE_EXPORTMESH, false, true, true},
    };
    auto check = [&](bool Row::*column, const char* state) {
        for (const Row& r : rows) EXPECT_EQ(frame->action(r.id)->isEnabled(), r.*column) << state << " " << r.id;
    };
    check(&Row::noLand, "no land");
    EXPECT_TRUE(frame->action(ID_MODE_VIEWER)->isChecked());
    ASSERT_TRUE(frame->openLand(landPath));
    check(&Row::viewer, "viewer");
    frame->setEditMode(EditMode::LandEditor);
    check(&Row::editor, "land editor");
    EXPECT_TRUE(frame->action(ID_MODE_LANDEDITOR)->isChecked());
    EXPECT_FALSE(frame->action(ID_MODE_VIEWER)->isChecked());
    EXPECT_TRUE(frame->action(ID_VIEW_SPHERE)->isChecked());

    // A pick enables the block commands without any menu being opened.
    pointAtLand();
    ASSERT_NE(frame->renderView()->brushTool().block, -1);
    for (int id : {ID_COPYCOORDS, ID_ADDBRUSH, ID_SUBBRUSH, ID_SMOOTHBRUSH, ID_LEVELBRUSH, ID_DELETEBLOCK, ID_BLOCKCOUNTRIES})
        EXPECT_TRUE(frame->action(id)->isEnabled()) << id;
    frame->leftView()->list()->clearSelection();
    EXPECT_FALSE(frame->action(ID_ADDBRUSH)->isEnabled()) << "no brush selected";
    EXPECT_FALSE(frame->action(ID_SMOOTHBRUSH)->isEnabled()) << "no brush selected";

    // Back in the viewer only Copy coords stays.
    frame->setEditMode(EditMode::Viewer);
    EXPECT_FALSE(frame->leftView()->isVisible());
    for (int id : {ID_ADDBRUSH, ID_SUBBRUSH, ID_SMOOTHBRUSH, ID_LEVELBRUSH, ID_DELETEBLOCK, ID_CHANGENOISEMAP, ID_LEVELMAP,
                   ID_VIEW_SPHERE, ID_FILE_IMPORTHEIGHTMAP, ID_FILE_IMPORTCOUNTRYMAP})
        EXPECT_FALSE(frame->action(id)->isEnabled()) << id;
    frames(2);
    EXPECT_TRUE(frame->action(ID_COPYCOORDS)->isEnabled());

#if defined(LND_HAVE_XKB)
    // The lock indicators follow the keyboard's lights.
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() == QStringLiteral("xcb")) {
        ASSERT_NE(x11, nullptr);
    }
    if (x11 != nullptr && x11->display() != nullptr) {
        Display* display = x11->display();
        for (bool on : {true, false}) {
            XkbLockModifiers(display, XkbUseCoreKbd, LockMask, on ? LockMask : 0);
            XSync(display, False);
            QTest::keyRelease(frame->windowHandle(), Qt::Key_CapsLock);
            EXPECT_EQ(frame->lockIndicator(0)->text(), on ? QStringLiteral("CAP") : QString());
        }
    }
#endif

    // A size change keeps every device object.
    const int builds = frame->renderView()->deviceObjectBuilds();
    frame->resize(760, 560);
    frames(3);
    EXPECT_EQ(frame->renderView()->deviceObjectBuilds(), builds);
}

TEST_F(Shell, DialogBarResetsAndClampsTheLevel) {
    ASSERT_TRUE(frame->openLand(landPath));
    CDlgBar* bar = frame->dialogBar();
    EXPECT_FALSE(bar->isVisible()) << "hidden in the viewer";
    frame->setEditMode(EditMode::LandEditor);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->levelField()->text(), QStringLiteral("000"));
    bar->timesSlider()->setValue(7);
    bar->radiusSlider()->setValue(33);
    EXPECT_EQ(frame->renderView()->brushTool().times, 7);
    EXPECT_EQ(frame->renderView()->brushTool().radius, 33);
    EXPECT_EQ(bar->radiusValue()->text(), QStringLiteral("33"));

    bar->levelField()->setFocus();
    bar->levelField()->clear();
    QTest::keyClicks(bar->levelField(), QStringLiteral("9999x"));
    EXPECT_EQ(bar->levelField()->text(), QStringLiteral("999")) << "three digits at most";
    QTest::keyClick(bar->levelField(), Qt::Key_Return);
    EXPECT_EQ(bar->levelField()->text(), QStringLiteral("255"));
    EXPECT_EQ(frame->renderView()->brushTool().level, 255);

    // Choosing the land editor again keeps the brush selection and resets the bar.
    frame->leftView()->list()->setCurrentRow(2);
    bar->timesSlider()->setValue(4);
    frame->action(ID_MODE_LANDEDITOR)->trigger();
    EXPECT_EQ(frame->leftView()->list()->currentRow(), 2);
    EXPECT_EQ(bar->timesSlider()->value(), 1);
    EXPECT_EQ(frame->renderView()->brushTool().times, 1);
    bar->timesSlider()->setValue(7);
    bar->radiusSlider()->setValue(33);

    // Opening the Edit menu resets the bar; the level value stays.
    QMenu* edit = frame->menuBar()->actions().at(1)->menu();
    emit edit->aboutToShow();
    EXPECT_EQ(bar->timesSlider()->value(), 1);
    EXPECT_EQ(bar->radiusSlider()->value(), 80);
    EXPECT_EQ(frame->renderView()->brushTool().radius, 80);
    EXPECT_EQ(bar->levelField()->text(), QStringLiteral("000"));
    EXPECT_EQ(frame->renderView()->brushTool().level, 255);

    // Land statistics show the loaded land's counts.
    CSta stats(*land, frame.get());
    const QList<QLineEdit*> fields = stats.findChildren<QLineEdit*>();
    ASSERT_EQ(fields.size(), 5);
    EXPECT_EQ(fields[0]->text().toStdString(), landPath);
    EXPECT_EQ(fields[1]->text(), QStringLiteral("9"));
    for (QLineEdit* f : fields) EXPECT_TRUE(f->isReadOnly());
    if (const char* shots = std::getenv("LND_SHOT_DIR")) {
        CAboutDlg about(frame.get());
        about.show();
        stats.show();
        QTest::qWait(100);
        about.grab().save(QString::fromLatin1(shots) + QStringLiteral("/about.png"));
        stats.grab().save(QString::fromLatin1(shots) + QStringLiteral("/stats.png"));
    }
}

TEST_F(Shell, CopyCoordsHelpFailureAndPostedBoxes) {
    ASSERT_TRUE(frame->openLand(landPath));
    const QPoint at = pointAtLand();
    const glm::vec3 picked = frame->renderView()->pickedPoint();
    ASSERT_NE(picked.x, -1.0f);
    QGuiApplication::clipboard()->clear();
    contextCommand(at, 'C');
    const QString text = QGuiApplication::clipboard()->text();
    EXPECT_EQ(text.toStdString(), coordsText(picked.x, picked.z));
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("^[0-9]+\\.[0-9]{2},[0-9]+\\.[0-9]{2}$")))) << text.toStdString();

    const std::string cwd = QDir::currentPath().toStdString();
    for (int code : {kLaunchPathNotFound, kLaunchFileNotFound}) {
        if (code == kLaunchFileNotFound) fs::create_directories(dir.file("helpfiles"));
        BoxSeen box;
        answerBox(QMessageBox::Ok, &box);
        frame->action(ID_HELP_HELP)->trigger();
        EXPECT_EQ(box.text, boxText(helpFailureText(cwd, code)));
        EXPECT_FALSE(box.text.contains(QStringLiteral("\n\n")) || box.text.contains(QLatin1Char('\r'))) << box.text.toStdString();
        EXPECT_EQ(box.icon, QMessageBox::NoIcon);
        EXPECT_EQ(box.title, QStringLiteral("Vostrel"));
    }
    // A box raised inside a frame waits for the event loop instead of running one there.
    {
        ShellMessages::GlCallbackScope insideFrame;
        messages.plain("ERROR IN LOADING TEXTURE, error =test");
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
    BoxSeen posted;
    answerBox(QMessageBox::Ok, &posted);
    for (int i = 0; i < 100 && posted.text.isEmpty(); ++i) QTest::qWait(10);
    EXPECT_EQ(posted.text, QStringLiteral("ERROR IN LOADING TEXTURE, error =test"));
    EXPECT_EQ(posted.icon, QMessageBox::NoIcon);

    // The fixture destroys the window without a close event: a modified land asks nothing
    // then (a box here would never be answered).
    land->markModified();
}

TEST_F(Shell, ClosingKeepsUnsavedEditsUnlessSavedOrDiscarded) {
    ASSERT_TRUE(frame->openLand(landPath));
    frame->setEditMode(EditMode::LandEditor);
    BoxSeen box;
    answerBox(QMessageBox::Ok, &box);
    frame->action(ID_LEVELMAP)->trigger();
    EXPECT_EQ(box.text, QStringLiteral("Are you sure you like to initialize the map ?"));
    ASSERT_TRUE(land->modified());

    // Yes, then Cancel in File Save: the window stays, the edits too.
    answerBox(QMessageBox::Yes, &box);
    answerFileDialog(QString());
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(box.text, QStringLiteral("Do you like to save the current file?"));
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(land->modified());
    EXPECT_FALSE(land->closing());

    // A modified land asks before another is opened; No discards.
    answerBox(QMessageBox::No, &box);
    openThroughDialog(landPath);
    EXPECT_EQ(box.text, QStringLiteral("Do you like to save the current file?"));
    EXPECT_FALSE(land->modified());
    EXPECT_EQ(lndtest::readBytes(landPath), original);

    // Bad input: a broken land keeps the one open and the title; a noise bitmap that is
    // not one changes nothing.
    const QString title = frame->windowTitle();
    lndtest::writeBytes(dir.file("broken.lnd"), {1, 2, 3});
    answerBox(QMessageBox::Ok, &box);
    openThroughDialog(dir.file("broken.lnd"));
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_TRUE(land->loaded());
    EXPECT_EQ(frame->windowTitle(), title);
    EXPECT_EQ(land->numBlocks(), 9);

    const auto* noiseBytes = &land->noiseMap()->Values[0][0];
    const std::vector<std::uint8_t> noise(noiseBytes, noiseBytes + sizeof land->noiseMap()->Values);
    lndtest::writeBytes(dir.file("noise.bmp"), {'B', 'M', 0, 0});
    QString dialogTitle;
    answerFileDialog(QString::fromStdString(dir.file("noise.bmp")), &dialogTitle);
    answerBox(QMessageBox::Ok, &box);
    frame->action(ID_CHANGENOISEMAP)->trigger();
    EXPECT_EQ(dialogTitle, QStringLiteral("Select a gray bmp to replace the current noise map"));
    EXPECT_FALSE(box.text.isEmpty());
    EXPECT_FALSE(land->modified());
    EXPECT_TRUE(std::equal(noise.begin(), noise.end(), &land->noiseMap()->Values[0][0]));

    // A save that cannot be written says so; the land stays modified and the title stays.
    land->markModified();
    const std::string goodPath = land->path();
    land->setPath(dir.file("island.lnd/inside-a-file.lnd"));
    answerBox(QMessageBox::Ok, &box);
    frame->action(ID_FILE_SAVE)->trigger();
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("Problems saving the file "))) << box.text.toStdString();
    EXPECT_TRUE(land->modified());
    EXPECT_EQ(frame->windowTitle(), title);
    land->setPath(goodPath);

    // Yes at the closing question saves through File Save and closes; the compacted file
    // is not opened again on the way out.
    const QPoint at = pointAtLand();
    answerBox(QMessageBox::Ok);
    contextCommand(at, 'D');
    ASSERT_TRUE(land->blocksDeleted());
    pointerAway();
    const std::string saved = dir.file("closing.lnd");
    answerBox(QMessageBox::Yes);
    answerFileDialog(QString::fromStdString(saved));
    whenShown<QMessageBox>([](QMessageBox* create) { create->button(QMessageBox::Yes)->click(); });
    EXPECT_TRUE(frame->close());
    EXPECT_EQ(land->numBlocks(), 9) << "not reopened";
    const std::vector<std::uint8_t> bytes = lndtest::readBytes(saved);
    ASSERT_GE(bytes.size(), sizeof(TLndHeader));
    EXPECT_EQ(std::int32_t(reinterpret_cast<const TLndHeader*>(bytes.data())->NumBlocks), 9) << "eight blocks, stored plus one";
    EXPECT_EQ(lndtest::readBytes(landPath), original);
}

}  // namespace

TEST_F(Shell, HeightmapExportAndImportThroughTheWindow) {
    openThroughDialog(landPath);
    frame->setEditMode(EditMode::LandEditor);
    const std::vector<std::uint8_t> before = cells();

    // Export, 16 bits by the second filter: a 49 x 49 picture (3 x 3 blocks) and its side file.
    const QString exported = QString::fromStdString(dir.file("heights"));
    QString filterSeen;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        filterSeen = dialog->nameFilters().join(QStringLiteral(";;"));
        dialog->selectNameFilter(dialog->nameFilters().value(1));
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        name->setText(exported);
        QTest::keyClick(name, Qt::Key_Return);
    });
    frame->action(ID_FILE_EXPORTHEIGHTMAP)->trigger();
    EXPECT_EQ(filterSeen, QString::fromLatin1(kHeightmapExportFilter));
    const QImage shot(exported + QStringLiteral(".png"));
    ASSERT_FALSE(shot.isNull()) << "the suffix is added";
    EXPECT_EQ(shot.size(), QSize(49, 49));
    EXPECT_EQ(shot.depth(), 16);
    EXPECT_TRUE(fs::exists(dir.file("heights.png.txt")));

    // A picture of its own, laid on cell for cell: (row, column) = (x, z) of the cells.
    QImage ramp(49, 49, QImage::Format_Grayscale8);
    for (int y = 0; y < 49; ++y)
        for (int x = 0; x < 49; ++x) ramp.setPixel(x, y, qRgb(2 * y + x, 2 * y + x, 2 * y + x));
    const QString rampPath = QString::fromStdString(dir.file("ramp.png"));
    ASSERT_TRUE(ramp.save(rampPath));
    fs::copy_file(dir.file("heights.png.txt"), dir.file("ramp.png.txt"));
    const auto expectRamp = [&] {
        for (int gx = 10; gx < 13; ++gx)
            for (int gz = 10; gz < 13; ++gz) {
                const TLndBlock& b = land->blocks()[std::size_t(land->blockRecordAt(gx, gz))];
                for (int i = 0; i < 17; ++i)
                    for (int j = 0; j < 17; ++j)
                        ASSERT_EQ(b.Cells[i][j].Altitude, 2 * (16 * (gx - 10) + i) + 16 * (gz - 10) + j) << gx << gz << i << j;
            }
    };

    struct Attempt {
        const char* name;
        std::string file;
        std::vector<QMessageBox::StandardButton> answers;   // in the order the boxes show
        QMessageBox::Icon lastIcon;
        bool imported;
    };
    {
        std::FILE* bad = std::fopen(dir.file("bad.png").c_str(), "wb");
        ASSERT_NE(bad, nullptr);
        std::fputs("\x89PNG not really", bad);
        std::fclose(bad);
    }
    const Attempt attempts[] = {
        {"not a picture", dir.file("bad.png"), {QMessageBox::Ok}, QMessageBox::Critical, false},
        {"cancelled", rampPath.toStdString(), {QMessageBox::Cancel}, QMessageBox::Question, false},
        {"confirmed", rampPath.toStdString(), {QMessageBox::Ok}, QMessageBox::Question, true},
    };
    for (const Attempt& a : attempts) {
        SCOPED_TRACE(a.name);
        QString title;
        answerFileDialog(QString::fromStdString(a.file), &title);
        BoxSeen seen;
        for (QMessageBox::StandardButton answer : a.answers) answerBox(answer, &seen);
        frame->action(ID_FILE_IMPORTHEIGHTMAP)->trigger();
        EXPECT_EQ(title, QStringLiteral("Import heightmap"));
        EXPECT_EQ(seen.icon, a.lastIcon);
        if (a.lastIcon == QMessageBox::Question) {
            EXPECT_EQ(seen.text, QString::fromLatin1(kImportHeightmapQuestion));
        }
        EXPECT_EQ(cells() != before, a.imported);
        EXPECT_EQ(frame->action(ID_EDIT_UNDOBRUSH)->isEnabled(), a.imported);
    }
    expectRamp();
    EXPECT_TRUE(land->modified());
    EXPECT_EQ(land->history().size(), 1u) << "the import is one step";
    const std::vector<std::uint8_t> imported = cells();
    frame->action(ID_EDIT_UNDOBRUSH)->trigger();
    EXPECT_EQ(cells(), before) << "undo gives back every byte";
    ASSERT_TRUE(frame->action(ID_EDIT_REDOBRUSH)->isEnabled());
    frame->action(ID_EDIT_REDOBRUSH)->trigger();
    EXPECT_EQ(cells(), imported);
    expectRamp();
    EXPECT_EQ(QDir::currentPath().toStdString(), fs::canonical(dir.path()).string());
}

TEST_F(Shell, CountryMapAndMeshExchangeThroughTheWindow) {
    // The island with two countries, so a map can change them.
    lndtest::LandBuilder b;
    for (int gx = 10; gx < 13; ++gx)
        for (int gz = 10; gz < 13; ++gz) b.block(gx, gz);
    const std::string twoCountries = b.countries(2).materials(2).loResTextures(2).writeTo(dir.file("two.lnd"));
    openThroughDialog(twoCountries);
    // The File menu's items, with their captions (a menu item is read out by its caption).
    QMenu* fileMenu = frame->menuBar()->actions().front()->menu();
    const std::pair<int, const char*> items[] = {{ID_FILE_EXPORTCOUNTRYMAP, "Export country map..."},
                                                 {ID_FILE_IMPORTCOUNTRYMAP, "Import country map..."},
                                                 {ID_FILE_EXPORTMESH, "Export mesh..."}};
    for (const auto& [id, caption] : items) {
        QAction* a = frame->action(id);
        ASSERT_NE(a, nullptr) << caption;
        EXPECT_EQ(a->text(), QString::fromLatin1(caption));
        EXPECT_TRUE(fileMenu->actions().contains(a)) << caption;
    }

    // The mesh, before anything changes, as the session writes it with the same choices. The
    // first export takes the default filter (glTF binary) and both boxes, the second the OBJ
    // filter chosen as a user does (the name typed without an extension takes the filter's),
    // the third a name the exporter refuses, whose reason is shown.
    struct MeshExport {
        const char* typed;
        int filterSteps;   // key presses down the filter list
        bool textures, sea;
        std::vector<std::string> written;   // empty: refused
    };
    const MeshExport meshes[] = {
        {"land", 0, true, true, {"land.glb"}},
        {"plain", 2, false, false, {"plain.obj", "plain.mtl"}},
        {"shape.gltf", 0, false, true, {"shape.gltf", "shape.bin"}},
        {"notes.txt", 0, false, false, {}},
    };
    for (const MeshExport& m : meshes) {
        SCOPED_TRACE(m.typed);
        QString filters;
        QStringList boxNames;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            filters = dialog->nameFilters().join(QStringLiteral(";;"));
            auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            ASSERT_NE(combo, nullptr);
            for (int k = 0; k < m.filterSteps; ++k) QTest::keyClick(combo, Qt::Key_Down);
            for (auto [caption, on] : {std::pair{kMeshTexturesChoice, m.textures}, std::pair{kMeshSeaChoice, m.sea}}) {
                auto* box = dialog->findChild<QCheckBox*>(QString::fromLatin1(caption));
                ASSERT_NE(box, nullptr) << caption;
                EXPECT_TRUE(box->isVisible());
                EXPECT_FALSE(box->isChecked());
                boxNames << box->accessibleName();
                if (on) box->click();
            }
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name->setText(QString::fromStdString(dir.file(m.typed)));
            QTest::keyClick(name, Qt::Key_Return);
        });
        BoxSeen seen;
        if (m.written.empty()) answerBox(QMessageBox::Ok, &seen);
        frame->action(ID_FILE_EXPORTMESH)->trigger();
        EXPECT_EQ(filters, QString::fromLatin1(kMeshExportFilter));
        EXPECT_EQ(boxNames, (QStringList{QString::fromLatin1(kMeshTexturesChoice), QString::fromLatin1(kMeshSeaChoice)}));
        if (m.written.empty()) {
            EXPECT_EQ(seen.icon, QMessageBox::Critical);
            EXPECT_TRUE(seen.text.contains(QStringLiteral("a mesh file is .glb, .gltf or .obj"))) << seen.text.toStdString();
            EXPECT_FALSE(fs::exists(dir.file(m.typed)));
            continue;
        }
        for (const std::string& f : m.written) EXPECT_TRUE(fs::exists(dir.file(f))) << f;
        EXPECT_FALSE(fs::exists(dir.file(std::string(m.typed) + "_texture.png")));
        // The same choices through the session give the same files (under the same names,
        // which the files name each other by).
        EditorSession same;
        ASSERT_TRUE(same.open(twoCountries, landSettingsFrom(*settings)));
        MeshExportOptions options;
        options.textures = m.textures;
        options.sea = m.sea;
        fs::create_directories(dir.file("same"));
        ASSERT_TRUE(same.exportMesh(dir.file("same/" + m.written.front()), options));
        for (const std::string& f : m.written)
            EXPECT_EQ(lndtest::readBytes(dir.file(f)), lndtest::readBytes(dir.file("same/" + f))) << f;
    }

    // Export country map (a loaded land is enough): the suffix is added and the side file
    // written beside it.
    QString title;
    answerFileDialog(QString::fromStdString(dir.file("countries")), &title);
    frame->action(ID_FILE_EXPORTCOUNTRYMAP)->trigger();
    EXPECT_EQ(title, QStringLiteral("Export country map"));
    std::unique_ptr<CImageBase> read;
    ASSERT_TRUE(readPictureFile(dir.file("countries.png"), read));
    ASSERT_EQ(read->kind(), CImage8::kKind);
    auto& exported = static_cast<CImage8&>(*read);
    ASSERT_EQ(exported.width(), 49);
    ASSERT_EQ(exported.height(), 49);
    EXPECT_TRUE(fs::exists(dir.file("countries.png.txt")));

    // Country 1 painted over part of it; a copy with the transparent index over a land cell.
    CImage8 painted = exported;
    for (int y = 5; y < 30; ++y)
        for (int x = 10; x < 40; ++x) painted.indices()[std::size_t(y) * 49 + std::size_t(x)] = 1;
    lndtest::writeBytes(dir.file("painted.png"), encodePngPaletted(painted));
    CImage8 holed = painted;
    holed.indices()[std::size_t(3) * 49 + 4] = 2;
    lndtest::writeBytes(dir.file("holed.png"), encodePngPaletted(holed));
    {
        std::FILE* bad = std::fopen(dir.file("bad.png").c_str(), "wb");
        ASSERT_NE(bad, nullptr);
        std::fputs("\x89PNG not really", bad);
        std::fclose(bad);
    }

    frame->setEditMode(EditMode::LandEditor);
    const std::vector<std::uint8_t> before = cells();
    const auto altitudesAndFlags = [this] {
        std::vector<std::uint32_t> out;
        for (const TLndBlock& block : land->blocks())
            for (const auto& row : block.Cells)
                for (const TLndCell& cell : row) out.push_back(std::uint32_t(cell.Altitude) << 16 | (cell.CellFlags & ~kCountryMask));
        return out;
    };
    const std::vector<std::uint32_t> heights = altitudesAndFlags();
    struct Attempt {
        const char* name;
        std::string file;
        std::vector<QMessageBox::StandardButton> answers;   // in the order the boxes show
        QMessageBox::Icon lastIcon;
        const char* lastTextPart;
        bool imported;
    };
    const Attempt attempts[] = {
        {"not a picture", dir.file("bad.png"), {QMessageBox::Ok}, QMessageBox::Critical, "bad.png", false},
        {"a country the land lacks", dir.file("holed.png"), {QMessageBox::Ok, QMessageBox::Ok}, QMessageBox::Critical,
         "column 4, row 3 has country index 2", false},
        {"cancelled", dir.file("painted.png"), {QMessageBox::Cancel}, QMessageBox::Question, kImportCountryMapQuestion, false},
        {"confirmed", dir.file("painted.png"), {QMessageBox::Ok}, QMessageBox::Question, kImportCountryMapQuestion, true},
    };
    for (const Attempt& a : attempts) {
        SCOPED_TRACE(a.name);
        answerFileDialog(QString::fromStdString(a.file), &title);
        BoxSeen seen;
        for (QMessageBox::StandardButton answer : a.answers) answerBox(answer, &seen);
        frame->action(ID_FILE_IMPORTCOUNTRYMAP)->trigger();
        EXPECT_EQ(title, QStringLiteral("Import country map"));
        EXPECT_EQ(seen.icon, a.lastIcon);
        EXPECT_TRUE(seen.text.contains(QString::fromLatin1(a.lastTextPart))) << seen.text.toStdString();
        EXPECT_EQ(cells() != before, a.imported);
        EXPECT_EQ(frame->action(ID_EDIT_UNDOBRUSH)->isEnabled(), a.imported);
        EXPECT_FALSE(frame->action(ID_EDIT_REDOBRUSH)->isEnabled());
    }
    const std::vector<std::uint8_t> imported = cells();
    EXPECT_EQ(altitudesAndFlags(), heights) << "only the countries changed";
    EXPECT_TRUE(land->modified());
    EXPECT_EQ(land->history().size(), 1u) << "the import is one step";
    CImage8 now;
    ASSERT_TRUE(exportCountryMap(*land, now));
    EXPECT_TRUE(std::equal(now.indices(), now.indices() + 49 * 49, painted.indices()));

    // Undo and redo through the Edit menu, after a save as well: the land is marked again.
    for (const bool saveFirst : {false, true}) {
        SCOPED_TRACE(saveFirst ? "after a save" : "unsaved");
        if (saveFirst) {
            ASSERT_TRUE(frame->fileSave());
            ASSERT_FALSE(land->modified());
        }
        frame->action(ID_EDIT_UNDOBRUSH)->trigger();
        EXPECT_EQ(cells(), before) << "undo gives back every byte";
        EXPECT_TRUE(land->modified());
        EXPECT_FALSE(frame->action(ID_EDIT_UNDOBRUSH)->isEnabled());
        ASSERT_TRUE(frame->action(ID_EDIT_REDOBRUSH)->isEnabled());
        frame->action(ID_EDIT_REDOBRUSH)->trigger();
        EXPECT_EQ(cells(), imported);
        EXPECT_TRUE(frame->action(ID_EDIT_UNDOBRUSH)->isEnabled());
        EXPECT_FALSE(frame->action(ID_EDIT_REDOBRUSH)->isEnabled());
    }
    EXPECT_EQ(QDir::currentPath().toStdString(), fs::canonical(dir.path()).string());

    // A land of 25 blocks makes its block textures under a progress box, which closes itself.
    lndtest::LandBuilder big;
    for (int gx = 0; gx < 5; ++gx)
        for (int gz = 0; gz < 5; ++gz) big.block(gx, gz);
    ASSERT_TRUE(frame->openLand(big.writeTo(dir.file("big.lnd"))));
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        dialog->findChild<QCheckBox*>(QString::fromLatin1(kMeshTexturesChoice))->click();
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        name->setText(QString::fromStdString(dir.file("big")));
        QTest::keyClick(name, Qt::Key_Return);
    });
    frame->action(ID_FILE_EXPORTMESH)->trigger();
    EXPECT_TRUE(fs::exists(dir.file("big.glb")));
    EXPECT_EQ(frame->findChildren<QProgressDialog*>().size(), 0);
}

namespace {

// The view's area as the screen shows it: what the window system composed, not what the
// view's context holds.
QImage viewOnScreen(QWidget* view) {
    const QPoint at = view->mapToGlobal(QPoint(0, 0));
    return view->screen()->grabWindow(0, at.x(), at.y(), view->width(), view->height()).toImage().convertToFormat(
        QImage::Format_RGB32);
}

bool near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

}  // namespace

TEST_F(Shell, ThePictureReachesTheScreenWithTheHintAboveIt) {
    CRFrame* view = frame->renderView();
    QLabel* hint = frame->openLandHint();
    frames(3);
    const QRgb sky = qRgb(0x00, 0x80, 0xF8);
    // No land: the sky fills the view and the hint's opaque box stands over it.
    struct Probe {
        QPoint at;
        QRgb colour;
        const char* what;
    };
    const QRect box = hint->geometry();
    const Probe empty[] = {
        {QPoint(5, 5), sky, "view corner"},
        {QPoint(view->width() - 5, view->height() - 5), sky, "far view corner"},
        {box.topLeft() + QPoint(2, 2), qRgb(0, 73, 141), "hint corner"},
        {box.bottomRight() - QPoint(2, 2), qRgb(0, 73, 141), "hint far corner"},
    };
    QImage screen = viewOnScreen(view);
    for (const Probe& p : empty)
        EXPECT_TRUE(near(screen.pixel(p.at), p.colour, 2))
            << p.what << ": " << std::hex << screen.pixel(p.at) << " expected " << p.colour;

    // A land: the hint goes, and the screen shows what the view draws, the right way up.
    ASSERT_TRUE(frame->openLand(landPath));
    frames(4);
    view->setContinuous(false);
    QTest::qWait(100);   // the frame already asked for
    screen = viewOnScreen(view);
    const QImage drawn = view->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(drawn.size(), screen.size() * view->devicePixelRatio());
    ASSERT_EQ(view->devicePixelRatio(), 1.0) << "the comparison below reads both pictures pixel for pixel";
    int landPixels = 0, differ = 0;
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x) {
            landPixels += near(screen.pixel(x, y), sky, 8) ? 0 : 1;
            differ += near(screen.pixel(x, y), drawn.pixel(x, y), 8) ? 0 : 1;
        }
    const int pixels = screen.width() * screen.height();
    EXPECT_GT(landPixels, pixels / 20) << "no land on screen";
    EXPECT_LT(differ, pixels / 100) << "the screen is not the view's picture";
    EXPECT_TRUE(near(screen.pixel(box.center()), drawn.pixel(box.center()), 8)) << "the hint still covers the picture";
    view->setContinuous(true);
}

TEST_F(Shell, FramesFollowRequestsAndStopWhileTheWindowIsHidden) {
    {
        // A view never shown has no context: nothing to grab, and requests draw nothing.
        CLand otherLand;
        CMainFrame unseen(otherLand, *settings, messages);
        ASSERT_FALSE(hostFailed(unseen.renderView()->startHost()));
        QSignalSpy spy(unseen.renderView(), &CD3DHostWidget::frameSwapped);
        unseen.renderView()->requestFrame();
        QTest::qWait(100);
        EXPECT_EQ(spy.count(), 0);
        EXPECT_TRUE(unseen.renderView()->grabFramebuffer().isNull());
        EXPECT_EQ(unseen.renderView()->context(), nullptr);
    }
    CRFrame* view = frame->renderView();
    ASSERT_TRUE(frame->openLand(landPath));
    frames(2);
    // Frames counted over a quiet spell after each step.
    auto framesIn = [&](int ms) {
        QSignalSpy spy(view, &CD3DHostWidget::frameSwapped);
        QTest::qWait(ms);
        return int(spy.count());
    };
    // Until a quiet spell: a frame already under way may still arrive after drawing stops.
    auto settle = [&] {
        for (int k = 0; k < 20 && framesIn(100) > 0; ++k) {
        }
    };
    auto showAgain = [&] {
        frame->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        int least, most;
    };
    const Step steps[] = {
        {"continuous", [] {}, 3, 1 << 20},
        {"continuous off", [&] { view->setContinuous(false); settle(); }, 0, 0},
        // One frame for them all, and perhaps one for an exposure the window system sends late.
        {"requests merge into one frame", [&] { for (int i = 0; i < 20; ++i) view->requestFrame(); }, 1, 2},
        {"a request while hidden", [&] { frame->hide(); settle(); view->requestFrame(); }, 0, 0},
        {"shown again, continuous", [&] { showAgain(); view->setContinuous(true); }, 3, 1 << 20},
        {"hidden while continuous", [&] { frame->hide(); settle(); }, 0, 0},
        {"shown again", [&] { showAgain(); }, 3, 1 << 20},
    };
    for (const Step& s : steps) {
        s.act();
        const int n = framesIn(300);
        EXPECT_GE(n, s.least) << s.what;
        EXPECT_LE(n, s.most) << s.what;
    }
    // A grab draws a frame of the view's size but shows nothing.
    view->setContinuous(false);
    QTest::qWait(100);
    QSignalSpy swapped(view, &CD3DHostWidget::frameSwapped);
    const QImage grabbed = view->grabFramebuffer();
    EXPECT_EQ(grabbed.size(), view->size() * view->devicePixelRatio());
    EXPECT_EQ(swapped.count(), 0);
    view->setContinuous(true);
}

TEST_F(Shell, PointerEventsOverThePictureReachTheView) {
    CRFrame* view = frame->renderView();
    ASSERT_TRUE(frame->openLand(landPath));
    frames(2);
    view->clearFocus();
    const QPoint inWindow = view->mapTo(frame.get(), QPoint(view->width() / 2, view->height() / 2));
    QSignalSpy menus(view, &CRFrame::contextMenuRequested);
    struct Row {
        Qt::MouseButton button;
        bool viewFocused;
        int menus;
    };
    // Delivered to the main window as the window system delivers them: the picture's own
    // window takes no input, so the view under the pointer gets the click and the focus.
    const Row rows[] = {{Qt::LeftButton, true, 0}, {Qt::RightButton, true, 1}};
    for (const Row& r : rows) {
        if (r.menus > 0) whenShown<QMenu>([](QMenu* menu) { menu->close(); });
        menus.clear();
        QTest::mouseClick(frame->windowHandle(), r.button, {}, inWindow);
        QTest::qWait(200);
        // The window's focus, whether or not the window system made the window active.
        EXPECT_EQ(frame->focusWidget() == view, r.viewFocused) << r.button;
        EXPECT_EQ(menus.count(), r.menus) << r.button;
        view->clearFocus();
    }
}
