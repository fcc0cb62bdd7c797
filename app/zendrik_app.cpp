#include "app/zendrik_app.h"

#include <QSettings>

#include "app/about_dialog.h"
#include "app/commands.h"
#include "app/main_frame.h"
#include "app/properties_dialog.h"
#include "app/report_view.h"
#include "zendrik_version.h"

CZendrikApp::CZendrikApp(int& argc, char** argv) : QApplication(argc, argv) {
    setOrganizationName(QStringLiteral("qlx"));
    setApplicationName(QString::fromLatin1(kProductTitle));
    setApplicationDisplayName(QString::fromLatin1(kProductTitle));
    setApplicationVersion(QStringLiteral(ZENDRIK_VERSION_DOTTED));
}

CZendrikApp::~CZendrikApp() = default;

QString CommandLineFile(const QStringList& arguments) {
    const QStringList parameters = arguments.mid(1);
    if (parameters.size() != 1 || parameters.first().startsWith(u'-')) return {};
    return parameters.first();
}

bool CZendrikApp::InitInstance(const QStringList& arguments) {
    // The stored settings come first, so a file named on the command line shows the report
    // Open would show for it.
    LoadSettings();
    auto frame = std::make_unique<CMainFrame>(m_settings);
    if (!frame->Create({})) return false;
    m_pMainWnd = std::move(frame);
    connect(m_pMainWnd.get(), &CMainFrame::aboutRequested, this, &CZendrikApp::OnAppAbout);
    connect(m_pMainWnd.get(), &CMainFrame::propertiesRequested, this, &CZendrikApp::OnProperties);
    m_pMainWnd->show();
    // Opened over the shown window, which then owns a message saying why it cannot be read.
    const QString file = CommandLineFile(arguments);
    if (!file.isEmpty()) m_pMainWnd->View()->OpenDataFile(file);
    QMetaObject::invokeMethod(this, &CZendrikApp::OnAppAbout, Qt::QueuedConnection);
    return true;
}

int CZendrikApp::ExitInstance(int loopResult) {
    SaveSettings();
    // The window goes (and with it any capture) before the application object does.
    m_pMainWnd.reset();
    return loopResult;
}

void CZendrikApp::LoadSettings() {
    QSettings store(QStringLiteral("qlx"), QString::fromLatin1(kProductTitle));
    ::LoadSettings(store, m_settings);
}

void CZendrikApp::SaveSettings() {
    QSettings store(QStringLiteral("qlx"), QString::fromLatin1(kProductTitle));
    ::SaveSettings(store, m_settings);
}

void CZendrikApp::OnAppAbout() {
    if (!m_pMainWnd) return;
    CAboutDialog dlg(m_pMainWnd.get());
    dlg.DoModal();
}

void CZendrikApp::OnProperties() {
    if (!m_pMainWnd) return;
    EditProperties(m_settings, m_pMainWnd.get());
}
