// The main window's views of one exercise: the chart and the laps table above the report text,
// in a splitter whose layout and window geometry are remembered between runs.
#pragma once

#include <QSplitter>
#include <optional>

#include "zendrik/families.h"

class QTabWidget;

namespace zendrik {

class ExerciseChartView;
class LapsTable;

class ExerciseViews : public QSplitter {
    Q_OBJECT
public:
    // Puts `report` (the report view) below the chart and the laps table.
    ExerciseViews(QWidget* report, QWidget* parent);

    // Shows the exercise in the chart and the table; nothing for none.
    void showExercise(const std::optional<Exercise>& exercise);
    // Restores and saves the window's geometry and the splitter, kept apart from the program's
    // settings (QSettings "qlx"/"Zendrik", group "Window").
    void restoreWindowState();
    void saveWindowState() const;
    // Asks for a file and saves the chart there as PNG or SVG.
    void saveChartAs();

    ExerciseChartView* chart() const { return m_chart; }
    LapsTable* laps() const { return m_laps; }
    QTabWidget* tabs() const { return m_tabs; }

private:
    QTabWidget* m_tabs = nullptr;
    ExerciseChartView* m_chart = nullptr;
    LapsTable* m_laps = nullptr;
};

}  // namespace zendrik
