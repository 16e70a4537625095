#include "vostrel/main_window.h"

#include "vostrel/block_countries_dialog.h"
#include "vostrel/dialog_bar.h"
#include "vostrel/key_locks.h"
#include "vostrel/left_view.h"
#include "vostrel/shell_dialogs.h"
#include "vostrel/shell_texts.h"
#include "base/data_paths.h"
#include "base/messages.h"
#include "base/settings.h"
#include "land/land.h"
#include "session/shell_words.h"
#include "tools/altitude_brush.h"
#include "tools/country_map.h"
#include "tools/heightmap.h"
#include "tools/mesh_export.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressDialog>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUrl>
#include <QWindow>

namespace lnd {

namespace {

// Full saves that synthesise at least this many block textures show their progress.
constexpr std::size_t kProgressBlocks = 16;

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Puts the working directory back as it was when the command started.
class WorkingDirectory {
public:
    WorkingDirectory() : m_saved(QDir::currentPath()) {}
    ~WorkingDirectory() { restore(); }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;
    void restore() const { QDir::setCurrent(m_saved); }

private:
    QString m_saved;
};

// A small drawn picture for tool bar buttons the style has none for.
QIcon drawnIcon(const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return QIcon(pixmap);
}

QString caption(const QString& stored) {
    // "&Save\tCtrl+S": the text before the tab; the shortcut is the action's.
    return stored.section(QLatin1Char('\t'), 0, 0);
}

QString plainName(const QString& text) {
    QString name = caption(text);
    name.remove(QLatin1Char('&'));
    return name;
}

}  // namespace

CMainFrame::CMainFrame(CLand& land, CSettings& settings, UserMessages& messages)
    : m_land(land), m_settings(settings), m_messages(messages) {
    // Screen readers read the window by its accessible name: it follows the title (the land's path).
    connect(this, &QWidget::windowTitleChanged, this, [this](const QString& title) { setAccessibleName(title); });
    setWindowTitle(QStringLiteral("Vostrel"));
    setAccessibleName(QStringLiteral("Vostrel"));

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setAccessibleName(QStringLiteral("Panes"));
    m_left = new CLeftView(m_splitter);
    m_view = new CRFrame(land, settings, messages, m_splitter);
    m_view->setAccessibleName(QStringLiteral("Land view"));
    m_splitter->addWidget(m_left);
    m_splitter->addWidget(m_view);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setChildrenCollapsible(false);
    m_left->hide();
    setCentralWidget(m_splitter);

    // Until a land is open the view says how to open one.
    m_hint = new QLabel(QString::fromUtf8(kOpenLandHint), m_view);
    m_hint->setObjectName(QStringLiteral("openLandHint"));
    m_hint->setAccessibleName(m_hint->text());
    m_hint->setAlignment(Qt::AlignCenter);
    m_hint->setWordWrap(true);
    // The view's picture is a native window of its own, and only a native window shows above
    // it; such a window cannot blend with the picture, so its box is opaque: the empty view's
    // sky as the translucent black it used to be drawn with made it.
    m_hint->setAttribute(Qt::WA_DontCreateNativeAncestors);
    m_hint->setAttribute(Qt::WA_NativeWindow);
    m_hint->setStyleSheet(QStringLiteral("QLabel { color: white; background: rgb(0, 73, 141); padding: 12px; "
                                         "font-size: 11pt; }"));
    m_view->installEventFilter(this);
    connect(this, &CMainFrame::landOpened, m_hint, &QWidget::hide);

    m_dialogBar = new CDlgBar(m_view->brushTool(), this);
    buildMenus();
    buildToolBar();
    buildContextMenu();

    // Status bar: the message pane, then the lock indicators.
    statusBar()->setAccessibleName(QStringLiteral("Status Bar"));
    // The message is painted, not a child a screen reader can read: the bar describes itself
    // with it. A cleared message (a menu's status tip gone) shows the idle text again.
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& text) {
        if (text.isEmpty()) {
            statusBar()->showMessage(QStringLiteral("Ready"));
            return;
        }
        statusBar()->setAccessibleDescription(text);
    });
    statusBar()->showMessage(QStringLiteral("Ready"));
    const char* lockNames[3] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        m_locks[i] = new QLabel(this);
        m_locks[i]->setAccessibleName(QString::fromLatin1(lockNames[i]));
        m_locks[i]->setAlignment(Qt::AlignCenter);
        m_locks[i]->setMinimumWidth(m_locks[i]->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 8);
        statusBar()->addPermanentWidget(m_locks[i]);
    }
    updateKeyLocks();
    qApp->installEventFilter(this);

    connect(m_view, &CRFrame::statusTextChanged, this, [this](const QString& text) {
        statusBar()->showMessage(text.isEmpty() ? QStringLiteral("Ready") : text);
    });
    connect(m_view, &CRFrame::contextMenuRequested, this, &CMainFrame::showContextMenu);
    connect(m_view, &CRFrame::landEdited, this, &CMainFrame::updateCommandStates);
    connect(m_view, &CRFrame::pickChanged, this, &CMainFrame::updateCommandStates);
    connect(m_left, &CLeftView::selectionChanged, this, [this] {
        m_view->setSelectedBrush(m_left->selectedBrush());
        updateCommandStates();
    });
    updateCommandStates();
}

