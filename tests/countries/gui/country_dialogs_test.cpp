// The country dialogs opened on a land built here, driven as a user would (mouse moves on the
// block editor, buttons, sliders) and closed with OK and Cancel. Needs a display (run under
// xvfb-run); without one the tests skip. With LND_SCREENSHOT_DIR set, each dialog is saved
// there as a picture.
#include "base/messages.h"
#include "codec/bmp_writer.h"
#include "countries/country_import.h"
#include "countries/countries_xml.h"
#include "session/editor_session.h"
#include "support/land_builder.h"
#include "support/recording_messages.h"
#include "view/terrain_land.h"
#include "vostrel/block_countries_dialog.h"
#include "vostrel/country_view.h"
#include "vostrel/edit_country_dialog.h"
#include "vostrel/import_country_dialog.h"
#include "vostrel/land_view.h"
#include "vostrel/main_window.h"
#include "base/settings.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace lnd;

namespace {

QApplication* application() {
    static int argc = 1;
    static char name[] = "country_dialogs_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

void screenshot(QWidget& widget, const char* name) {
    const char* dir = std::getenv("LND_SCREENSHOT_DIR");
    if (dir == nullptr) return;
    widget.show();
    QApplication::processEvents();
    widget.grab().save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
}

template <typename T>
T* named(QWidget& parent, const QString& accessibleName) {
    for (T* w : parent.findChildren<T*>())
        if (w->accessibleName() == accessibleName) return w;
    return nullptr;
}

void mouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// A 3 x 3 land of two countries and three coloured materials, held as the editor holds it;
// block record 4 is the middle one.
class CountryDialogs : public ::testing::Test {
protected:
    lndtest::TempDir dir;
    HeadlessLand held;
    RecordingMessages messages;
    CLand& land = held.land;
    EditorSession session{held.land, held.mesh};   // the dialogs edit through it
    int cursorBlock = -1;   // the block the pointer is over

    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display: run under xvfb-run";
        application();
        lndtest::LandBuilder builder;
        for (int gx = 0; gx < 3; ++gx)
            for (int gz = 0; gz < 3; ++gz) builder.block(10 + gx, 10 + gz);
        builder.countries(2).materials(3);
        std::vector<std::uint8_t> image = builder.build();
        const std::string path = dir.file("Home.lnd");
        lndtest::writeBytes(path, image);
        ASSERT_TRUE(held.open(path));
        const std::uint16_t colours[3] = {0x7C00, 0x03E0, 0x001F};
        for (int m = 0; m < 3; ++m)
            for (auto& row : land.materials()[std::size_t(m)].Texels)
                for (auto& t : row) t = colours[m];
        for (int c = 0; c < 2; ++c)
            for (int h = 0; h < 256; ++h) {
                TLndCoef& e = land.countries()[std::size_t(c)].Coefs[h];
                e.mat1 = c, e.mat2 = 2, e.coef = h;
            }
        land.textures().blocks().drop();
        cursorBlock = land.blockRecordAt(11, 11);
        land.setModified(false);
    }
};

}  // namespace

