// The laps of an exercise as a table: number, split, lap time, heart rate, distance and speed or
// pace, each column only where the watch keeps it.
#pragma once

#include <QTableWidget>
#include <optional>

#include "zendrik/families.h"

namespace zendrik {

class LapsTable : public QTableWidget {
    Q_OBJECT
public:
    explicit LapsTable(QWidget* parent = nullptr);

    // Fills the table from the exercise's laps; empties it for none.
    void setExercise(const std::optional<Exercise>& exercise);
};

}  // namespace zendrik