CMainFrame::~CMainFrame() {
    // Without a close event the view still goes while this frame is whole.
    qApp->removeEventFilter(this);
    if (!m_shutDown) {
        m_shutDown = true;
        m_view->shutdownHost();
    }
}

QAction* CMainFrame::makeAction(int id, const QString& text, QObject* parent) {
    auto* a = new QAction(caption(text), parent);
    const QString keys = text.section(QLatin1Char('\t'), 1);
    if (!keys.isEmpty()) a->setShortcut(QKeySequence(keys));
    a->setObjectName(QStringLiteral("command%1").arg(id));
    a->setData(id);
    m_actions.insert(id, a);
    return a;
}

void CMainFrame::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    for (QMenu* m : {file, edit, view, help}) m->setAccessibleName(plainName(m->title()));

    auto add = [this](QMenu* menu, int id, const char* text, const char* tip, auto handler) {
        QAction* a = makeAction(id, QString::fromLatin1(text), this);
        a->setStatusTip(QString::fromLatin1(tip));
        menu->addAction(a);
        if constexpr (!std::is_same_v<decltype(handler), std::nullptr_t>) {
            connect(a, &QAction::triggered, this, handler);
        }
        return a;
    };
    QAction* fileNew = add(file, ID_FILE_NEW, "&New\tCtrl+N", "Create a new land", nullptr);
    fileNew->setIcon(style()->standardIcon(QStyle::SP_FileIcon));
    add(file, ID_FILE_OPEN, "&Open...\tCtrl+O", "Open a land file", [this] { fileOpen(); })
        ->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    add(file, ID_FILE_SAVE, "&Save\tCtrl+S", "Save the land to its file", [this] { fileSave(); })
        ->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    add(file, ID_FILE_QUICKSAVE, "Quick save &As...", "Save the land under a new name without making missing block textures",
        [this] { quickSaveAs(); });
    add(file, ID_FILE_SAVEAS, "Save As...", "Save the land under a new name", [this] { saveAs(); });
    file->addSeparator();
    add(file, ID_FILE_EXPORTHEIGHTMAP, "Export heightmap...", "Save the land's altitudes as a grey picture",
        [this] { exportHeightmap(); });
    add(file, ID_FILE_IMPORTHEIGHTMAP, "Import heightmap...", "Replace the land's altitudes from a grey picture",
        [this] { importHeightmap(); });
    add(file, ID_FILE_EXPORTCOUNTRYMAP, "Export country map...", "Save which country covers each cell as a paletted picture",
        [this] { exportCountryMap(); });
    add(file, ID_FILE_IMPORTCOUNTRYMAP, "Import country map...", "Replace the cells' countries from a country map",
        [this] { importCountryMap(); });
    add(file, ID_FILE_EXPORTMESH, "Export mesh...", "Save the land's surface as a glTF or OBJ mesh", [this] { exportMesh(); });
    file->addSeparator();
    add(file, ID_APP_EXIT, "E&xit", "Quit the editor", [this] { close(); });

    add(edit, ID_EDIT_UNDOBRUSH, "&Undo brush", "Undo the last brush step", [this] {
        m_view->undoStroke();
        updateCommandStates();
    });
    QAction* redo = add(edit, ID_EDIT_REDOBRUSH, "Redo brush\tCtrl+Y", "Redo the last undone brush step", [this] {
        m_view->redoStroke();
        updateCommandStates();
    });
    redo->setShortcuts({QKeySequence(QStringLiteral("Ctrl+Y")), QKeySequence(QStringLiteral("Ctrl+Shift+Z"))});
    edit->addSeparator();
    auto* modes = new QActionGroup(this);
    QAction* viewer = add(edit, ID_MODE_VIEWER, "Mode viewer", "Look at the land", [this] { setEditMode(EditMode::Viewer); });
    QAction* editor = add(edit, ID_MODE_LANDEDITOR, "Mode land editor", "Shape the land with brushes",
                          [this] { setEditMode(EditMode::LandEditor); });
    QAction* script = add(edit, ID_MODE_SCRIPTEDITOR, "Mode script editor", "Not available", nullptr);
    for (QAction* a : {viewer, editor, script}) {
        a->setCheckable(true);
        modes->addAction(a);
    }
    // Opening the Edit menu resets the dialog bar, as the script-editor item's state does.
    connect(edit, &QMenu::aboutToShow, this, [this] {
        m_dialogBar->refresh(landEditor());
        updateCommandStates();
    });

    QAction* toolbar = add(view, ID_VIEW_TOOLBAR, "&Toolbar", "Show or hide the tool bar",
                           [this](bool on) { m_toolBar->setVisible(on); });
    QAction* status = add(view, ID_VIEW_STATUS_BAR, "&Status Bar", "Show or hide the status bar",
                          [this](bool on) { statusBar()->setVisible(on); });
    QAction* wire = add(view, ID_VIEW_WIREFRAME, "&Wireframe", "Draw the land as lines",
                        [this](bool on) { m_view->setWireframe(on); });
    wire->setIcon(drawnIcon([](QPainter& p) {
        p.setPen(QPen(QColor(40, 40, 40), 1));
        for (int i = 2; i <= 14; i += 4) {
            p.drawLine(i, 2, i, 14);
            p.drawLine(2, i, 14, i);
        }
        p.drawLine(2, 14, 14, 2);
    }));
    wire->setIconVisibleInMenu(false);   // the menu shows its check mark instead
    QAction* sphere = add(view, ID_VIEW_SPHERE, "Sphere", "Show the brush sphere", [this](bool on) {
        m_view->terrainView().setShowBrushSphere(on);
    });
    for (QAction* a : {toolbar, status, wire, sphere}) a->setCheckable(true);
    add(view, ID_VIEW_LANDSTATISTICS, "&Land statistics", "Sizes of the loaded land", [this] { showStatistics(); });
    view->addSeparator();
    for (QAction* a : m_view->hostActions()) {
        a->setStatusTip(a->text());
        view->addAction(a);
    }

    add(help, ID_HELP_HELP, "&Help...", "Open the help pages", [this] { openHelp(); });
    add(help, ID_APP_ABOUT, "&About Vostrel", "Program version", [this] { showAbout(); })
        ->setIcon(style()->standardIcon(QStyle::SP_TitleBarContextHelpButton));

    // The platform's edit commands: their keys exist, nothing handles them.
    QAction* copy = makeAction(ID_EDIT_COPY, QStringLiteral("&Copy"), this);
    copy->setShortcuts({QKeySequence(QStringLiteral("Ctrl+C")), QKeySequence(QStringLiteral("Ctrl+Ins"))});
    copy->setIcon(QIcon::fromTheme(QStringLiteral("edit-copy"), drawnIcon([](QPainter& p) {
        p.setPen(QColor(40, 40, 40));
        p.setBrush(Qt::white);
        p.drawRect(2, 2, 8, 10);
        p.drawRect(6, 5, 8, 10);
    })));
    QAction* paste = makeAction(ID_EDIT_PASTE, QStringLiteral("&Paste"), this);
    paste->setShortcuts({QKeySequence(QStringLiteral("Ctrl+V")), QKeySequence(QStringLiteral("Shift+Ins"))});
    paste->setIcon(QIcon::fromTheme(QStringLiteral("edit-paste"), drawnIcon([](QPainter& p) {
        p.setPen(QColor(40, 40, 40));
        p.setBrush(QColor(200, 160, 90));
        p.drawRect(2, 3, 10, 12);
        p.setBrush(Qt::white);
        p.drawRect(6, 6, 8, 9);
    })));
    QAction* cut = makeAction(ID_EDIT_CUT, QStringLiteral("Cu&t"), this);
    cut->setShortcuts({QKeySequence(QStringLiteral("Ctrl+X")), QKeySequence(QStringLiteral("Shift+Del"))});
    QAction* undo = makeAction(ID_EDIT_UNDO, QStringLiteral("&Undo"), this);
    undo->setShortcuts({QKeySequence(QStringLiteral("Ctrl+Z")), QKeySequence(QStringLiteral("Alt+Backspace"))});
    for (QAction* a : {copy, paste, cut, undo}) {
        a->setEnabled(false);
        addAction(a);
    }
    // F6 and Shift+F6: next and previous pane.
    auto* nextPane = new QAction(QStringLiteral("Next pane"), this);
    nextPane->setShortcuts({QKeySequence(Qt::Key_F6), QKeySequence(Qt::SHIFT | Qt::Key_F6)});
    connect(nextPane, &QAction::triggered, this, [this] {
        if (m_left->isVisible() && m_view->hasFocus()) {
            m_left->list()->setFocus();
        } else {
            m_view->setFocus();
        }
    });
    addAction(nextPane);

    // Menus pause the frame clock while they are open, as modal dialogs do.
    for (QMenu* menu : {file, edit, view, help}) {
        connect(menu, &QMenu::aboutToShow, this, [this] { m_view->pauseHost(true); });
        connect(menu, &QMenu::aboutToHide, this, [this] { m_view->pauseHost(false); });
    }
}

