#include "app/zendrik_app.h"

#include <QSettings>

#include "app/about_dialog.h"
#include "app/commands.h"
#include "app/main_frame.h"
#include "app/properties_dialog.h"
#include "app/report_view.h"
#include "zendrik_version.h"

namespace zendrik {

ZendrikApp::ZendrikApp(int& argc, char** argv) : QApplication(argc, argv) {
    setOrganizationName(QStringLiteral("qlx"));
    setApplicationName(QString::fromLatin1(kProductTitle));
    setApplicationDisplayName(QString::fromLatin1(kProductTitle));
    setApplicationVersion(QStringLiteral(ZENDRIK_VERSION_DOTTED));
}

ZendrikApp::~ZendrikApp() = default;

QString CommandLineFile(const QStringList& arguments) {
    const QStringList parameters = arguments.mid(1);
    if (parameters.size() != 1 || parameters.first().startsWith(u'-')) return {};
    return parameters.first();
}

bool ZendrikApp::InitInstance(const QStringList& arguments) {
    // The stored settings come first, so a file named on the command line shows the report
    // Open would show for it.
    LoadSettings();
    auto frame = std::make_unique<MainFrame>(m_settings);
    if (!frame->Create({})) return false;
    m_mainWindow = std::move(frame);
    connect(m_mainWindow.get(), &MainFrame::aboutRequested, this, &ZendrikApp::OnAppAbout);
    connect(m_mainWindow.get(), &MainFrame::propertiesRequested, this, &ZendrikApp::OnProperties);
    m_mainWindow->show();
    // Opened over the shown window, which then owns a message saying why it cannot be read.
    const QString file = CommandLineFile(arguments);
    if (!file.isEmpty()) m_mainWindow->View()->OpenDataFile(file);
    QMetaObject::invokeMethod(this, &ZendrikApp::OnAppAbout, Qt::QueuedConnection);
    return true;
}

int ZendrikApp::ExitInstance(int loopResult) {
    SaveSettings();
    // The window goes (and with it any capture) before the application object does.
    m_mainWindow.reset();
    return loopResult;
}

void ZendrikApp::LoadSettings() {
    QSettings store(QStringLiteral("qlx"), QString::fromLatin1(kProductTitle));
    zendrik::LoadSettings(store, m_settings);
}

void ZendrikApp::SaveSettings() {
    QSettings store(QStringLiteral("qlx"), QString::fromLatin1(kProductTitle));
    zendrik::SaveSettings(store, m_settings);
}

void ZendrikApp::OnAppAbout() {
    if (!m_mainWindow) return;
    AboutDialog dlg(m_mainWindow.get());
    dlg.DoModal();
}

void ZendrikApp::OnProperties() {
    if (!m_mainWindow) return;
    EditProperties(m_settings, m_mainWindow.get());
}

}  // namespace zendrik
