// Vostrel's main window: menus, tool bar, dialog bar, status bar with the key-lock
// indicators, and a splitter of the brush pane and the land view. Every command of the
// menus, the tool bar and the view's context menu is handled here; the enable and check
// state of each action is kept current whenever what it depends on changes.
#pragma once

#include "vostrel/land_view.h"

#include <QHash>
#include <QMainWindow>
#include <QPoint>
#include <QSize>

#include <functional>
#include <string>

class QAction;
class QActionGroup;
class QFileDialog;
class QLabel;
class QMenu;
class QSplitter;
class QToolBar;

namespace lnd {

class CDlgBar;
class CLand;
class CLeftView;
class CSettings;
class UserMessages;

// Command numbers of the menus, tool bar and context menu.
enum Command : int {
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 171,
    ID_FILE_QUICKSAVE = 151,
    ID_FILE_SAVEAS = 150,
    ID_APP_EXIT = 57665,
    ID_EDIT_UNDOBRUSH = 153,
    ID_MODE_VIEWER = 143,
    ID_MODE_LANDEDITOR = 144,
    ID_MODE_SCRIPTEDITOR = 145,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
    ID_VIEW_WIREFRAME = 1010,
    ID_VIEW_SPHERE = 157,
    ID_VIEW_LANDSTATISTICS = 1011,
    ID_HELP_HELP = 154,
    ID_APP_ABOUT = 57664,
    ID_EDIT_COPY = 57634,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_CUT = 57635,
    ID_EDIT_UNDO = 57643,
    ID_COPYCOORDS = 139,
    ID_ADDBRUSH = 140,
    ID_SUBBRUSH = 141,
    ID_LEVELBRUSH = 170,
    ID_BLOCKCOUNTRIES = 146,
    ID_DELETEBLOCK = 152,
    ID_CHANGENOISEMAP = 159,
    ID_LEVELMAP = 162,
    ID_SMOOTHBRUSH = 172,
    ID_EDIT_REDOBRUSH = 173,
    ID_FILE_EXPORTHEIGHTMAP = 174,
    ID_FILE_IMPORTHEIGHTMAP = 175,
    ID_FILE_EXPORTCOUNTRYMAP = 176,
    ID_FILE_IMPORTCOUNTRYMAP = 177,
    ID_FILE_EXPORTMESH = 178,
};

inline constexpr const char* kLevelMapQuestion = "Are you sure you like to initialize the map ?";
inline constexpr const char* kLandFilter = "B&W Land File (*.LND *.lnd)";
inline constexpr const char* kNoiseFilter = "Noise map(bmp) (*.bmp)";
inline constexpr const char* kHeightmapExportFilter = "8-bit PNG (*.png);;16-bit PNG (*.png)";
inline constexpr const char* kHeightmapImportFilter = "Heightmap pictures (*.png *.bmp *.tga *.PNG *.BMP *.TGA);;All files (*)";
inline constexpr const char* kCountryMapExportFilter = "Paletted PNG (*.png)";
inline constexpr const char* kCountryMapImportFilter = "Country maps (*.png *.bmp *.tga *.PNG *.BMP *.TGA);;All files (*)";
// The extension each filter adds to a name typed without one, in the filters' order.
inline constexpr const char* kMeshExportFilter = "glTF binary (*.glb);;glTF (*.gltf);;Wavefront OBJ (*.obj)";
inline constexpr const char* kMeshTexturesChoice = "With block textures";
inline constexpr const char* kMeshSeaChoice = "With a sea plane";
// What the view shows until a land is open.
inline constexpr const char* kOpenLandHint = "Open a land with File \u2192 Open... (Ctrl+O)";
// The size the file dialogs open with (less where the screen is smaller).
inline constexpr QSize kFileDialogSize{860, 540};

inline constexpr const char* kImportHeightmapQuestion =
    "Replace the land's altitudes with this heightmap?\nUndo brush takes the import back.";
inline constexpr const char* kImportCountryMapQuestion =
    "Replace the land's countries with this country map?\nUndo brush takes the import back.";

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame(CLand& land, CSettings& settings, UserMessages& messages);
    ~CMainFrame() override;