void CMainFrame::buildToolBar() {
    m_toolBar = addToolBar(QStringLiteral("Toolbar"));
    m_toolBar->setObjectName(QStringLiteral("toolbar"));
    m_toolBar->setAccessibleName(QStringLiteral("Toolbar"));
    m_toolBar->setIconSize(QSize(16, 16));
    const int buttons[] = {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_VIEW_WIREFRAME, ID_EDIT_COPY, ID_EDIT_PASTE, 0,
                           ID_APP_ABOUT};
    for (int id : buttons) {
        if (id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* a = m_actions.value(id);
        a->setToolTip(plainName(a->text()).remove(QStringLiteral("...")));
        m_toolBar->addAction(a);
    }
    for (QAction* a : m_toolBar->actions()) {
        if (QWidget* w = m_toolBar->widgetForAction(a)) w->setAccessibleName(a->toolTip());
    }
    // The dialog bar sits in the same band, after the tool bar.
    m_dialogBarHolder = addToolBar(QStringLiteral("Dialog bar"));
    m_dialogBarHolder->setObjectName(QStringLiteral("dialogBar"));
    m_dialogBarHolder->setAccessibleName(QStringLiteral("Dialog bar"));
    QAction* holder = m_dialogBarHolder->addWidget(m_dialogBar);
    connect(m_dialogBar, &CDlgBar::shownChanged, this, [this, holder](bool shown) {
        holder->setVisible(shown);
        m_dialogBarHolder->setVisible(shown);
    });
    m_dialogBar->refresh(false);
}

void CMainFrame::buildContextMenu() {
    m_context = new QMenu(this);
    m_context->setAccessibleName(QStringLiteral("Land view commands"));
    auto add = [this](int id, const char* text, auto handler) {
        QAction* a = makeAction(id, QString::fromLatin1(text), this);
        m_context->addAction(a);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    // The commands act where the menu was opened, whatever the view picked since.
    auto atMenuPoint = [this] {
        m_view->brushTool().block = m_menuBlock;
        m_view->brushTool().centre = m_menuCentre;
    };
    add(ID_COPYCOORDS, "&Copy coords", [this] { copyCoords(); });
    add(ID_ADDBRUSH, "&Add brush", [this, atMenuPoint] {
        atMenuPoint();
        m_view->brushStep(kBrushRaise);
        QCursor::setPos(m_savedPointer);
    });
    add(ID_SUBBRUSH, "&Sub brush", [this, atMenuPoint] {
        atMenuPoint();
        m_view->brushStep(kBrushLower);
        QCursor::setPos(m_savedPointer);
    });
    add(ID_SMOOTHBRUSH, "Smooth brush", [this, atMenuPoint] {
        atMenuPoint();
        m_view->brushStep(kBrushSmooth);
        QCursor::setPos(m_savedPointer);
    });
    add(ID_LEVELBRUSH, "Level brush", [this, atMenuPoint] {
        atMenuPoint();
        m_view->levelBrush();
    });
    add(ID_BLOCKCOUNTRIES, "&Block countries...", [this, atMenuPoint] {
        atMenuPoint();
        blockCountries();
    });
    add(ID_DELETEBLOCK, "&Delete block", [this, atMenuPoint] {
        atMenuPoint();
        m_view->deleteBlock();
    });
    add(ID_CHANGENOISEMAP, "Change &noise map", [this] { changeNoiseMap(); });
    add(ID_LEVELMAP, "Level map", [this] {
        if (m_messages.question(kLevelMapQuestion, {}, QuestionButtons::OkCancel)) m_view->initializeMap();
    });
    connect(m_context, &QMenu::aboutToShow, this, [this] { m_view->pauseHost(true); });
    connect(m_context, &QMenu::aboutToHide, this, [this] { m_view->pauseHost(false); });
}

void CMainFrame::prepareContextMenu() {
    m_savedPointer = QCursor::pos();
    m_menuPoint = m_view->pickedPoint();
    m_menuBlock = m_view->brushTool().block;
    m_menuCentre = m_view->brushTool().centre;
    // The brush pane's selection becomes the current brush.
    m_view->brushTool().brush = landEditor() ? m_left->selectedBrush() : nullptr;
    m_contextOpen = true;
    updateCommandStates();
}

void CMainFrame::showContextMenu(const QPoint& globalPos) {
    prepareContextMenu();
    m_context->exec(globalPos);
    m_contextOpen = false;
    updateCommandStates();
}

void CMainFrame::updateCommandStates() {
    const bool loaded = m_land.loaded();
    const bool editor = landEditor();
    const auto set = [this](int id, bool enabled) {
        if (QAction* a = m_actions.value(id)) a->setEnabled(enabled);
    };
    const auto check = [this](int id, bool checked) {
        if (QAction* a = m_actions.value(id)) a->setChecked(checked);
    };
    set(ID_FILE_NEW, false);
    for (int id : {ID_FILE_SAVE, ID_FILE_QUICKSAVE, ID_FILE_SAVEAS}) set(id, editor && loaded);
    set(ID_EDIT_UNDOBRUSH, !m_land.history().empty());
    set(ID_EDIT_REDOBRUSH, m_land.history().canRedo());
    check(ID_MODE_VIEWER, m_view->editMode() == EditMode::Viewer);
    check(ID_MODE_LANDEDITOR, editor);
    check(ID_MODE_SCRIPTEDITOR, m_view->editMode() == EditMode::ScriptEditor);
    set(ID_MODE_SCRIPTEDITOR, false);
    check(ID_VIEW_TOOLBAR, !m_toolBar || !m_toolBar->isHidden());
    check(ID_VIEW_STATUS_BAR, !statusBar()->isHidden());
    check(ID_VIEW_WIREFRAME, m_view->wireframe());
    set(ID_VIEW_SPHERE, editor);
    check(ID_VIEW_SPHERE, m_view->terrainView().showBrushSphere());
    set(ID_VIEW_LANDSTATISTICS, loaded);
    set(ID_FILE_EXPORTHEIGHTMAP, loaded);
    set(ID_FILE_IMPORTHEIGHTMAP, editor && loaded);
    set(ID_FILE_EXPORTCOUNTRYMAP, loaded);
    set(ID_FILE_IMPORTCOUNTRYMAP, editor && loaded);
    set(ID_FILE_EXPORTMESH, loaded);

    // While the context menu is open its items keep the state of the moment it opened.
    const int block = m_contextOpen ? m_menuBlock : m_view->brushTool().block;
    const glm::vec3 point = m_contextOpen ? m_menuPoint : m_view->pickedPoint();
    const bool brush = m_left->selectedBrush() != nullptr;
    set(ID_COPYCOORDS, loaded && point.x != -1.0f);
    set(ID_ADDBRUSH, brush && editor && block != -1);
    set(ID_SUBBRUSH, brush && editor && block != -1);
    set(ID_SMOOTHBRUSH, brush && editor && block != -1);
    set(ID_LEVELBRUSH, editor && block != -1);
    set(ID_BLOCKCOUNTRIES, blockCountriesEnabled(m_land, editor, block));
    set(ID_DELETEBLOCK, editor && block != -1);
    set(ID_CHANGENOISEMAP, editor && loaded);
    set(ID_LEVELMAP, editor && loaded);
}

void CMainFrame::setEditMode(EditMode mode) {
    if (mode == EditMode::LandEditor) {
        if (m_view->editMode() != EditMode::LandEditor) {
            m_view->setEditMode(EditMode::LandEditor);
            m_left->fill(m_settings.brushes());
            m_left->setMinimumWidth(120);
            m_left->show();
            const int total = std::max(m_splitter->width(), 260);
            m_splitter->setSizes({140, total - 140});
        }
        m_dialogBar->refresh(true);
    } else {
        m_left->clear();
        m_view->setEditMode(mode);
        m_left->setMinimumWidth(0);
        m_left->hide();
        m_dialogBar->refresh(false);
    }
    m_view->setSelectedBrush(m_left->selectedBrush());
    updateCommandStates();
}

// ---- Files ------------------------------------------------------------------------------

QString CMainFrame::runFileDialog(const QString& title, const QString& filter, bool save, QString* chosenFilter,
                                  const QString& defaultSuffix, const std::function<void(QFileDialog&)>& prepare) {
    QFileDialog dialog(this, title, QDir::currentPath(), filter);
    dialog.setObjectName(title);
    dialog.setAccessibleName(title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // Wide enough for the name, size, type and date columns, as far as the screen allows.
    const QSize room = screen() != nullptr ? screen()->availableGeometry().size() : QSize(1024, 768);
    dialog.resize(std::min(kFileDialogSize.width(), room.width() - 40), std::min(kFileDialogSize.height(), room.height() - 80));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!defaultSuffix.isEmpty()) dialog.setDefaultSuffix(defaultSuffix);
    if (prepare) prepare(dialog);
    m_view->pauseHost(true);
    bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    if (chosenFilter != nullptr) *chosenFilter = dialog.selectedNameFilter();
    // A land save asks before it makes a new file as well as before it replaces one.
    if (chosen && save && defaultSuffix.isEmpty() && !QFileInfo::exists(dialog.selectedFiles().front())) {
        const QString name = QDir::toNativeSeparators(dialog.selectedFiles().front());
        chosen = m_messages.question((name + QStringLiteral("\nThis file does not exist.\nDo you want to create it?")).toStdString(),
                                     title.toStdString(), QuestionButtons::YesNo);
    }
    m_view->pauseHost(false);
    return chosen ? dialog.selectedFiles().front() : QString();
}

bool CMainFrame::openLand(const std::string& path) {
    WaitCursor wait;
    // A file that cannot be opened is reported and the land on screen stays.
    if (const Result opened = m_view->openLand(path); !opened) {
        m_messages.error(openFailureText(path, opened));
        updateCommandStates();
        return false;
    }
    // The full path, whether it came from the dialog, the command line or the file manager.
    setWindowTitle(QDir::cleanPath(QFileInfo(QString::fromStdString(path)).absoluteFilePath()));
    emit landOpened();
    updateCommandStates();
    return true;
}

bool CMainFrame::reopen(const std::string& path) {
    WaitCursor wait;
    if (const Result opened = m_view->openLand(path); !opened) {
        m_messages.error(openFailureText(path, opened));
        if (!landRefusedAsInvalid(opened)) m_view->terrainView().setStatusError(kReadErrorText + path);
        updateCommandStates();
        return false;
    }
    emit landOpened();
    updateCommandStates();
    return true;
}

bool CMainFrame::askToSaveBeforeOpen() {
    if (!m_land.loaded() || !m_land.modified()) return true;
    if (!m_messages.question(kSaveOnExitQuestion, {}, QuestionButtons::YesNo)) return true;
    return fileSave();
}

void CMainFrame::fileOpen() {
    WorkingDirectory cwd;
    const QString path = runFileDialog(QStringLiteral("File Open"), QString::fromLatin1(kLandFilter), false);
    cwd.restore();
    if (path.isEmpty() || !askToSaveBeforeOpen()) return;
    openLand(path.toStdString());
}

bool CMainFrame::saveTo(const QString& path, bool quick) {
    if (!m_land.loaded()) return false;
    if (!quick) {
        // A full save makes every missing block texture; many of them take a while.
        const std::vector<int> missing = m_view->blocksWithoutTexture();
        if (missing.size() >= kProgressBlocks) {
            QProgressDialog progress(QStringLiteral("Making block textures..."), QString(), 0, int(missing.size()), this);
            progress.setWindowTitle(QStringLiteral("Vostrel"));
            progress.setAccessibleName(QStringLiteral("Making block textures"));
            progress.setWindowModality(Qt::WindowModal);
            progress.setMinimumDuration(300);
            for (std::size_t i = 0; i < missing.size(); ++i) {
                progress.setValue(int(i));
                m_view->synthesizeBlock(missing[i]);
            }
            progress.setValue(int(missing.size()));
        }
    }
    WaitCursor wait;
    const bool saved = m_view->saveLand(path.toStdString(), quick) == 0;
    updateCommandStates();
    return saved;
}

void CMainFrame::afterSave(const QString& path, bool reopenIt) {
    if (reopenIt) reopen(path.toStdString());
    setWindowTitle(path);
}

bool CMainFrame::fileSave() {
    const QString path = QString::fromStdString(m_land.path());
    if (!saveTo(path, false)) return false;
    afterSave(path, !m_land.closing() && m_land.blocksDeleted());
    return true;
}

bool CMainFrame::quickSaveAs() {
    WorkingDirectory cwd;
    const QString path = runFileDialog(QStringLiteral("Quick save"), QString::fromLatin1(kLandFilter), true);
    if (path.isEmpty() || !saveTo(path, true)) return false;
    cwd.restore();
    afterSave(path, m_land.blocksDeleted());
    return true;
}

bool CMainFrame::saveAs() {
    WorkingDirectory cwd;
    const QString path = runFileDialog(QStringLiteral("File Save"), QString::fromLatin1(kLandFilter), true);
    if (path.isEmpty() || !saveTo(path, false)) return false;
    cwd.restore();
    afterSave(path, !m_land.closing() && m_land.blocksDeleted());
    return true;
}

void CMainFrame::changeNoiseMap() {
    WorkingDirectory cwd;
    const QString path = runFileDialog(QStringLiteral("Select a gray bmp to replace the current noise map"),
                                       QString::fromLatin1(kNoiseFilter), false);
    if (path.isEmpty()) return;
    m_view->importNoiseMap(path.toStdString());
    updateCommandStates();
}

void CMainFrame::exportHeightmap() {
    if (!m_land.loaded()) return;
    WorkingDirectory cwd;
    QString filter;
    const QString path =
        runFileDialog(QStringLiteral("Export heightmap"), QString::fromLatin1(kHeightmapExportFilter), true, &filter, QStringLiteral("png"));
    cwd.restore();
    if (path.isEmpty()) return;
    const int bits = filter.startsWith(QStringLiteral("16")) ? 16 : 8;
    WaitCursor wait;
    if (Result r = m_view->session().exportHeightmap(path.toStdString(), bits); !r)
        m_messages.error(QDir::toNativeSeparators(path).toStdString() + ": " + r.message(), "Export heightmap");
}

void CMainFrame::importHeightmap() {
    if (!m_land.loaded()) return;
    WorkingDirectory cwd;
    const QString path = runFileDialog(QStringLiteral("Import heightmap"), QString::fromLatin1(kHeightmapImportFilter), false);
    cwd.restore();
    if (path.isEmpty()) return;
    const std::string name = QDir::toNativeSeparators(path).toStdString();
    GreyImage picture;
    HeightmapImportOptions options;
    if (Result r = readHeightmapFiles(path.toStdString(), true, picture, options.placement); !r) {
        m_messages.error(r.message(), "Import heightmap");   // the reason names the file
        return;
    }
    if (!m_messages.question(kImportHeightmapQuestion, {}, QuestionButtons::OkCancel)) return;
    Result edit;
    {
        WaitCursor wait;
        edit = m_view->importHeightmap(picture, options);
    }
    if (!edit) m_messages.error(name + ": " + edit.message(), "Import heightmap");
    updateCommandStates();
}

void CMainFrame::exportCountryMap() {
    if (!m_land.loaded()) return;
    WorkingDirectory cwd;
    const QString path = runFileDialog(QStringLiteral("Export country map"), QString::fromLatin1(kCountryMapExportFilter),
                                       true, nullptr, QStringLiteral("png"));
    cwd.restore();
    if (path.isEmpty()) return;
    WaitCursor wait;
    if (Result r = m_view->session().exportCountryMap(path.toStdString()); !r)
        m_messages.error(QDir::toNativeSeparators(path).toStdString() + ": " + r.message(), "Export country map");
}

void CMainFrame::importCountryMap() {
    if (!m_land.loaded()) return;
    WorkingDirectory cwd;
    const QString path =
        runFileDialog(QStringLiteral("Import country map"), QString::fromLatin1(kCountryMapImportFilter), false);
    cwd.restore();
    if (path.isEmpty()) return;
    const std::string name = QDir::toNativeSeparators(path).toStdString();
    std::unique_ptr<CImageBase> picture;
    CountryMapImportOptions options;
    if (Result r = readCountryMapFiles(m_land, path.toStdString(), true, picture, options); !r) {
        m_messages.error(r.message(), "Import country map");   // the reason names the file
        return;
    }
    if (!m_messages.question(kImportCountryMapQuestion, {}, QuestionButtons::OkCancel)) return;
    Result edit;
    {
        WaitCursor wait;
        edit = m_view->importCountryMap(*picture, options);
    }
    if (!edit) m_messages.error(name + ": " + edit.message(), "Import country map");
    updateCommandStates();
}

void CMainFrame::exportMesh() {
    if (!m_land.loaded()) return;
    static const char* const kSuffixes[] = {"glb", "gltf", "obj"};
    MeshExportOptions options;
    WorkingDirectory cwd;
    const QString path = runFileDialog(
        QStringLiteral("Export mesh"), QString::fromLatin1(kMeshExportFilter), true, nullptr,
        QString::fromLatin1(kSuffixes[0]), [&options](QFileDialog& dialog) {
            // A name typed without an extension takes the chosen filter's.
            connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& chosen) {
                const int k = int(dialog.nameFilters().indexOf(chosen));
                if (k >= 0 && k < 3) dialog.setDefaultSuffix(QString::fromLatin1(kSuffixes[k]));
            });
            auto* choices = new QWidget(&dialog);
            auto* row = new QHBoxLayout(choices);
            row->setContentsMargins(0, 0, 0, 0);
            for (auto [caption, flag] : {std::pair{kMeshTexturesChoice, &options.textures}, std::pair{kMeshSeaChoice, &options.sea}}) {
                auto* box = new QCheckBox(QString::fromLatin1(caption), choices);
                box->setObjectName(QString::fromLatin1(caption));
                box->setAccessibleName(box->text());
                box->setChecked(*flag);
                connect(box, &QCheckBox::toggled, &dialog, [flag](bool on) { *flag = on; });
                row->addWidget(box);
            }
            row->addStretch(1);
            // The non-native dialog lays itself out on a grid: the choices go in a row of
            // their own under it.
            if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) grid->addWidget(choices, grid->rowCount(), 0, 1, -1);
            else choices->hide();
        });
    cwd.restore();
    if (path.isEmpty()) return;

    // Making the block textures of a large land takes a while: a box shows how far it is.
    std::unique_ptr<QProgressDialog> progress;
    if (options.textures) {
        options.progress = [this, &progress](int done, int total) {
            if (total < int(kProgressBlocks)) return;
            if (!progress) {
                progress = std::make_unique<QProgressDialog>(QStringLiteral("Making block textures..."), QString(), 0, total, this);
                progress->setWindowTitle(QStringLiteral("Vostrel"));
                progress->setAccessibleName(QStringLiteral("Making block textures"));
                progress->setWindowModality(Qt::WindowModal);
                progress->setMinimumDuration(300);
            }
            progress->setValue(done);
        };
    }
    Result r;
    {
        WaitCursor wait;
        r = m_view->session().exportMesh(path.toStdString(), options);
    }
    progress.reset();
    if (!r) m_messages.error(QDir::toNativeSeparators(path).toStdString() + ": " + r.message(), "Export mesh");
}

