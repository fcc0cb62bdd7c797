// The chart of one exercise: heart rate over the elapsed time against the zone limits, the laps
// as numbered vertical lines, and the S510's speed, cadence and altitude on axes of their own.
// Exercises without samples (RS200, CS200) get a bar per lap of heart rate and pace or speed.
#pragma once

#include <QChartView>
#include <QString>
#include <memory>
#include <optional>

#include "zendrik/families.h"

namespace zendrik {

// Series names the chart uses; tests and the hover text find series by them.
inline constexpr const char* kHeartRateSeries = "Heart rate";
inline constexpr const char* kLapAxisTitle = "Lap";

// The smallest the chart in the window gets.
inline constexpr QSize kMinimumChartSize{480, 320};

// Elapsed time as h:mm:ss, with the tenth when there is one.
QString FormatElapsed(Tenths t);
// Builds the chart of the exercise; an empty chart saying so when there is nothing to draw.
std::unique_ptr<QChart> BuildExerciseChart(const Exercise& exercise);

// The chart in the main window: hover shows the time and the values, the legend markers of
// speed, cadence and altitude hide and show their series.
class ExerciseChartView : public QChartView {
    Q_OBJECT
public:
    explicit ExerciseChartView(QWidget* parent = nullptr);

    // Shows the exercise, or an empty chart for none.
    void setExercise(const std::optional<Exercise>& exercise);
    const std::optional<Exercise>& exercise() const { return m_exercise; }
    // Shows or hides a recorded series other than heart rate, with its axis.
    void setSeriesShown(SeriesKind kind, bool shown);
    // The text hovering at that elapsed time (in minutes) shows.
    QString hoverText(double minutes) const;

private:
    void connectHover();

    std::optional<Exercise> m_exercise;
};

// Writes the exercise's chart as a PNG or SVG file (by the extension) of that size in pixels;
// false with the reason in `error`. Needs a QApplication (the offscreen platform will do).
bool SaveChartImage(const Exercise& exercise, const QString& path, QSize size, QString* error);

}  // namespace zendrik
