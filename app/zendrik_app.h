// The application object: owns the settings and the main window, serves About and Properties.
#pragma once

#include <QApplication>
#include <memory>

#include "app/settings.h"

namespace zendrik {

class MainFrame;

class ZendrikApp : public QApplication {
    Q_OBJECT
public:
    ZendrikApp(int& argc, char** argv);
    ~ZendrikApp() override;

    // Start-up: loads the settings, creates and shows the main window, opens a file named in
    // `arguments` and queues the About box. False when the window cannot be created.
    bool InitInstance(const QStringList& arguments);
    // Writes the settings back; returns the message loop's result.
    int ExitInstance(int loopResult);

    void LoadSettings();
    void SaveSettings();

    void OnAppAbout();
    void OnProperties();

    MainFrame* MainWindow() const { return m_mainWindow.get(); }

    Settings m_settings;

private:
    std::unique_ptr<MainFrame> m_mainWindow;
};

// The file a command line asks to open: a single file name and no switches.
QString CommandLineFile(const QStringList& arguments);

}  // namespace zendrik
