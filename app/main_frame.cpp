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

QSize FirstRunWindowSize(QSize available) {
    return QSize(std::min(1000, available.width() * 2 / 3), std::min(700, available.height() * 5 / 6));
}

CMainFrame::CMainFrame(Settings& settings) : m_settings(settings) {
    // The size the window was left at replaces this once it has been closed (see ExerciseViews).
    const QScreen* shown = screen();
    resize(FirstRunWindowSize(shown ? shown->availableGeometry().size() : QSize(1024, 768)));
    setWindowTitle(QString::fromLatin1(kProductTitle));
    setWindowIcon(AppIcon());
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::Create(const QString& commandLineFile) {
    m_wndView = new CReportView(m_settings, this);
    m_views = new zendrik::ExerciseViews(m_wndView, this);
    setCentralWidget(m_views);
    m_views->restoreWindowState();
    if (!m_wndView->OnCreate(commandLineFile)) return false;

    if (!ToolbarImagesAvailable()) return false;
    m_wndToolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    m_wndToolBar->setObjectName(QStringLiteral("toolbar"));
    m_wndToolBar->setMovable(true);
    m_wndToolBar->setIconSize(QSize(16, 17));
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);

    CReportView* view = m_wndView;
    QAction* open = AddCommand(ID_FILE_OPEN, "open", "Open an existing Wave File",
                               "Open Wave File (Ctrl+O)", {QKeySequence(Qt::CTRL | Qt::Key_O)});
    connect(open, &QAction::triggered, view, &CReportView::OnFileOpen);
    QAction* microphone = AddCommand(ID_READ_MICROPHONE, "microphone", "Read Data From Microphone",
                                     "Microphone Input (Ctrl+I)", {QKeySequence(Qt::CTRL | Qt::Key_I)});
    connect(microphone, &QAction::triggered, view, &CReportView::OnReadMicrophone);
    m_wndToolBar->addSeparator();
    QAction* save = AddCommand(ID_FILE_SAVE, "save", "Save HRM File", "Save HRM File (Ctrl+S)",
                               {QKeySequence(Qt::CTRL | Qt::Key_S)});
    connect(save, &QAction::triggered, view, &CReportView::OnFileSave);
    m_wndToolBar->addSeparator();
    QAction* properties =
        AddCommand(ID_PROPERTIES, "properties", "Zendrik Properties", "Properties (Alt+Enter)",
                   {QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::ALT | Qt::Key_Enter)});
    connect(properties, &QAction::triggered, this, &CMainFrame::propertiesRequested);
    m_wndToolBar->addSeparator();
    QAction* about = AddCommand(ID_APP_ABOUT, "about",
                                "Display program information, version number and copyright", "About",
                                {QKeySequence(QStringLiteral("?"))});
    connect(about, &QAction::triggered, this, &CMainFrame::aboutRequested);
    // Copy has keys but no button.
    QAction* copy = new QAction(QStringLiteral("Copy"), this);
    copy->setData(ID_EDIT_COPY);
    copy->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    addAction(copy);
    m_commands.append(copy);
    connect(copy, &QAction::triggered, view, &CReportView::OnEditCopy);

    connect(view, &CReportView::reportShown, this, &CMainFrame::UpdateSaveCommand);
    // The chart and the laps show the exercise of a valid report; until there is one, nothing.
    auto showExercise = [this] {
        const zendrik::Exercise* exercise = m_wndView->Data().ValidExercise();
        m_views->showExercise(exercise ? std::optional(*exercise) : std::nullopt);
    };
    connect(view, &CReportView::reportShown, m_views, showExercise);
    UpdateSaveCommand();
    new zendrik::WindowSource(this, view, m_wndToolBar, open);
    showExercise();
    return true;
}

QAction* CMainFrame::AddCommand(int id, const QString& icon, const QString& prompt,
                                const QString& tooltip, const QList<QKeySequence>& keys) {
    QAction* action = m_wndToolBar->addAction(ToolbarIcon(icon), tooltip);
    action->setData(id);
    action->setToolTip(tooltip);
    action->setStatusTip(prompt);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    m_commands.append(action);
    return action;
}

QAction* CMainFrame::Action(int id) const {
    for (QAction* action : m_commands) {
        if (action->data().toInt() == id) return action;
    }
    return nullptr;
}

void CMainFrame::UpdateSaveCommand() {
    // Save is offered exactly while the report may be saved.
    if (QAction* save = Action(ID_FILE_SAVE)) save->setEnabled(m_wndView->Data().m_bValid != 0);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_wndView && !m_wndView->SaveModified()) {
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

void CMainFrame::focusInEvent(QFocusEvent* event) {
    QMainWindow::focusInEvent(event);
    // The view takes the focus; the text control only when the user clicks into it.
    if (m_wndView) m_wndView->setFocus();
}
