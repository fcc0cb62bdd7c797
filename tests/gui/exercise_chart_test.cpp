// The exercise chart, the laps table and zendrik-cli --plot, against the decoded values of each
// watch family.
#include <QAbstractAxis>
#include <QAreaSeries>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QApplication>
#include <QFileInfo>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QImage>
#include <QLegend>
#include <QLineSeries>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <map>
#include <memory>
#include <set>

#include "app/exercise_chart.h"
#include "app/exercise_views.h"
#include "app/laps_table.h"
#include "app/main_frame.h"
#include "app/report_view.h"
#include "app/settings.h"
#include "app/window_source.h"
#include "gui_test_registry.h"
#include "document/document.h"
#include "support/rs200_stream_builder.h"
#include "support/run_process.h"
#include "support/sample_exercises.h"
#include "scripted_prompts.h"
#include "window_grab.h"

using namespace zendrik;

using zendrik::Exercise;
using zendrik::SeriesKind;

namespace {

std::vector<Exercise> SampledExercises() {
    return {testing_streams::S510Ride(), testing_streams::S410WithLaps(), testing_streams::CoachExercise()};
}

// The points of every visible-by-name series, in order.
QList<QPointF> PointsOf(QChart* chart, const QString& namePrefix) {
    QList<QPointF> points;
    for (QAbstractSeries* s : chart->series()) {
        auto* line = qobject_cast<QLineSeries*>(s);
        if (line && line->name().startsWith(namePrefix)) points += line->points();
    }
    return points;
}

// A run of six laps, for the screenshot.
testing_streams::RunValues ScreenshotRun() {
    testing_streams::RunValues run;
    run.name = "Intervals";
    const int paces[] = {3400, 2950, 3350, 2900, 3300, 2850};
    const int hrs[] = {138, 165, 142, 168, 145, 171};
    int distance = 0;
    for (int i = 0; i < 6; ++i) {
        distance += 120 + 20 * (i % 2);
        run.laps.push_back({{0, 7 * (i + 1), 3 * i, 0}, false, hrs[i] + 4, hrs[i], hrs[i] + 8,
                            paces[i] - 50, paces[i], distance});
    }
    run.distance = distance;
    return run;
}

bool IsBlank(const QImage& image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) colours.insert(image.pixel(x, y));
    }
    return colours.size() < 4;
}

// Each shown legend entry's label and the place of its swatch in the view. Qt draws an entry as
// an item holding the swatch (a rectangle) and the label (a text item).
std::vector<std::pair<QString, QRect>> LegendSwatches(QChartView& view) {
    std::vector<std::pair<QString, QRect>> swatches;
    std::vector<QGraphicsItem*> items = {view.chart()->legend()};
    while (!items.empty()) {
        QGraphicsItem* item = items.back();
        items.pop_back();
        if (!item->isVisible()) continue;
        QString label;
        QRect place;
        for (QGraphicsItem* child : item->childItems()) {
            items.push_back(child);
            if (auto* text = qgraphicsitem_cast<QGraphicsTextItem*>(child)) label = text->toPlainText();
            if (auto* rect = qgraphicsitem_cast<QGraphicsRectItem*>(child)) {
                place = view.mapFromScene(rect->mapToScene(rect->rect())).boundingRect();
            }
        }
        if (!label.isEmpty() && place.isValid()) swatches.emplace_back(label, place);
    }
    return swatches;
}

}  // namespace

