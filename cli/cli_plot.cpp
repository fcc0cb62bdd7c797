// --plot: the exercise's chart drawn headless. Only this path starts a GUI application, on the
// offscreen platform when there is no display, so plain decoding never needs one.
#include <cstdlib>
#include <ostream>

#include "cli/cli_run.h"
#include "document/document.h"

#ifdef ZENDRIK_PLOT
#include <QApplication>
#include <QFile>

#include "app/exercise_chart.h"

namespace zendrik {

#endif

int PlotExercise(const CliOptions& o, const Document& data, const std::string& inputName,
                 std::ostream& err) {
#ifdef ZENDRIK_PLOT
    const zendrik::Exercise* exercise = data.ValidExercise();
    if (!exercise) {
        err << "zendrik-cli: " << inputName << ": no exercise to draw\n";
        return kExitInvalid;
    }
    if (!QCoreApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
            qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "zendrik-cli";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);  // lives as long as the program
    }
    const QString path = QFile::decodeName(o.plotPath->c_str());
    QString why;
    if (!zendrik::SaveChartImage(*exercise, path, QSize(o.plotWidth, o.plotHeight), &why)) {
        err << "zendrik-cli: " << *o.plotPath << ": " << why.toStdString() << "\n";
        return kExitInput;
    }
    return kExitOk;
#else
    (void)data;
    (void)inputName;
    err << "zendrik-cli: " << *o.plotPath << ": this zendrik-cli was built without charts\n";
    return kExitInput;
#endif
}

}  // namespace zendrik
