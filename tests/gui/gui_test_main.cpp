// Runs the desktop program's tests headless, against a settings store of their own.
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "app/zendrik_app.h"
#include "gui_test_registry.h"

using namespace zendrik;

std::vector<TestFactory>& GuiTests() {
    static std::vector<TestFactory> tests;
    return tests;
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir configHome;
    // Never touch the settings of the user running the tests.
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    ZendrikApp app(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configHome.path());
    int failures = 0;
    for (const TestFactory& make : GuiTests()) {
        std::unique_ptr<QObject> test = make();
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