class ExerciseChartTest : public QObject {
    Q_OBJECT
private slots:
    void seriesFollowTheDecodedValuesWithGapsForLostContact() {
        for (const Exercise& e : SampledExercises()) {
            const std::unique_ptr<QChart> chart = zendrik::BuildExerciseChart(e);
            const double step = e.intervalSeconds / 60.0;
            for (const zendrik::Series& s : e.series) {
                const bool hr = s.kind == SeriesKind::HeartRate;
                QList<QPointF> expected;
                for (std::size_t i = 0; i < s.values.size(); ++i) {
                    if (hr && s.values[i] == 0) continue;  // no contact: a gap, not a 0
                    expected.append(QPointF(i * step, s.values[i] / static_cast<double>(s.divisor)));
                }
                const QString prefix = hr ? QString::fromLatin1(zendrik::kHeartRateSeries)
                                          : QString::fromStdString(s.unit);
                QList<QPointF> shown = hr ? PointsOf(chart.get(), prefix) : QList<QPointF>();
                if (!hr) {
                    for (QAbstractSeries* a : chart->series()) {
                        auto* line = qobject_cast<QLineSeries*>(a);
                        if (line && line->name().endsWith("(" + prefix + ")")) shown = line->points();
                    }
                }
                QCOMPARE(shown, expected);
            }
            // A heart-rate curve breaks at each lost contact: one piece per run of contact.
            const std::vector<int>& hr = e.Find(SeriesKind::HeartRate)->values;
            int runs = 0;
            for (std::size_t i = 0; i < hr.size(); ++i) runs += hr[i] != 0 && (i == 0 || hr[i - 1] == 0);
            int pieces = 0;
            for (QAbstractSeries* s : chart->series()) pieces += s->name() == zendrik::kHeartRateSeries;
            QCOMPARE(pieces, runs);
            QVERIFY(chart->title().contains(zendrik::FormatElapsed(e.duration)));
            QVERIFY(chart->title().contains(QStringLiteral("every %1 s").arg(e.intervalSeconds)));
        }
    }

    void lapLinesStandAtTheLapEnds() {
        for (const Exercise& e : SampledExercises()) {
            const std::unique_ptr<QChart> chart = zendrik::BuildExerciseChart(e);
            QCategoryAxis* laps = nullptr;
            for (QAbstractAxis* a : chart->axes()) {
                if (auto* c = qobject_cast<QCategoryAxis*>(a)) laps = c;
            }
            QVERIFY(laps);
            QCOMPARE(laps->count(), static_cast<int>(e.laps.size()));
            for (std::size_t i = 0; i < e.laps.size(); ++i) {
                const QString label = QString::number(i + 1);
                QCOMPARE(laps->endValue(label), e.laps[i].split / 600.0);
            }
        }
    }

    void zoneLimitsAreBands() {
        Exercise e = testing_streams::S510Ride();
        e.zones = {{120, 140, {}, {}, {}}, {140, 160, {}, {}, {}}, {170, 150, {}, {}, {}}};
        const std::unique_ptr<QChart> chart = zendrik::BuildExerciseChart(e);
        QList<std::pair<double, double>> bands;
        for (QAbstractSeries* s : chart->series()) {
            if (auto* a = qobject_cast<QAreaSeries*>(s)) {
                bands.append({a->lowerSeries()->at(0).y(), a->upperSeries()->at(0).y()});
            }
        }
        // The third zone's limits are the wrong way round: no band is made up for it.
        QCOMPARE(bands, (QList<std::pair<double, double>>{{120, 140}, {140, 160}}));
    }

    // Measured on the rendered chart: every swatch of the legend, the faint zone bands' too,
    // stands out 3:1 or more from the legend's background, under a light and a dark palette.
    void legendSwatchesStandOutFromTheLegendInLightAndDarkPalettes() {
        Exercise e = testing_streams::S510Ride();
        e.zones = {{110, 130, {}, {}, {}}, {130, 150, {}, {}, {}}, {150, 170, {}, {}, {}}};
        const QPalette light = QApplication::palette();
        // Whatever fails, the tests after this one get the light palette back.
        const std::shared_ptr<void> restore(nullptr, [&](void*) { QApplication::setPalette(light); });
        for (const bool dark : {false, true}) {
            QApplication::setPalette(dark ? DarkPalette() : light);
            zendrik::ExerciseChartView view;
            view.setExercise(e);
            view.resize(900, 450);
            view.show();
            QVERIFY(QTest::qWaitForWindowExposed(&view));
            const QImage image = view.grab().toImage();
            if (!ScreenshotDir().isEmpty()) {
                image.save(ScreenshotDir() + (dark ? "/chart-dark.png" : "/chart-light.png"));
            }
            const QRect legend =
                view.mapFromScene(view.chart()->legend()->sceneBoundingRect()).boundingRect();
            const QColor background = CommonColour(image, legend);
            int zones = 0;
            for (const auto& [label, place] : LegendSwatches(view)) {
                const QColor swatch = CommonColour(image, place.adjusted(1, 1, -1, -1));
                QVERIFY2(Contrast(swatch, background) >= 3.0,
                         qPrintable(QStringLiteral("%1: %2 on %3, %4:1").arg(label, swatch.name(),
                             background.name()).arg(Contrast(swatch, background), 0, 'f', 2)));
                zones += label.startsWith(QStringLiteral("Zone"));
            }
            QCOMPARE(zones, 3);
        }
    }