    CRFrame* renderView() const { return m_view; }
    CLeftView* leftView() const { return m_left; }
    CDlgBar* dialogBar() const { return m_dialogBar; }
    QSplitter* splitter() const { return m_splitter; }
    QMenu* contextMenu() const { return m_context; }
    QToolBar* toolBar() const { return m_toolBar; }
    // The action of a command number, or null.
    QAction* action(int command) const { return m_actions.value(command, nullptr); }
    QLabel* lockIndicator(int which) const { return m_locks[which]; }
    // The "open a land" hint over the view (hidden once a land is open).
    QLabel* openLandHint() const { return m_hint; }

    // Loads a land (a failed load keeps the previous one and the title) and titles the window.
    bool openLand(const std::string& path);
    void setEditMode(EditMode mode);
    // Every action's enable and check state from the current state.
    void updateCommandStates();
    // The context menu's state as for a menu opened at the current pointer position.
    void prepareContextMenu();

    // Commands (the menus call these; tests may too).
    void fileOpen();
    bool fileSave();
    bool quickSaveAs();
    bool saveAs();
    void changeNoiseMap();
    // The land's altitudes as a grey PNG (8 or 16 bits, by the chosen filter) with its
    // placement file beside it.
    void exportHeightmap();
    // A PNG, BMP or TGA picture laid onto the altitudes after a confirmation, as one undoable
    // step. A picture that cannot be used is reported and the land stays as it was.
    void importHeightmap();
    // The cells' countries as a paletted PNG with its placement file beside it.
    void exportCountryMap();
    // A country map (PNG, BMP or TGA) onto the cells' countries after a confirmation, as one
    // undoable step; a map that cannot be used is reported and the land stays as it was.
    void importCountryMap();
    // The land's surface as a glTF or OBJ file, by the chosen filter or the typed extension,
    // with the block textures and a sea plane as chosen in the dialog; a progress box while
    // the textures of a large land are made.
    void exportMesh();
    void copyCoords();
    void openHelp();
    void showStatistics();
    // "&Block countries..." on the block the context menu was opened over.
    void blockCountries();
    void showAbout();

signals:
    void landOpened();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* makeAction(int id, const QString& caption, QObject* parent);
    void buildMenus();
    void buildToolBar();
    void buildContextMenu();
    void showContextMenu(const QPoint& globalPos);
    // A file dialog of the editor; an empty result when cancelled. The working directory is
    // the same after as before. `chosenFilter` (may be null) receives the filter in use; a
    // save with a `defaultSuffix` adds it to a name typed without one and does not ask
    // before making a new file.
    // `prepare` (may be empty) adds to the dialog before it shows.
    QString runFileDialog(const QString& title, const QString& filter, bool save, QString* chosenFilter = nullptr,
                          const QString& defaultSuffix = {}, const std::function<void(QFileDialog&)>& prepare = {});
    bool saveTo(const QString& path, bool quick);
    void afterSave(const QString& path, bool reopen);
    bool reopen(const std::string& path);
    // Asks whether to save a modified land; false when the user's save did not happen.
    bool askToSaveBeforeOpen();
    void updateKeyLocks();
    bool landEditor() const { return m_view->editMode() == EditMode::LandEditor; }

    CLand& m_land;
    CSettings& m_settings;
    UserMessages& m_messages;
    CRFrame* m_view = nullptr;
    CLeftView* m_left = nullptr;
    CDlgBar* m_dialogBar = nullptr;
    QSplitter* m_splitter = nullptr;
    QToolBar* m_toolBar = nullptr;
    QToolBar* m_dialogBarHolder = nullptr;
    QMenu* m_context = nullptr;
    QLabel* m_locks[3] = {};
    QLabel* m_hint = nullptr;
    QHash<int, QAction*> m_actions;
    QPoint m_savedPointer;
    // The pick when the context menu opened: its commands act there.
    glm::vec3 m_menuPoint{-1.0f, -1.0f, -1.0f};
    std::int32_t m_menuBlock = -1;
    std::array<float, 3> m_menuCentre{};
    bool m_contextOpen = false;
    bool m_shutDown = false;
};

}  // namespace lnd
