#include "app/vostrel/main_window.h"

#include "app/vostrel/land_view.h"
#include "land/land.h"

#include <QCloseEvent>
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
    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* wire = view->addAction(QStringLiteral("&Wireframe"));
    wire->setCheckable(true);
    connect(wire, &QAction::toggled, this, [this](bool on) { m_view->m_wireframe = on; });
    view->addSeparator();
    for (QAction* a : m_view->hostActions()) {
        view->addAction(a);
    }
    // Menus pause the frame clock while they are open, as modal dialogs do.
    connect(view, &QMenu::aboutToShow, this, [this] { m_view->pauseHost(true); });
    connect(view, &QMenu::aboutToHide, this, [this] { m_view->pauseHost(false); });
}

bool CMainFrame::openLand(const std::string& path) {
    if (!m_view->openLand(path)) {
        return false;
    }
    setWindowTitle(QString::fromStdString(path));
    return true;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    m_view->shutdownHost();
    event->accept();
}

}  // namespace lnd