TEST_F(CountryDialogs, BlockEditorPaintsOnMovesAndWritesOnOkOnly) {
    EXPECT_FALSE(blockCountriesEnabled(land, false, cursorBlock));
    EXPECT_FALSE(blockCountriesEnabled(land, true, -1));
    ASSERT_TRUE(blockCountriesEnabled(land, true, cursorBlock));
    const int middle = cursorBlock;
    const TLndBlock before = land.blocks()[std::size_t(middle)];
    {
        CBlockCountries dialog(session, nullptr, messages, cursorBlock);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Block texture "));
        for (const char* caption : {"< previous", "next >", "Modify", "Import country", "Set this country to all the land",
                                    "OK", "Cancel"})
            EXPECT_NE(named<QPushButton>(dialog, caption), nullptr) << caption;
        // Above the -x neighbour, right +z, left -z, below +x.
        EXPECT_EQ(dialog.neighbour(0).block(), land.blockRecordAt(10, 11));
        EXPECT_EQ(dialog.neighbour(1).block(), land.blockRecordAt(11, 12));
        EXPECT_EQ(dialog.neighbour(2).block(), land.blockRecordAt(11, 10));
        EXPECT_EQ(dialog.neighbour(3).block(), land.blockRecordAt(12, 11));
        QLabel* brushText = dialog.findChild<QLabel*>(QStringLiteral("BrushText"));
        EXPECT_EQ(brushText->text(), QStringLiteral("16x16"));
        named<QSlider>(dialog, QStringLiteral("Brush size"))->setValue(8);
        EXPECT_EQ(brushText->text(), QStringLiteral("128x128"));
        EXPECT_EQ(dialog.brushSize(), 128);

        named<QPushButton>(dialog, QStringLiteral("next >"))->click();
        EXPECT_EQ(dialog.selectedCountry(), 1);
        named<QPushButton>(dialog, QStringLiteral("next >"))->click();
        EXPECT_EQ(dialog.selectedCountry(), 0);
        named<QPushButton>(dialog, QStringLiteral("< previous"))->click();
        EXPECT_EQ(dialog.selectedCountry(), 1);

        dialog.show();
        QWidget* centre = named<QWidget>(dialog, QStringLiteral("Block texture"));
        ASSERT_NE(centre, nullptr);
        mouse(centre, QEvent::MouseButtonPress, {250, 250}, Qt::LeftButton);
        EXPECT_FALSE(dialog.editor().pending());   // a press alone paints nothing
        mouse(centre, QEvent::MouseMove, {250, 250}, Qt::LeftButton);
        EXPECT_TRUE(dialog.editor().pending());
        EXPECT_EQ(centre->cursor().shape(), Qt::BlankCursor);
        mouse(centre, QEvent::MouseMove, {300, 20}, Qt::LeftButton);
        EXPECT_EQ(centre->cursor().shape(), Qt::ArrowCursor);
        mouse(centre, QEvent::MouseMove, {128, 100}, Qt::NoButton);
        screenshot(dialog, "block_countries");
        EXPECT_EQ(std::memcmp(&land.blocks()[std::size_t(middle)], &before, sizeof before), 0);
        named<QPushButton>(dialog, QStringLiteral("OK"))->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_TRUE(land.modified());
    for (int i = 0; i < 17; ++i)
        for (int j = 0; j < 17; ++j)
            EXPECT_EQ(land.blocks()[std::size_t(middle)].Cells[i][j].countryIndex(), i >= 15 && j >= 15 ? 1 : 0);

    // Cancel drops what was painted; a double click on a neighbour asks first.
    land.setModified(false);
    const TLndBlock painted = land.blocks()[std::size_t(middle)];
    CBlockCountries dialog(session, nullptr, messages, cursorBlock);
    dialog.show();
    QWidget* centre = named<QWidget>(dialog, QStringLiteral("Block texture"));
    mouse(centre, QEvent::MouseMove, {10, 10}, Qt::LeftButton);
    messages.scriptAnswers({false});
    mouse(named<QWidget>(dialog, QStringLiteral("Above")), QEvent::MouseButtonDblClick, {5, 5}, Qt::LeftButton);
    ASSERT_EQ(messages.count(RecordingMessages::Kind::Question), 1u);
    EXPECT_EQ(messages.entries().back().text, kApplyBlockQuestion);
    EXPECT_EQ(dialog.editor().block(), land.blockRecordAt(10, 11));
    mouse(centre, QEvent::MouseMove, {10, 10}, Qt::LeftButton);
    // On the land's -x edge there is no block above: a double click keeps the block, and
    // dropping the painting was the answer.
    messages.scriptAnswers({false});
    mouse(named<QWidget>(dialog, QStringLiteral("Above")), QEvent::MouseButtonDblClick, {5, 5}, Qt::LeftButton);
    EXPECT_EQ(dialog.neighbour(0).block(), -1);
    EXPECT_EQ(dialog.editor().block(), land.blockRecordAt(10, 11));
    EXPECT_FALSE(dialog.editor().pending());
    mouse(centre, QEvent::MouseMove, {10, 10}, Qt::LeftButton);
    named<QPushButton>(dialog, QStringLiteral("Cancel"))->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(land.modified());
    EXPECT_EQ(std::memcmp(&land.blocks()[std::size_t(middle)], &painted, sizeof painted), 0);
}

TEST_F(CountryDialogs, DialogsShowTheirNumbersFitSmallScreensAndFrameTheBrushVisibly) {
    CBlockCountries dialog(session, nullptr, messages, cursorBlock);
    QWidget* centre = named<QWidget>(dialog, QStringLiteral("Block texture"));
    ASSERT_NE(centre, nullptr);
    QGroupBox* group = nullptr;
    for (QGroupBox* g : dialog.findChildren<QGroupBox*>())
        if (g->title() == QStringLiteral("Block texture")) group = g;
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->isAncestorOf(centre));

    // The country's number, as the import and the exports count countries.
    QLabel* number = dialog.findChild<QLabel*>(QStringLiteral("CountryNumber"));
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->text(), QStringLiteral("Country 0 of 0 to 1"));
    named<QPushButton>(dialog, QStringLiteral("next >"))->click();
    EXPECT_EQ(number->text(), QStringLiteral("Country 1 of 0 to 1"));

    // On a 1366 x 768 screen, less a title bar and a panel, everything fits with OK and Cancel
    // in view; the block being painted keeps one pixel per texel, the neighbours give way.
    const QSize small(1366 - 24, 768 - 48 - 32);
    EXPECT_LE(dialog.minimumSizeHint().height(), small.height());
    EXPECT_LE(dialog.minimumSizeHint().width(), small.width());
    dialog.resize(dialog.sizeHint().boundedTo(small));
    dialog.layout()->activate();
    EXPECT_LE(dialog.height(), small.height());
    for (const char* caption : {"OK", "Cancel", "Set this country to all the land"}) {
        QPushButton* b = named<QPushButton>(dialog, QString::fromLatin1(caption));
        const QRect at(b->mapTo(&dialog, QPoint(0, 0)), b->size());
        EXPECT_TRUE(dialog.rect().contains(at)) << caption;
    }
    EXPECT_EQ(centre->size(), QSize(256, 256));
    EXPECT_LT(named<QWidget>(dialog, QStringLiteral("Above"))->height(), 256);
    // Opened on this screen it fits its available height.
    dialog.show();
    QApplication::processEvents();
    EXPECT_LE(dialog.frameGeometry().height(), dialog.screen()->availableGeometry().height());

    // The brush frame: dark outside, light inside, so it shows on snow and sand alike.
    mouse(centre, QEvent::MouseMove, {128, 100}, Qt::NoButton);
    const BrushFrame frame = dialog.editor().brushFrame();
    ASSERT_TRUE(frame.shown);
    const QImage shot = centre->grab().toImage();
    const int mid = (frame.top + frame.bottom) / 2;
    EXPECT_LT(qGray(shot.pixel(frame.left, mid)), 40);
    EXPECT_GT(qGray(shot.pixel(frame.left + 1, mid)), 215);
    EXPECT_LT(qGray(shot.pixel((frame.left + frame.right) / 2, frame.top)), 40);
    EXPECT_GT(qGray(shot.pixel((frame.left + frame.right) / 2, frame.top + 1)), 215);
    dialog.reject();

    // The blend editor names its country and the materials of its two pictures.
    CEditCountry edit(session, 1);
    EXPECT_EQ(edit.findChild<QLabel*>(QStringLiteral("CountryNumber"))->text(), QStringLiteral("Country 1"));
    QLabel* first = edit.findChild<QLabel*>(QStringLiteral("MaterialNumber1"));
    QLabel* second = edit.findChild<QLabel*>(QStringLiteral("MaterialNumber2"));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->text(), QStringLiteral("Material 2"));    // Picture 1 shows mat2
    EXPECT_EQ(second->text(), QStringLiteral("Material 1"));   // Picture 2 shows mat1
    named<QPushButton>(edit, QStringLiteral("> Picture 1"))->click();
    EXPECT_EQ(first->text(), QStringLiteral("Material 0"));
    EXPECT_EQ(first->accessibleName(), first->text());
}