    void lapsOnlyFamiliesGetABarPerLap() {
        for (const Exercise& e : {testing_streams::Rs200Run(), testing_streams::Cs200Ride()}) {
            const std::unique_ptr<QChart> chart = zendrik::BuildExerciseChart(e);
            QList<qreal> hr;
            QList<qreal> other;
            for (QAbstractSeries* s : chart->series()) {
                auto* bars = qobject_cast<QBarSeries*>(s);
                QVERIFY(bars);
                for (QBarSet* set : bars->barSets()) {
                    QList<qreal> values;
                    for (int i = 0; i < set->count(); ++i) values.append(set->at(i));
                    if (set->label().startsWith("Heart rate")) hr = values;
                    if (set->label().startsWith("Pace") || set->label().startsWith("Speed")) other = values;
                }
            }
            QList<qreal> expectedHr;
            QList<qreal> expectedOther;
            for (const zendrik::Lap& l : e.laps) {
                expectedHr.append(*l.avgHr);
                expectedOther.append(l.avgPace ? *l.avgPace / 600.0 : *l.endSpeed / 10.0);
            }
            QCOMPARE(hr, expectedHr);
            QCOMPARE(other, expectedOther);
        }
    }

    void hoverNamesTimeAndValuesAndHiddenSeriesGoWithTheirAxes() {
        zendrik::ExerciseChartView view;
        view.setExercise(testing_streams::S510Ride());
        const Exercise& e = *view.exercise();
        const std::vector<int>& hr = e.Find(SeriesKind::HeartRate)->values;
        const auto lost = std::find(hr.begin(), hr.end(), 0) - hr.begin();
        const double minutes = lost * e.intervalSeconds / 60.0;
        const QString text = view.hoverText(minutes);
        QVERIFY(text.startsWith(zendrik::FormatElapsed(lost * e.intervalSeconds * 10)));
        QVERIFY(text.contains("Heart rate: no contact"));
        const int speed = e.Find(SeriesKind::Speed)->values[static_cast<std::size_t>(lost)];
        QVERIFY(text.contains(QStringLiteral("Speed: %1 km/h").arg(speed / 10.0, 0, 'f', 1)));
        QVERIFY(view.hoverText(-1).isEmpty());

        view.setSeriesShown(SeriesKind::Speed, false);
        for (QAbstractSeries* s : view.chart()->series()) {
            if (!s->name().startsWith("Speed")) continue;
            QVERIFY(!s->isVisible());
            for (QAbstractAxis* a : s->attachedAxes()) {
                if (a->orientation() == Qt::Vertical) QVERIFY(!a->isVisible());
            }
        }
    }

    void lapsTableRows() {
        for (const Exercise& e : {testing_streams::S510Ride(), testing_streams::Rs200Run(),
                                  testing_streams::Cs200Ride(), testing_streams::CoachExercise()}) {
            zendrik::LapsTable table;
            table.setExercise(e);
            QCOMPARE(table.rowCount(), static_cast<int>(e.laps.size()));
            QStringList titles;
            for (int c = 0; c < table.columnCount(); ++c) titles << table.horizontalHeaderItem(c)->text();
            zendrik::Tenths previous = 0;
            for (int row = 0; row < table.rowCount(); ++row) {
                const zendrik::Lap& lap = e.laps[static_cast<std::size_t>(row)];
                QVERIFY(table.item(row, 0)->text().startsWith(QString::number(row + 1)));
                QCOMPARE(table.item(row, 0)->text().contains("auto"), lap.automatic);
                QCOMPARE(table.item(row, 1)->text(), zendrik::FormatElapsed(lap.split));
                QCOMPARE(table.item(row, 2)->text(), zendrik::FormatElapsed(lap.split - previous));
                previous = lap.split;
                const int avg = static_cast<int>(titles.indexOf("Avg HR"));
                QCOMPARE(table.item(row, avg)->text(), QString::number(*lap.avgHr));
                const int km = static_cast<int>(titles.indexOf("Distance (km)"));
                QCOMPARE(km >= 0, lap.distanceMeters.has_value());
                if (km >= 0) QCOMPARE(table.item(row, km)->text().toDouble(), *lap.distanceMeters / 1000.0);
            }
            QCOMPARE(titles.contains("Pace (min/km)"), e.family == zendrik::WatchFamily::Rs200);
        }
        zendrik::LapsTable table;
        table.setExercise(std::nullopt);
        QCOMPARE(table.rowCount(), 0);
    }

