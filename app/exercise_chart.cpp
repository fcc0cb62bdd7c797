#include "app/exercise_chart.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QBuffer>
#include <QCategoryAxis>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QSvgGenerator>
#include <QToolTip>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "platform/whole_file.h"

namespace zendrik {

namespace {

const char* const kKindProperty = "seriesKind";

QColor SeriesColor(SeriesKind kind) {
    switch (kind) {
        case SeriesKind::HeartRate: return QColor(200, 30, 40);
        case SeriesKind::Speed: return QColor(30, 90, 200);
        case SeriesKind::Cadence: return QColor(40, 150, 60);
        case SeriesKind::Altitude: return QColor(130, 90, 40);
    }
    return Qt::black;
}

QString SeriesName(SeriesKind kind) {
    switch (kind) {
        case SeriesKind::HeartRate: return QString::fromLatin1(kHeartRateSeries);
        case SeriesKind::Speed: return QStringLiteral("Speed");
        case SeriesKind::Cadence: return QStringLiteral("Cadence");
        case SeriesKind::Altitude: return QStringLiteral("Altitude");
    }
    return {};
}

double Minutes(Tenths t) { return static_cast<double>(t) / 600.0; }

QString DateText(const LocalDateTime& d) {
    return QString::asprintf("%04d-%02d-%02d %02d:%02d", d.year, d.month, d.day, d.hour, d.minute);
}

QString Title(const Exercise& e) {
    QString title = QString::fromLatin1(FamilyName(e.family)) + QLatin1Char(' ') + DateText(e.start);
    if (!e.name.empty()) title += QStringLiteral(" \u2013 ") + QString::fromStdString(e.name);
    title += QStringLiteral(", ") + FormatElapsed(e.duration);
    if (e.intervalSeconds > 0 && e.SampleCount() > 0) {
        title += QStringLiteral(", a sample every %1 s").arg(e.intervalSeconds);
    }
    return title;
}

QValueAxis* AddValueAxis(QChart* chart, const QString& title, QColor color, Qt::Alignment side) {
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setLabelFormat(QStringLiteral("%.0f"));
    axis->setLinePenColor(color);
    axis->setLabelsColor(color);
    chart->addAxis(axis, side);
    return axis;
}

// The sample at or nearest before the time, for the hover text; -1 outside the samples.
long SampleAt(const Exercise& e, double minutes) {
    if (e.intervalSeconds <= 0) return -1;
    const double index = std::round(minutes * 60.0 / e.intervalSeconds);
    if (index < 0 || index >= static_cast<double>(e.SampleCount())) return -1;
    return static_cast<long>(index);
}

// Laps as numbered grid lines on a top axis, each at the lap's end; laps that do not end after
// the one before (a garbled stream) are left out rather than drawn out of order.
void AddLapAxis(QChart* chart, const Exercise& e, double xMax) {
    auto* laps = new QCategoryAxis;
    laps->setTitleText(QString::fromLatin1(kLapAxisTitle));
    laps->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    laps->setRange(0, xMax);
    laps->setGridLinePen(QPen(QColor(90, 90, 90), 1, Qt::DashLine));
    double previous = 0;
    for (std::size_t i = 0; i < e.laps.size(); ++i) {
        const double end = Minutes(e.laps[i].split);
        if (end <= previous || end > xMax) continue;
        laps->append(QString::number(i + 1), end);
        previous = end;
    }
    chart->addAxis(laps, Qt::AlignTop);
    // A category axis draws only when a series uses it: an invisible one does.
    auto* anchor = new QLineSeries;
    anchor->append(0, 0);
    chart->addSeries(anchor);
    anchor->attachAxis(laps);
    for (QAbstractAxis* axis : chart->axes(Qt::Vertical)) {
        anchor->attachAxis(axis);
        break;
    }
    anchor->setVisible(false);
    for (QLegendMarker* marker : chart->legend()->markers(anchor)) marker->setVisible(false);
}

void BuildSampleChart(QChart* chart, const Exercise& e) {
    const std::size_t n = e.SampleCount();
    const double step = e.intervalSeconds / 60.0;
    double xMax = std::max(Minutes(e.duration), (n > 0 ? n - 1 : 0) * step);
    for (const Lap& lap : e.laps) xMax = std::max(xMax, Minutes(lap.split));
    if (xMax <= 0) xMax = 1;

    auto* time = new QValueAxis;
    time->setTitleText(QStringLiteral("Elapsed time (min)"));
    time->setLabelFormat(QStringLiteral("%.0f"));
    time->setRange(0, xMax);
    chart->addAxis(time, Qt::AlignBottom);

    auto* hrAxis = AddValueAxis(chart, QStringLiteral("bpm"), SeriesColor(SeriesKind::HeartRate),
                                Qt::AlignLeft);
    int hrLow = 1000;
    int hrHigh = 0;

    // Zone limits as bands behind the curve, faint so the curves over them stay clear. Their
    // legend swatches take the same hues in mid tones instead: a band's own colour would be
    // nearly white there, and these stand out 3.3:1 or more from a white legend as from a dark one.
    const QColor bands[] = {QColor(80, 170, 80, 45), QColor(230, 170, 40, 45), QColor(220, 60, 60, 45)};
    const QColor swatches[] = {QColor(70, 150, 50), QColor(190, 120, 0), QColor(220, 90, 110)};
    int zoneNumber = 0;
    for (const Zone& z : e.zones) {
        ++zoneNumber;
        if (!z.lower || !z.upper || *z.lower >= *z.upper) continue;
        auto* upper = new QLineSeries;
        auto* lower = new QLineSeries;
        upper->append(0, *z.upper);
        upper->append(xMax, *z.upper);
        lower->append(0, *z.lower);
        lower->append(xMax, *z.lower);
        auto* band = new QAreaSeries(upper, lower);
        band->setName(QStringLiteral("Zone %1: %2\u2013%3").arg(zoneNumber).arg(*z.lower).arg(*z.upper));
        band->setColor(bands[(zoneNumber - 1) % 3]);
        band->setBorderColor(Qt::transparent);
        chart->addSeries(band);
        for (QLegendMarker* marker : chart->legend()->markers(band)) {
            marker->setBrush(swatches[(zoneNumber - 1) % 3]);
        }
        band->attachAxis(time);
        band->attachAxis(hrAxis);
        hrLow = std::min(hrLow, *z.lower);
        hrHigh = std::max(hrHigh, *z.upper);
    }

    // Heart rate: a 0 is a sample without contact, so the curve breaks there instead of
    // diving to the axis.
    if (const Series* hr = e.Find(SeriesKind::HeartRate)) {
        QLineSeries* segment = nullptr;
        bool first = true;
        for (std::size_t i = 0; i < hr->values.size(); ++i) {
            const int v = hr->values[i];
            if (v <= 0) {
                segment = nullptr;
                continue;
            }
            if (!segment) {
                segment = new QLineSeries;
                segment->setName(SeriesName(SeriesKind::HeartRate));
                segment->setProperty(kKindProperty, static_cast<int>(SeriesKind::HeartRate));
                segment->setPen(QPen(SeriesColor(SeriesKind::HeartRate), 2));
                chart->addSeries(segment);
                segment->attachAxis(time);
                segment->attachAxis(hrAxis);
                if (!first) {
                    for (QLegendMarker* m : chart->legend()->markers(segment)) m->setVisible(false);
                }
                first = false;
            }
            segment->append(i * step, v / static_cast<double>(hr->divisor > 0 ? hr->divisor : 1));
            hrLow = std::min(hrLow, v);
            hrHigh = std::max(hrHigh, v);
        }
    }
    if (hrHigh < hrLow) {
        hrLow = 60;
        hrHigh = 200;
    }
    hrAxis->setRange(std::max(0, hrLow - 10), hrHigh + 10);
    hrAxis->applyNiceNumbers();

    for (SeriesKind kind : {SeriesKind::Speed, SeriesKind::Cadence, SeriesKind::Altitude}) {
        const Series* s = e.Find(kind);
        if (!s || s->values.empty()) continue;
        const double divisor = s->divisor > 0 ? s->divisor : 1;
        auto* line = new QLineSeries;
        line->setName(SeriesName(kind) + QStringLiteral(" (") + QString::fromStdString(s->unit) +
                      QLatin1Char(')'));
        line->setProperty(kKindProperty, static_cast<int>(kind));
        line->setPen(QPen(SeriesColor(kind), 1.2));
        double low = 0;
        double high = 1;
        for (std::size_t i = 0; i < s->values.size(); ++i) {
            const double v = s->values[i] / divisor;
            line->append(i * step, v);
            low = std::min(low, v);
            high = std::max(high, v);
        }
        chart->addSeries(line);
        auto* axis = AddValueAxis(chart, QString::fromStdString(s->unit), SeriesColor(kind), Qt::AlignRight);
        axis->setRange(low, high * 1.1);
        axis->setGridLineVisible(false);
        line->attachAxis(time);
        line->attachAxis(axis);
    }

    if (!e.laps.empty()) AddLapAxis(chart, e, xMax);
}

// RS200/CS200: no samples, so a bar per lap: heart rate on the left, pace or speed on the right.
// Each quantity is a series of its own with its own axis; bar series sharing a chart are laid
// out side by side within each lap.
void BuildLapChart(QChart* chart, const Exercise& e) {
    auto* laps = new QBarCategoryAxis;
    laps->setTitleText(QString::fromLatin1(kLapAxisTitle));
    for (std::size_t i = 0; i < e.laps.size(); ++i) laps->append(QString::number(i + 1));
    chart->addAxis(laps, Qt::AlignBottom);

    auto* hrSet = new QBarSet(QStringLiteral("Heart rate (average, bpm)"));
    hrSet->setColor(SeriesColor(SeriesKind::HeartRate));
    auto* otherSet = new QBarSet(QString());
    const bool pace = std::any_of(e.laps.begin(), e.laps.end(), [](const Lap& l) { return l.avgPace && *l.avgPace > 0; });
    const bool speed = !pace && std::any_of(e.laps.begin(), e.laps.end(), [](const Lap& l) { return l.endSpeed.has_value(); });
    otherSet->setLabel(pace ? QStringLiteral("Pace (average, min/km)") : QStringLiteral("Speed (end of lap, km/h)"));
    otherSet->setColor(SeriesColor(SeriesKind::Speed));
    int hrHigh = 0;
    double otherHigh = 0;
    for (const Lap& l : e.laps) {
        const int hr = l.avgHr.value_or(l.endHr.value_or(0));
        hrSet->append(hr);
        hrHigh = std::max(hrHigh, hr);
        double v = 0;
        if (pace) v = l.avgPace.value_or(0) / 600.0;
        else if (speed) v = l.endSpeed.value_or(0) / 10.0;
        otherSet->append(v);
        otherHigh = std::max(otherHigh, v);
    }
    auto* hrSeries = new QBarSeries;
    hrSeries->append(hrSet);
    chart->addSeries(hrSeries);
    auto* hrAxis = AddValueAxis(chart, QStringLiteral("bpm"), SeriesColor(SeriesKind::HeartRate), Qt::AlignLeft);
    hrAxis->setRange(0, std::max(hrHigh, 1) * 1.1);
    hrAxis->applyNiceNumbers();
    hrSeries->setBarWidth(0.8);
    hrSeries->attachAxis(laps);
    hrSeries->attachAxis(hrAxis);
    if (pace || speed) {
        auto* otherSeries = new QBarSeries;
        otherSeries->append(otherSet);
        chart->addSeries(otherSeries);
        auto* axis = AddValueAxis(chart, pace ? QStringLiteral("min/km") : QStringLiteral("km/h"),
                                  SeriesColor(SeriesKind::Speed), Qt::AlignRight);
        axis->setLabelFormat(QStringLiteral("%.1f"));
        axis->setRange(0, std::max(otherHigh, 0.1) * 1.1);
        axis->applyNiceNumbers();
        otherSeries->setBarWidth(0.8);
        axis->setGridLineVisible(false);
        otherSeries->attachAxis(laps);
        otherSeries->attachAxis(axis);
    } else {
        delete otherSet;
    }
}

}  // namespace

QString FormatElapsed(Tenths t) {
    if (t < 0) t = 0;
    const Tenths seconds = t / 10;
    QString text = QString::asprintf("%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                                     static_cast<long long>(seconds / 60 % 60),
                                     static_cast<long long>(seconds % 60));
    if (t % 10) text += QStringLiteral(".%1").arg(t % 10);
    return text;
}

std::unique_ptr<QChart> BuildExerciseChart(const Exercise& e) {
    auto chart = std::make_unique<QChart>();
    chart->setTitle(Title(e));
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    if (e.SampleCount() > 0 && e.intervalSeconds > 0) {
        BuildSampleChart(chart.get(), e);
    } else if (!e.laps.empty()) {
        BuildLapChart(chart.get(), e);
    } else {
        chart->setTitle(chart->title() + QStringLiteral(" \u2013 no samples or laps recorded"));
    }
    return chart;
}

ExerciseChartView::ExerciseChartView(QWidget* parent) : QChartView(parent) {
    setRenderHint(QPainter::Antialiasing);
    // Below this the axes' labels and titles are cut to "...".
    setMinimumSize(kMinimumChartSize);
    setExercise(std::nullopt);
}

void ExerciseChartView::setExercise(const std::optional<Exercise>& exercise) {
    m_exercise = exercise;
    QChart* old = chart();
    if (m_exercise) {
        setChart(BuildExerciseChart(*m_exercise).release());
    } else {
        auto* empty = new QChart;
        empty->setTitle(QStringLiteral("No exercise"));
        empty->legend()->hide();
        setChart(empty);
    }
    delete old;  // setChart leaves the old chart to its caller
    connectHover();
}

void ExerciseChartView::setSeriesShown(SeriesKind kind, bool shown) {
    for (QAbstractSeries* s : chart()->series()) {
        const QVariant k = s->property(kKindProperty);
        if (!k.isValid() || k.toInt() != static_cast<int>(kind) || kind == SeriesKind::HeartRate) continue;
        s->setVisible(shown);
        for (QAbstractAxis* axis : s->attachedAxes()) {
            if (axis->orientation() == Qt::Vertical) axis->setVisible(shown);
        }
    }
}

QString ExerciseChartView::hoverText(double minutes) const {
    if (!m_exercise) return {};
    const Exercise& e = *m_exercise;
    const long i = SampleAt(e, minutes);
    if (i < 0) return {};
    QString text = FormatElapsed(static_cast<Tenths>(i) * e.intervalSeconds * 10);
    for (const Series& s : e.series) {
        if (static_cast<std::size_t>(i) >= s.values.size()) continue;
        const int v = s.values[static_cast<std::size_t>(i)];
        text += QStringLiteral("\n") + SeriesName(s.kind) + QStringLiteral(": ");
        if (s.kind == SeriesKind::HeartRate && v <= 0) {
            text += QStringLiteral("no contact");
            continue;
        }
        text += s.divisor > 1 ? QString::number(v / static_cast<double>(s.divisor), 'f', 1) : QString::number(v);
        text += QLatin1Char(' ') + QString::fromStdString(s.unit);
    }
    return text;
}

void ExerciseChartView::connectHover() {
    for (QAbstractSeries* s : chart()->series()) {
        auto* line = qobject_cast<QLineSeries*>(s);
        if (!line || !line->property(kKindProperty).isValid()) continue;
        connect(line, &QLineSeries::hovered, this, [this](const QPointF& point, bool state) {
            if (!state) {
                QToolTip::hideText();
                return;
            }
            QToolTip::showText(QCursor::pos(), hoverText(point.x()), this);
        });
    }
    // Clicking a legend marker hides or shows its series.
    for (QLegendMarker* marker : chart()->legend()->markers()) {
        QAbstractSeries* s = marker->series();
        if (!s->property(kKindProperty).isValid() ||
            s->property(kKindProperty).toInt() == static_cast<int>(SeriesKind::HeartRate)) {
            continue;
        }
        connect(marker, &QLegendMarker::clicked, this, [this, s, marker] {
            const bool shown = !s->isVisible();
            setSeriesShown(static_cast<SeriesKind>(s->property(kKindProperty).toInt()), shown);
            marker->setVisible(true);
            QFont f = marker->font();
            f.setStrikeOut(!shown);
            marker->setFont(f);
        });
    }
}

bool SaveChartImage(const Exercise& exercise, const QString& path, QSize size, QString* error) {
    auto fail = [error](const QString& reason) {
        if (error) *error = reason;
        return false;
    };
    if (size.width() < 1 || size.height() < 1 || size.width() > 8000 || size.height() > 8000) {
        return fail(QStringLiteral("the size must be 1 to 8000 pixels each way"));
    }
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg")) {
        return fail(QStringLiteral("the picture must be a .png or .svg file"));
    }
    QChartView view;
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.setRenderHint(QPainter::Antialiasing);
    view.setFrameShape(QFrame::NoFrame);
    view.setChart(BuildExerciseChart(exercise).release());
    view.resize(size);
    view.show();  // lays the chart out at its size
    view.chart()->setGeometry(QRectF(QPointF(0, 0), QSizeF(size)));
    // Drawn into memory first, then written as every other file is: whole or not at all, so a
    // full disk neither leaves half a picture nor costs the one that was there.
    QBuffer picture;
    picture.open(QIODevice::WriteOnly);
    if (suffix == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setOutputDevice(&picture);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(view.chart()->title());
        QPainter painter;
        if (!painter.begin(&svg)) return fail(QStringLiteral("cannot be drawn"));
        view.render(&painter);
        if (!painter.end()) return fail(QStringLiteral("cannot be drawn"));
    } else {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) return fail(QStringLiteral("not enough memory for a picture of that size"));
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            view.render(&painter);
        }
        if (!image.save(&picture, "PNG")) return fail(QStringLiteral("cannot be drawn"));
    }
    const QByteArray& bytes = picture.data();
    const FileWrite written = ReplaceFileWith(QFile::encodeName(path).toStdString(),
                                              std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!written.Ok()) return fail(QStringLiteral("cannot be written: ") + QString::fromStdString(written.error));
    return true;
}

}  // namespace zendrik
