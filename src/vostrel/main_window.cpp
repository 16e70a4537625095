#include "vostrel/main_window.h"

#include "vostrel/land_view.h"
#include "land/land.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QFileDialog>
#include <QMenuBar>
#include <QStatusBar>

namespace lnd {

CMainFrame::CMainFrame(CLand& land, CSettings& settings, UserMessages& messages) : m_land(land) {
    setWindowTitle(QStringLiteral("Vostrel"));
    m_view = new CRFrame(land, settings, messages, this);
    setCentralWidget(m_view);
    statusBar()->showMessage(QStringLiteral("Ready"));
    connect(m_view, &CRFrame::statusTextChanged, this, [this](const QString& text) {
        statusBar()->showMessage(text.isEmpty() ? QStringLiteral("Ready") : text);
    });
    // Direct: the save has to finish before the view releases the land's meshes.
    connect(m_view, &CRFrame::saveAsRequested, this, &CMainFrame::saveAs, Qt::DirectConnection);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    auto* modes = new QActionGroup(this);
    QAction* viewer = edit->addAction(QStringLiteral("Mode viewer"));
    QAction* editor = edit->addAction(QStringLiteral("Mode land editor"));
    for (QAction* a : {viewer, editor}) {
        a->setCheckable(true);
        modes->addAction(a);
    }
    viewer->setChecked(true);
    connect(viewer, &QAction::triggered, this, [this] { m_view->setEditMode(0); });
    connect(editor, &QAction::triggered, this, [this] { m_view->setEditMode(1); });

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* wire = view->addAction(QStringLiteral("&Wireframe"));
    wire->setCheckable(true);
    connect(wire, &QAction::toggled, this, [this](bool on) { m_view->setWireframe(on); });
    // A new land starts solid.
    connect(this, &CMainFrame::landOpened, wire, [wire] { wire->setChecked(false); });
    view->addSeparator();
    for (QAction* a : m_view->hostActions()) {
        view->addAction(a);
    }
    // Menus pause the frame clock while they are open, as modal dialogs do.
    for (QMenu* menu : {edit, view}) {
        connect(menu, &QMenu::aboutToShow, this, [this] { m_view->pauseHost(true); });
        connect(menu, &QMenu::aboutToHide, this, [this] { m_view->pauseHost(false); });
    }
}

bool CMainFrame::openLand(const std::string& path) {
    if (!m_view->openLand(path)) {
        setWindowTitle(QStringLiteral("Vostrel"));
        return false;
    }
    setWindowTitle(QString::fromStdString(path));
    emit landOpened();
    return true;
}

void CMainFrame::saveAs() {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save As"),
                                                      QString::fromStdString(m_land.m_landPath),
                                                      QStringLiteral("B&W Land File (*.lnd)"));
    if (!path.isEmpty()) {
        m_land.Save(path.toStdString(), SaveKind::Full);
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    m_view->shutdownHost();
    event->accept();
}

}  // namespace lnd