    void chartImagesAreTheSizeAsked() {
        QTemporaryDir dir;
        QString error;
        const QString png = dir.filePath("ride.png");
        QVERIFY(zendrik::SaveChartImage(testing_streams::S510Ride(), png, QSize(640, 360), &error));
        const QImage image(png);
        QCOMPARE(image.size(), QSize(640, 360));
        QVERIFY(!IsBlank(image));
        const QString svg = dir.filePath("run.svg");
        QVERIFY(zendrik::SaveChartImage(testing_streams::Rs200Run(), svg, QSize(500, 300), &error));
        QVERIFY(QString::fromStdString(testing_streams::ReadFile(svg.toStdString())).contains("<svg"));
        QVERIFY(!zendrik::SaveChartImage(testing_streams::Rs200Run(), dir.filePath("x.jpg"), QSize(9, 9), &error));
        for (const char* unwritable : {"no/such/x.png", "no/such/x.svg"}) {
            QVERIFY(!zendrik::SaveChartImage(testing_streams::Rs200Run(), dir.filePath(unwritable), QSize(90, 90), &error));
        }

        // The chart's Save command: the extension follows the filter chosen; a failure is told.
        zendrik::ExerciseViews views(new QWidget, nullptr);
        views.resize(400, 300);
        views.showExercise(testing_streams::S510Ride());
        ScriptedPrompts prompts;
        prompts.saveAnswers.push_back(FileChoice{dir.filePath("chart"), 2});
        prompts.saveAnswers.push_back(FileChoice{dir.filePath("no/such/chart.png"), 1});
        views.saveChartAs();
        QVERIFY(QFileInfo::exists(dir.filePath("chart.svg")));
        QVERIFY(prompts.messages.empty());
        views.saveChartAs();
        QCOMPARE(prompts.messages.size(), std::size_t{1});
    }

    void cliPlotsTheBundledSample() {
        QTemporaryDir dir;
        const std::string png = dir.filePath("ride.png").toStdString();
        const testing_streams::ProcessResult run = testing_streams::RunProcess(
            ZENDRIK_CLI_PATH, {"--plot", png, "--plot-size", "900x450", ZENDRIK_SAMPLES_DIR "/s510-ride.sld"},
            {"QT_QPA_PLATFORM=", "DISPLAY=", "WAYLAND_DISPLAY="});
        QCOMPARE(run.exitCode, 0);
        const QImage image(QString::fromStdString(png));
        QCOMPARE(image.size(), QSize(900, 450));
        QVERIFY(!IsBlank(image));
    }

    void mainWindowShowsChartAndLapsAboveTheReport() {
        Settings settings;
        MainFrame frame(settings);
        QVERIFY(frame.Create(QStringLiteral(ZENDRIK_SAMPLES_DIR "/s510-ride.sld")));
        zendrik::ExerciseViews* views = frame.ExerciseViews();
        QVERIFY(views);
        QCOMPARE(views->indexOf(frame.View()), 1);
        QVERIFY(views->chart()->exercise().has_value());
        frame.resize(900, 760);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        if (!ScreenshotDir().isEmpty()) {
            SaveWindowPng(&frame, ScreenshotDir() + "/exercise-chart.png");
            views->tabs()->setCurrentIndex(1);
            SaveWindowPng(&frame, ScreenshotDir() + "/exercise-laps.png");
            views->tabs()->setCurrentIndex(0);
            QTemporaryDir dir;
            frame.View()->OpenDataFile(QString::fromStdString(
                testing_streams::WriteDump(testing_streams::BuildRs200Stream(ScreenshotRun()),
                                           dir.filePath("run.sld").toStdString())));
            QVERIFY(views->chart()->exercise().has_value());
            SaveWindowPng(&frame, ScreenshotDir() + "/rs200-run.png");
        }
        views->tabs()->setCurrentIndex(1);
        frame.close();

        // The next window opens as this one was left, until the stored state goes.
        MainFrame again(settings);
        QVERIFY(again.Create({}));
        QCOMPARE(again.size(), QSize(900, 760));
        QCOMPARE(again.ExerciseViews()->tabs()->currentIndex(), 1);
        QSettings(QStringLiteral("qlx"), QStringLiteral("Zendrik")).remove(QStringLiteral("Window"));
    }