// ---- Desktop ------------------------------------------------------------------------------

void CMainFrame::copyCoords() {
    const std::string text = coordsText(m_menuPoint.x, m_menuPoint.z);
    QGuiApplication::clipboard()->setText(QString::fromLatin1(text.c_str()));
    QCursor::setPos(m_savedPointer);
}

void CMainFrame::openHelp() {
    const std::string cwd = QDir::currentPath().toStdString();
    int code = helpFileState(cwd);
    QString file = QDir::current().absoluteFilePath(QString::fromLatin1(kHelpFile));
    if (code != 0) {
        // Started outside a folder with its own help: the installed pages.
        const std::string installed = findDataFile(DataPlaces::ofProcess(), kHelpFile);
        if (!installed.empty()) {
            file = QFileInfo(QString::fromStdString(installed)).absoluteFilePath();
            code = 0;
        }
    }
    if (code == 0 && !QDesktopServices::openUrl(QUrl::fromLocalFile(file))) {
        // Names the file the desktop could not open, wherever it was found.
        m_messages.plain(helpFailureText(cwd, kLaunchFailed, QDir::toNativeSeparators(file).toStdString()));
        return;
    }
    if (code != 0) m_messages.plain(helpFailureText(cwd, code));
}

void CMainFrame::showStatistics() {
    CSta dialog(m_land, this);
    m_view->pauseHost(true);
    dialog.exec();
    m_view->pauseHost(false);
}

