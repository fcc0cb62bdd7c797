// What the main window's title and its list of recent files say: the file the report came from
// (or "microphone" and the exercise's date for a reading), the " *" mark of unsaved data, and the
// recordings and dumps opened last, offered in the Open button's menu.
#pragma once

#include <QObject>
#include <QStringList>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

namespace zendrik {

class ReportView;

// How many recent files the menu keeps.
inline constexpr int kRecentFileCount = 8;

// "NAME - Zendrik", "Zendrik" without a source, with " *" when modified.
QString WindowTitle(const QString& source, bool modified);

class WindowSource : public QObject {
    Q_OBJECT
public:
    // Follows `view` and keeps `frame`'s title; the menu hangs on the toolbar button of `open`.
    WindowSource(QMainWindow* frame, ReportView* view, QToolBar* toolbar, QAction* open);

    QStringList recentFiles() const;
    QMenu* recentMenu() const { return m_menu; }
    // The title's name for what is shown ("" for nothing yet).
    QString source() const { return m_source; }

private:
    void update();
    void remember(const QString& path);
    void rebuildMenu();
    void openRecent(const QString& path);

    QMainWindow* m_frame;
    ReportView* m_view;
    QMenu* m_menu;
    QString m_source;
    QString m_lastPath;
};

}  // namespace zendrik