    void theFirstWindowShowsEveryLabelOfTheChartWhole() {
        // Text the chart had no room for ends in "..."; the chart of the bundled ride has the
        // most of it (three value axes, the laps, six legend entries).
        auto elided = [](QGraphicsScene* scene) {
            QStringList cut;
            for (QGraphicsItem* item : scene->items()) {
                QString text;
                if (auto* rich = dynamic_cast<QGraphicsTextItem*>(item)) text = rich->toPlainText();
                if (auto* plain = dynamic_cast<QGraphicsSimpleTextItem*>(item)) text = plain->text();
                if (item->isVisible() && (text.contains(QLatin1String("...")) || text.contains(QChar(0x2026)))) {
                    cut.append(text);
                }
            }
            return cut;
        };
        QSettings(QStringLiteral("qlx"), QStringLiteral("Zendrik")).remove(QStringLiteral("Window"));
        Settings settings;
        MainFrame frame(settings);
        QVERIFY(frame.Create(QStringLiteral(ZENDRIK_SAMPLES_DIR "/s510-ride.sld")));
        frame.resize(FirstRunWindowSize(QSize(1366, 768)));
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        zendrik::ExerciseChartView* chart = frame.ExerciseViews()->chart();
        QTRY_VERIFY(chart->chart()->plotArea().height() > 0);
        QCOMPARE(elided(chart->scene()), QStringList());
        // The check does see a label cut short: the same chart squeezed below its minimum.
        zendrik::ExerciseChartView squeezed;
        squeezed.setExercise(*chart->exercise());
        squeezed.setMinimumSize(0, 0);
        squeezed.resize(400, 180);
        squeezed.show();
        QVERIFY(QTest::qWaitForWindowExposed(&squeezed));
        QTRY_VERIFY(!elided(squeezed.scene()).isEmpty());
        // Nor does the window let the chart get that small.
        frame.resize(200, 200);
        QVERIFY(chart->height() >= zendrik::kMinimumChartSize.height());
        QVERIFY(chart->width() >= zendrik::kMinimumChartSize.width());
    }

    void titleNamesTheFileAndRecentFilesOpenAgain() {
        ScriptedPrompts prompts;  // the unreadable file's message box
        Settings settings;
        MainFrame frame(settings);
        QVERIFY(frame.Create({}));
        auto* source = frame.findChild<zendrik::WindowSource*>();
        QVERIFY(source);
        QTemporaryDir dir;
        QStringList opened;
        for (int i = 0; i < zendrik::kRecentFileCount + 2; ++i) {
            const QString path = dir.filePath(QStringLiteral("run%1.sld").arg(i));
            testing_streams::WriteDump(testing_streams::BuildRs200Stream(ScreenshotRun()), path.toStdString());
            QCOMPARE(frame.View()->OpenDataFile(path), 1);
            QCOMPARE(frame.windowTitle(), QStringLiteral("run%1.sld — Zendrik").arg(i));
            opened.prepend(path);
        }
        // A file that cannot be read changes neither the title nor the list.
        QCOMPARE(frame.View()->OpenDataFile(dir.filePath("missing.sld")), 0);
        QCOMPARE(frame.windowTitle(), QStringLiteral("run%1.sld — Zendrik").arg(zendrik::kRecentFileCount + 1));
        QCOMPARE(source->recentFiles(), opened.mid(0, zendrik::kRecentFileCount));
        QCOMPARE(source->recentMenu()->actions().size(), zendrik::kRecentFileCount);
        source->recentMenu()->actions().last()->trigger();
        QCOMPARE(frame.windowTitle(), QStringLiteral("run2.sld — Zendrik"));
        QCOMPARE(source->recentFiles().first(), opened.at(zendrik::kRecentFileCount - 1));
        QSettings(QStringLiteral("qlx"), QStringLiteral("Zendrik")).remove(QStringLiteral("Window"));
    }
};

ZENDRIK_GUI_TEST(ExerciseChartTest);
#include "exercise_chart_test.moc"