void CMainFrame::blockCountries() {
    const int block = m_view->brushTool().block;
    if (!blockCountriesEnabled(m_land, landEditor(), block)) return;
    CBlockCountries dialog(m_view->session(), &m_settings, m_messages, block, this);
    m_view->pauseHost(true);
    dialog.exec();
    m_view->pauseHost(false);
    m_view->landChangedOutside();
}

void CMainFrame::showAbout() {
    CAboutDlg dialog(this);
    m_view->pauseHost(true);
    dialog.exec();
    m_view->pauseHost(false);
}

// ---- Window ------------------------------------------------------------------------------

void CMainFrame::updateKeyLocks() {
    const std::optional<KeyLocks> locks = queryKeyLocks();
    const bool on[3] = {locks && locks->caps, locks && locks->num, locks && locks->scroll};
    const char* names[3] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        // Lit like the platform's indicators: the name while the lock is on.
        m_locks[i]->setText(on[i] ? QString::fromLatin1(names[i]) : QString());
        m_locks[i]->setAccessibleDescription(on[i] ? QStringLiteral("on") : QStringLiteral("off"));
    }
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    if (watched == m_view && t == QEvent::Resize && m_hint != nullptr) {
        const QSize room = m_view->size();
        const int width = std::min(room.width() - 20, 420);
        const int height = m_hint->heightForWidth(width);
        m_hint->setGeometry((room.width() - width) / 2, (room.height() - height) / 2, width, height);
    }
    if (t == QEvent::KeyRelease || t == QEvent::ApplicationActivate) {
        if (t == QEvent::ApplicationActivate || watched == static_cast<QObject*>(windowHandle())) updateKeyLocks();
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!m_shutDown && m_land.loaded() && m_land.modified()) {
        // Asked while the meshes the save folds back still exist. Without a completed save
        // the window stays open and the land modified.
        m_land.setClosing(true);
        if (m_messages.question(kSaveOnExitQuestion, {}, QuestionButtons::YesNo) && !saveAs()) {
            m_land.setClosing(false);
            event->ignore();
            return;
        }
    }
    if (!m_shutDown) {
        m_shutDown = true;
        m_view->shutdownHost();
    }
    event->accept();
}

}  // namespace lnd
