// The main window: a toolbar over the report view, no menu bar and no status bar.
#pragma once

#include <QMainWindow>

class QAction;
class QToolBar;

namespace zendrik {

class ReportView;

struct Settings;
class ExerciseViews;

// The window's size at the first start, on a screen with that much room: enough for the chart and
// the report to be read (1000 x 700), within two thirds of the screen's width and five sixths of
// its height, so that on a laptop's 1366 x 768 the chart still has the height its labels need.
QSize FirstRunWindowSize(QSize available);

class MainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit MainFrame(Settings& settings);
    ~MainFrame() override;

    // Creates the view (which opens the command line's file) and the toolbar; false on failure.
    bool Create(const QString& commandLineFile);

    ReportView* View() const { return m_reportView; }
    zendrik::ExerciseViews* ExerciseViews() const { return m_views; }
    QToolBar* ToolBar() const { return m_toolBar; }
    QAction* Action(int id) const;

signals:
    void aboutRequested();
    void propertiesRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    QAction* AddCommand(int id, const QString& icon, const QString& prompt, const QString& tooltip,
                        const QList<QKeySequence>& keys);
    void UpdateSaveCommand();

    Settings& m_settings;
    QToolBar* m_toolBar = nullptr;
    ReportView* m_reportView = nullptr;
    zendrik::ExerciseViews* m_views = nullptr;
    QList<QAction*> m_commands;
};

// Command ids of the program.
enum CommandId {
    ID_FILE_OPEN = 57601,
    ID_READ_MICROPHONE = 32771,
    ID_FILE_SAVE = 57604,
    ID_PROPERTIES = 32773,
    ID_APP_ABOUT = 57664,
    ID_EDIT_COPY = 57634,
};

}  // namespace zendrik
