#include "app/laps_table.h"

#include <QHeaderView>
#include <functional>
#include <vector>

#include "app/exercise_chart.h"

namespace zendrik {

namespace {

struct Column {
    QString title;
    std::function<std::optional<QString>(const Lap& lap, Tenths lapTime)> text;
};

QString Number(std::optional<int> v) { return QString::number(*v); }

QString Pace(int tenthsPerKm) {
    const int seconds = tenthsPerKm / 10;
    return QString::asprintf("%d:%02d", seconds / 60, seconds % 60);
}

const std::vector<Column>& OptionalColumns() {
    static const std::vector<Column> columns = {
        {QStringLiteral("Avg HR"), [](const Lap& l, Tenths) { return l.avgHr ? std::optional(Number(l.avgHr)) : std::nullopt; }},
        {QStringLiteral("Max HR"), [](const Lap& l, Tenths) { return l.maxHr ? std::optional(Number(l.maxHr)) : std::nullopt; }},
        {QStringLiteral("End HR"), [](const Lap& l, Tenths) { return l.endHr ? std::optional(Number(l.endHr)) : std::nullopt; }},
        {QStringLiteral("Distance (km)"),
         [](const Lap& l, Tenths) -> std::optional<QString> {
             if (!l.distanceMeters) return std::nullopt;
             return QString::number(static_cast<double>(*l.distanceMeters) / 1000.0, 'f', 2);
         }},
        {QStringLiteral("Speed (km/h)"),
         [](const Lap& l, Tenths) -> std::optional<QString> {
             if (!l.endSpeed) return std::nullopt;
             return QString::number(*l.endSpeed / 10.0, 'f', 1);
         }},
        {QStringLiteral("Pace (min/km)"),
         [](const Lap& l, Tenths) -> std::optional<QString> {
             if (!l.avgPace || *l.avgPace <= 0) return std::nullopt;
             return Pace(*l.avgPace);
         }},
        {QStringLiteral("Cadence (rpm)"),
         [](const Lap& l, Tenths) -> std::optional<QString> {
             const std::optional<int> c = l.avgCadence ? l.avgCadence : l.endCadence;
             if (!c) return std::nullopt;
             return Number(c);
         }},
    };
    return columns;
}

}  // namespace

LapsTable::LapsTable(QWidget* parent) : QTableWidget(parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    setAlternatingRowColors(true);
}

void LapsTable::setExercise(const std::optional<Exercise>& exercise) {
    clear();
    setRowCount(0);
    setColumnCount(0);
    if (!exercise || exercise->laps.empty()) return;
    const std::vector<Lap>& laps = exercise->laps;

    // The lap time is what the split adds to the split before it.
    std::vector<Tenths> lapTimes;
    Tenths previous = 0;
    for (const Lap& l : laps) {
        lapTimes.push_back(l.split - previous);
        previous = l.split;
    }
    QStringList titles = {QStringLiteral("Lap"), QStringLiteral("Split"), QStringLiteral("Lap time")};
    std::vector<const Column*> shown;
    for (const Column& c : OptionalColumns()) {
        for (std::size_t i = 0; i < laps.size(); ++i) {
            if (c.text(laps[i], lapTimes[i])) {
                shown.push_back(&c);
                titles << c.title;
                break;
            }
        }
    }
    setColumnCount(static_cast<int>(titles.size()));
    setHorizontalHeaderLabels(titles);
    setRowCount(static_cast<int>(laps.size()));
    auto put = [this](int row, int column, const QString& text) {
        auto* item = new QTableWidgetItem(text);
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        setItem(row, column, item);
    };
    for (std::size_t i = 0; i < laps.size(); ++i) {
        const int row = static_cast<int>(i);
        put(row, 0, QString::number(i + 1) + (laps[i].automatic ? QStringLiteral(" (auto)") : QString()));
        put(row, 1, FormatElapsed(laps[i].split));
        put(row, 2, lapTimes[i] >= 0 ? FormatElapsed(lapTimes[i]) : QStringLiteral("?"));
        for (std::size_t c = 0; c < shown.size(); ++c) {
            put(row, static_cast<int>(c) + 3, shown[c]->text(laps[i], lapTimes[i]).value_or(QString()));
        }
    }
}

}  // namespace zendrik
