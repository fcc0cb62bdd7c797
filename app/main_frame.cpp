#include "app/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QScreen>
#include <QToolBar>
#include <algorithm>

#include "app/commands.h"
#include "app/exercise_views.h"
#include "app/icons.h"
#include "app/report_view.h"
#include "app/window_source.h"

namespace zendrik {

QSize FirstRunWindowSize(QSize available) {
    return QSize(std::min(1000, available.width() * 2 / 3), std::min(700, available.height() * 5 / 6));
}

MainFrame::MainFrame(Settings& settings) : m_settings(settings) {
    // The size the window was left at replaces this once it has been closed (see ExerciseViews).
    const QScreen* shown = screen();
    resize(FirstRunWindowSize(shown ? shown->availableGeometry().size() : QSize(1024, 768)));
    setWindowTitle(QString::fromLatin1(kProductTitle));
    setWindowIcon(AppIcon());
}

MainFrame::~MainFrame() = default;

bool MainFrame::Create(const QString& commandLineFile) {
    m_reportView = new ReportView(m_settings, this);
    m_views = new zendrik::ExerciseViews(m_reportView, this);
    setCentralWidget(m_views);
    m_views->restoreWindowState();
    if (!m_reportView->OnCreate(commandLineFile)) return false;

    if (!ToolbarImagesAvailable()) return false;
    m_toolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    m_toolBar->setObjectName(QStringLiteral("toolbar"));
    m_toolBar->setMovable(true);
    m_toolBar->setIconSize(QSize(16, 17));
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    ReportView* view = m_reportView;
    QAction* open = AddCommand(ID_FILE_OPEN, "open", "Open an existing Wave File",
                               "Open Wave File (Ctrl+O)", {QKeySequence(Qt::CTRL | Qt::Key_O)});
    connect(open, &QAction::triggered, view, &ReportView::OnFileOpen);
    QAction* microphone = AddCommand(ID_READ_MICROPHONE, "microphone", "Read Data From Microphone",
                                     "Microphone Input (Ctrl+I)", {QKeySequence(Qt::CTRL | Qt::Key_I)});
    connect(microphone, &QAction::triggered, view, &ReportView::OnReadMicrophone);
    m_toolBar->addSeparator();
    QAction* save = AddCommand(ID_FILE_SAVE, "save", "Save HRM File", "Save HRM File (Ctrl+S)",
                               {QKeySequence(Qt::CTRL | Qt::Key_S)});
    connect(save, &QAction::triggered, view, &ReportView::OnFileSave);
    m_toolBar->addSeparator();
    QAction* properties =
        AddCommand(ID_PROPERTIES, "properties", "Zendrik Properties", "Properties (Alt+Enter)",
                   {QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::ALT | Qt::Key_Enter)});
    connect(properties, &QAction::triggered, this, &MainFrame::propertiesRequested);
    m_toolBar->addSeparator();
    QAction* about = AddCommand(ID_APP_ABOUT, "about",
                                "Display program information, version number and copyright", "About",
                                {QKeySequence(QStringLiteral("?"))});
    connect(about, &QAction::triggered, this, &MainFrame::aboutRequested);
    // Copy has keys but no button.
    QAction* copy = new QAction(QStringLiteral("Copy"), this);
    copy->setData(ID_EDIT_COPY);
    copy->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    addAction(copy);
    m_commands.append(copy);
    connect(copy, &QAction::triggered, view, &ReportView::OnEditCopy);

    connect(view, &ReportView::reportShown, this, &MainFrame::UpdateSaveCommand);
    // The chart and the laps show the exercise of a valid report; until there is one, nothing.
    auto showExercise = [this] {
        const zendrik::Exercise* exercise = m_reportView->Data().ValidExercise();
        m_views->showExercise(exercise ? std::optional(*exercise) : std::nullopt);
    };
    connect(view, &ReportView::reportShown, m_views, showExercise);
    UpdateSaveCommand();
    new zendrik::WindowSource(this, view, m_toolBar, open);
    showExercise();
    return true;
}

QAction* MainFrame::AddCommand(int id, const QString& icon, const QString& prompt,
                                const QString& tooltip, const QList<QKeySequence>& keys) {
    QAction* action = m_toolBar->addAction(ToolbarIcon(icon), tooltip);
    action->setData(id);
    action->setToolTip(tooltip);
    action->setStatusTip(prompt);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    m_commands.append(action);
    return action;
}

QAction* MainFrame::Action(int id) const {
    for (QAction* action : m_commands) {
        if (action->data().toInt() == id) return action;
    }
    return nullptr;
}

void MainFrame::UpdateSaveCommand() {
    // Save is offered exactly while the report may be saved.
    if (QAction* save = Action(ID_FILE_SAVE)) save->setEnabled(m_reportView->Data().Valid());
}

void MainFrame::closeEvent(QCloseEvent* event) {
    if (m_reportView && !m_reportView->SaveModified()) {
        event->ignore();
        return;
    }
    // A dialog still open over the window (a reading, say) ends first, so whatever runs it
    // finishes before the window and its reception threads go away.
    for (QDialog* dialog : findChildren<QDialog*>()) {
        if (dialog->isVisible()) dialog->reject();
    }
    if (m_views) m_views->saveWindowState();
    QMainWindow::closeEvent(event);
}

void MainFrame::focusInEvent(QFocusEvent* event) {
    QMainWindow::focusInEvent(event);
    // The view takes the focus; the text control only when the user clicks into it.
    if (m_reportView) m_reportView->setFocus();
}

}  // namespace zendrik
