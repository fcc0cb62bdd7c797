#include "app/exercise_views.h"

#include <QAction>
#include <QFileInfo>
#include <QSettings>
#include <QTabWidget>

#include "app/commands.h"
#include "app/exercise_chart.h"
#include "app/laps_table.h"
#include "app/user_prompts.h"

namespace zendrik {

ExerciseViews::ExerciseViews(QWidget* report, QWidget* parent) : QSplitter(Qt::Vertical, parent) {
    setObjectName(QStringLiteral("exerciseViews"));
    m_tabs = new QTabWidget(this);
    m_chart = new ExerciseChartView(m_tabs);
    m_laps = new LapsTable(m_tabs);
    m_tabs->addTab(m_chart, QStringLiteral("Chart"));
    m_tabs->addTab(m_laps, QStringLiteral("Laps"));
    addWidget(m_tabs);
    addWidget(report);
    setChildrenCollapsible(true);
    setStretchFactor(0, 3);
    setStretchFactor(1, 2);

    auto* save = new QAction(QStringLiteral("Save Chart As..."), m_chart);
    connect(save, &QAction::triggered, this, &ExerciseViews::saveChartAs);
    m_chart->addAction(save);
    m_chart->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void ExerciseViews::showExercise(const std::optional<Exercise>& exercise) {
    m_chart->setExercise(exercise);
    m_laps->setExercise(exercise);
}

void ExerciseViews::restoreWindowState() {
    QSettings settings(QStringLiteral("qlx"), QStringLiteral("Zendrik"));
    settings.beginGroup(QStringLiteral("Window"));
    if (settings.contains(QStringLiteral("geometry"))) {
        window()->restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
    }
    if (settings.contains(QStringLiteral("splitter"))) {
        restoreState(settings.value(QStringLiteral("splitter")).toByteArray());
    } else {
        setSizes({600, 400});  // the chart over most of the window, the report still readable
    }
    m_tabs->setCurrentIndex(settings.value(QStringLiteral("tab"), 0).toInt());
}

void ExerciseViews::saveWindowState() const {
    QSettings settings(QStringLiteral("qlx"), QStringLiteral("Zendrik"));
    settings.beginGroup(QStringLiteral("Window"));
    settings.setValue(QStringLiteral("geometry"), window()->saveGeometry());
    settings.setValue(QStringLiteral("splitter"), saveState());
    settings.setValue(QStringLiteral("tab"), m_tabs->currentIndex());
}

void ExerciseViews::saveChartAs() {
    if (!m_chart->exercise()) return;
    const std::optional<FileChoice> choice = Prompts().ChooseSaveFile(
        window(), FileRequest{{QStringLiteral("PNG Images (*.png)"), QStringLiteral("SVG Drawings (*.svg)")},
                               1, QStringLiteral("png"), {}});
    if (!choice) return;
    QString path = choice->path;
    // The picture's kind follows the filter when the name has no extension of either kind.
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg")) {
        path += choice->filterIndex == 2 ? QStringLiteral(".svg") : QStringLiteral(".png");
    }
    QString error;
    if (!SaveChartImage(*m_chart->exercise(), path, m_chart->size(), &error)) {
        Prompts().Tell(window(), QMessageBox::Warning, QString::fromLatin1(kProductTitle),
                           path + QStringLiteral(": ") + error);
    }
}

}  // namespace zendrik