TEST_F(CountryDialogs, CountryEditorKeepsWeightsUntilMovedAndWritesOnOk) {
    const TLndCountry before = land.countries()[1];
    {
        CEditCountry dialog(session, 1);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Country edit"));
        QSlider* weight = named<QSlider>(dialog, QStringLiteral("Coef"));
        QSlider* altitude = named<QSlider>(dialog, QStringLiteral("Altitude"));
        ASSERT_TRUE(weight && altitude);
        EXPECT_EQ(altitude->value(), 255);
        altitude->setValue(0);   // the top of the slider
        EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("AltitudeText"))->text(), QStringLiteral("255"));
        EXPECT_EQ(weight->value(), 255);
        altitude->setValue(255 - 40);
        EXPECT_EQ(weight->value(), 40);
        EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("CoefText"))->text(), QStringLiteral("Coef=40"));
        weight->setValue(99);
        named<QPushButton>(dialog, QStringLiteral("> Picture 1"))->click();   // mat2 2 wraps to 0
        screenshot(dialog, "edit_country");
        named<QPushButton>(dialog, QStringLiteral("Cancel"))->click();
    }
    EXPECT_EQ(std::memcmp(&land.countries()[1], &before, sizeof before), 0);
    EXPECT_FALSE(land.modified());
    {
        CEditCountry dialog(session, 1);
        named<QPushButton>(dialog, QStringLiteral("OK"))->click();   // nothing moved: nothing changes
    }
    EXPECT_EQ(std::memcmp(&land.countries()[1], &before, sizeof before), 0);
    {
        CEditCountry dialog(session, 1);
        named<QSlider>(dialog, QStringLiteral("Altitude"))->setValue(255 - 40);
        named<QSlider>(dialog, QStringLiteral("Coef"))->setValue(99);
        named<QPushButton>(dialog, QStringLiteral("> Picture 1"))->click();
        named<QPushButton>(dialog, QStringLiteral("< Picture 2"))->click();   // mat1 1 to 0
        named<QPushButton>(dialog, QStringLiteral("OK"))->click();
    }
    EXPECT_TRUE(land.modified());
    const TLndCoef& e = land.countries()[1].Coefs[40];
    EXPECT_EQ(std::int32_t(e.coef), 99);
    EXPECT_EQ(std::int32_t(e.mat2), 0);
    EXPECT_EQ(std::int32_t(e.mat1), 0);
    EXPECT_EQ(std::int32_t(land.countries()[1].Coefs[0].coef), 0);
    EXPECT_EQ(std::int32_t(land.countries()[1].Coefs[41].coef), 41);
}

