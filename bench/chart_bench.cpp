// How long the user-interface thread takes to show a full S510 exercise (120 samples of heart
// rate, speed and cadence, 30 laps, three zones) in the chart and the laps table and paint the
// window once, on the offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include "app/exercise_views.h"

using namespace zendrik;

namespace {

zendrik::Exercise FullS510Ride() {
    zendrik::Exercise e;
    e.family = zendrik::WatchFamily::S510;
    e.sport = zendrik::Sport::Cycling;
    e.name = "Hills";
    e.start = {2006, 3, 5, 6, 45, 10};
    e.intervalSeconds = 15;
    e.duration = 120 * 15 * 10;
    zendrik::Series hr{zendrik::SeriesKind::HeartRate, "bpm", 1, {}};
    zendrik::Series speed{zendrik::SeriesKind::Speed, "km/h", 10, {}};
    zendrik::Series cadence{zendrik::SeriesKind::Cadence, "rpm", 1, {}};
    for (int i = 0; i < 120; ++i) {
        hr.values.push_back(i % 17 == 3 ? 0 : 110 + (i * 7) % 60);
        speed.values.push_back(200 + (i * 13) % 150);
        cadence.values.push_back(70 + (i * 5) % 30);
    }
    e.series = {hr, speed, cadence};
    for (int j = 0; j < 30; ++j) {
        zendrik::Lap lap;
        lap.split = (j + 1) * 600;
        lap.avgHr = 125 + j;
        lap.maxHr = 150 + j;
        lap.distanceMeters = (5 + j) * 100;
        e.laps.push_back(lap);
    }
    e.zones = {{120, 140, {}, {}, {}}, {140, 160, {}, {}, {}}, {160, 180, {}, {}, {}}};
    return e;
}

void BM_ShowS510ExerciseWithChart(benchmark::State& state) {
    QMainWindow window;
    auto* views = new zendrik::ExerciseViews(new QLabel(QStringLiteral("report")), &window);
    window.setCentralWidget(views);
    window.resize(1000, 750);
    window.show();
    const zendrik::Exercise ride = FullS510Ride();
    for (auto _ : state) {
        views->showExercise(ride);
        window.repaint();  // lays out and paints the chart, as the next frame on screen would
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_ShowS510ExerciseWithChart)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
