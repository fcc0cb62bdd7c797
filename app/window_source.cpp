#include "app/window_source.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QSettings>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "app/commands.h"
#include "app/report_view.h"
#include "zendrik/reception.h"

namespace zendrik {

namespace {

const char* const kRecentKey = "Window/recentFiles";

QSettings Store() { return QSettings(QStringLiteral("qlx"), QStringLiteral("Zendrik")); }

// "20060305" as "2006-03-05"; anything else as it is.
QString ReadableDate(const std::string& hrmDate) {
    const QString d = QString::fromStdString(hrmDate);
    if (d.size() != 8) return d;
    return d.left(4) + QLatin1Char('-') + d.mid(4, 2) + QLatin1Char('-') + d.right(2);
}

// A recording or a dump, as opposed to a report that was saved.
bool Openable(const QString& path) {
    const std::string extension = QFileInfo(path).suffix().toLower().toStdString();
    return extension == "sld" || std::find(kRecordingExtensions.begin(), kRecordingExtensions.end(),
                                           extension) != kRecordingExtensions.end();
}

}  // namespace

QString WindowTitle(const QString& source, bool modified) {
    QString shown = source;
    if (modified) shown += shown.isEmpty() ? QStringLiteral("*") : QStringLiteral(" *");
    // Ending in the program's name, so the window system adds it no second time.
    if (shown.isEmpty()) return QString::fromLatin1(kProductTitle);
    return shown + QStringLiteral(" \u2014 ") + QString::fromLatin1(kProductTitle);
}

WindowSource::WindowSource(QMainWindow* frame, ReportView* view, QToolBar* toolbar, QAction* open)
    : QObject(frame), m_frame(frame), m_view(view), m_menu(new QMenu(frame)) {
    m_menu->setTitle(QStringLiteral("Recent Files"));
    if (auto* button = qobject_cast<QToolButton*>(toolbar->widgetForAction(open))) {
        button->setMenu(m_menu);
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
    connect(view, &ReportView::reportShown, this, &WindowSource::update);
    connect(view, &ReportView::modifiedChanged, this, &WindowSource::update);
    rebuildMenu();
    update();
}

QStringList WindowSource::recentFiles() const {
    return Store().value(QString::fromLatin1(kRecentKey)).toStringList();
}

void WindowSource::update() {
    const Document& data = m_view->Data();
    // A path that failed to read names nothing on screen: the earlier report stays.
    const QString path = data.ReadError().empty() ? QFile::decodeName(data.Path().c_str()) : QString();
    if (m_view->IsModified()) {
        m_source = (QStringLiteral("microphone ") + ReadableDate(data.Date())).trimmed();
    } else if (!path.isEmpty()) {
        m_source = QFileInfo(path).fileName();
        if (path != m_lastPath && Openable(path)) remember(QFileInfo(path).absoluteFilePath());
        m_lastPath = path;
    }
    m_frame->setWindowTitle(WindowTitle(m_source, m_view->IsModified()));
}

void WindowSource::remember(const QString& path) {
    QStringList files = recentFiles();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > kRecentFileCount) files.removeLast();
    QSettings store = Store();
    store.setValue(QString::fromLatin1(kRecentKey), files);
    rebuildMenu();
}

void WindowSource::rebuildMenu() {
    m_menu->clear();
    const QStringList files = recentFiles();
    for (const QString& file : files) {
        QAction* action = m_menu->addAction(QFileInfo(file).fileName());
        action->setToolTip(file);
        connect(action, &QAction::triggered, this, [this, file] { openRecent(file); });
    }
    m_menu->setEnabled(!files.isEmpty());
}

void WindowSource::openRecent(const QString& path) {
    if (!m_view->SaveModified()) return;
    m_view->OpenDataFile(path);
}

}  // namespace zendrik