TEST_F(CountryDialogs, ImportListsOtherLandsAndAppendsTheChosenCountry) {
    // Two exported lands; "home" is this land's own export, whatever its letter case.
    const std::string root = dir.file("exports") + "/";
    for (const char* name : {"home", "Other", "Broken"}) std::filesystem::create_directories(root + name + "/materials");
    std::ofstream(root + "Broken/materials/countries.xml") << "<countries><country id=\"0\">";
    ASSERT_TRUE(writeCountriesXml(root + "Other/materials/countries.xml", land.countries()));
    lndtest::writeBytes(root + "Other/materials/Material1.bmp", {'B', 'M', 1, 2, 3});   // not a bitmap
    CImage32 yellow(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) yellow.pixel(x, y)[1] = yellow.pixel(x, y)[2] = 240;
    lndtest::writeBytes(root + "Other/materials/MATERIAL2.BMP", encodeBmp(yellow));
    land.setExportRoot(root);
    land.setPath(dir.file("Home.lnd"));

    CBlockCountries dialog(session, nullptr, messages, cursorBlock);
    int seenItems = -1;
    dialog.runNested = [&](QDialog& nested) {
        auto& import = dynamic_cast<CImportCountry&>(nested);
        EXPECT_EQ(import.windowTitle(), QStringLiteral("Select country to import"));
        QTreeWidget* tree = import.tree();
        QTreeWidgetItem* lands = tree->topLevelItem(0);
        EXPECT_EQ(lands->text(0), QStringLiteral("Lands"));
        EXPECT_EQ(lands->childCount(), 2);
        QTreeWidgetItem* broken = lands->child(0);
        QTreeWidgetItem* other = lands->child(1);
        EXPECT_EQ(other->text(0), QStringLiteral("Other"));
        broken->setExpanded(true);   // a malformed file: said so, and no countries
        EXPECT_EQ(broken->childCount(), 0);
        EXPECT_EQ(messages.texts().back(),
                  countriesLoadErrorText(root + "Broken/materials/countries.xml"));
        tree->setCurrentItem(other->child(0));   // the placeholder of an unexpanded land
        EXPECT_EQ(other->child(0)->text(0), QStringLiteral("Countries"));
        EXPECT_FALSE(import.importButton()->isEnabled());
        other->setExpanded(true);
        EXPECT_EQ(other->childCount(), 2);
        EXPECT_FALSE(broken->isExpanded());
        tree->setCurrentItem(other->child(1));
        EXPECT_TRUE(import.importButton()->isEnabled());
        seenItems = import.materialList()->count();
        EXPECT_TRUE(import.materialList()->item(0)->icon().isNull());   // Material1.bmp is unreadable
        EXPECT_FALSE(import.materialList()->item(1)->icon().isNull());
        screenshot(import, "import_country");
        import.importButton()->click();
        return import.result();
    };
    named<QPushButton>(dialog, QStringLiteral("Import country"))->click();
    EXPECT_EQ(seenItems, 2);   // material1 and material2
    EXPECT_EQ(land.numCountries(), 3);
    EXPECT_EQ(land.numMaterials(), 5);
    EXPECT_TRUE(land.modified());

    // Set all: asks, then every cell takes the selected country and the dialog closes.
    named<QPushButton>(dialog, QStringLiteral("< previous"))->click();
    EXPECT_EQ(dialog.selectedCountry(), 2);
    messages.scriptAnswers({true});
    named<QPushButton>(dialog, QStringLiteral("Set this country to all the land"))->click();
    EXPECT_EQ(messages.entries().back().caption, kSetAllCaption);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    for (const TLndBlock& b : land.blocks()) EXPECT_EQ(b.Cells[7][9].countryIndex(), 2);
}

