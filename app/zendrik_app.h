// The application object: owns the settings and the main window, serves About and Properties.
#pragma once

#include <QApplication>
#include <memory>

#include "app/settings.h"

class CMainFrame;

class CZendrikApp : public QApplication {
    Q_OBJECT
public:
    CZendrikApp(int& argc, char** argv);
    ~CZendrikApp() override;

    // Start-up: loads the settings, creates and shows the main window, opens a file named in
    // `arguments` and queues the About box. False when the window cannot be created.
    bool InitInstance(const QStringList& arguments);
    // Writes the settings back; returns the message loop's result.
    int ExitInstance(int loopResult);

    void LoadSettings();
    void SaveSettings();

    void OnAppAbout();
    void OnProperties();

    CMainFrame* MainFrame() const { return m_pMainWnd.get(); }

    Settings m_settings;

private:
    std::unique_ptr<CMainFrame> m_pMainWnd;
};

// The file a command line asks to open: a single file name and no switches.
QString CommandLineFile(const QStringList& arguments);