// The editor window's context menu opens the dialog on the block the menu was opened over,
// only in the land editor; OK and Cancel close it.
TEST(CountryDialogsInWindow, ContextMenuOpensTheBlockDialog) {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display: run under xvfb-run";
    application();
    lndtest::TempDir dir;
    lndtest::LandBuilder builder;
    for (int gx = 0; gx < 2; ++gx) builder.block(10 + gx, 10);
    const std::string path = builder.countries(2).materials(2).writeTo(dir.file("w.lnd"));
    RecordingMessages messages;
    CSettings settings(messages, dir.file("absent.settings.xml"));
    CLand land;
    CMainFrame frame(land, settings, messages);
    frame.resize(800, 600);
    frame.show();
    ASSERT_TRUE(frame.openLand(path));
    QAction* countries = frame.action(ID_BLOCKCOUNTRIES);
    ASSERT_NE(countries, nullptr);
    EXPECT_EQ(countries->text(), QStringLiteral("&Block countries..."));

    const int block = land.blockRecordAt(11, 10);
    frame.renderView()->brushTool().block = block;
    frame.prepareContextMenu();
    EXPECT_FALSE(countries->isEnabled());   // the viewer does not edit
    frame.setEditMode(EditMode::LandEditor);
    frame.renderView()->brushTool().block = block;
    frame.prepareContextMenu();
    ASSERT_TRUE(countries->isEnabled());
    if (std::getenv("LND_SCREENSHOT_DIR") != nullptr) {
        frame.contextMenu()->popup(frame.mapToGlobal(QPoint(400, 300)));
        screenshot(*frame.contextMenu(), "context_menu");
        frame.contextMenu()->hide();
    }

    for (const char* close : {"Cancel", "OK"}) {
        SCOPED_TRACE(close);
        int shownBlock = -2;
        QString title;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CBlockCountries*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            title = dialog->windowTitle();
            shownBlock = dialog->editor().block();
            if (std::string(close) == "OK") screenshot(*dialog, "block_countries_from_menu");
            named<QPushButton>(*dialog, QString::fromLatin1(close))->click();
        });
        frame.renderView()->brushTool().block = -1;   // the pick may have moved; the menu's block counts
        countries->trigger();
        EXPECT_EQ(title, QStringLiteral("Block texture "));
        EXPECT_EQ(shownBlock, block);
        frame.renderView()->brushTool().block = block;
        frame.prepareContextMenu();
    }
    EXPECT_FALSE(land.modified());
}
