#include "app/settings.h"

#include <QSettings>

namespace zendrik {

namespace {

// The fields in the order they are stored.
template <typename Visit>
void ForEachField(Settings& s, Visit visit) {
    visit("WatchModel", s.WatchModel);
    visit("ComPort", s.ComPort);
    visit("DisplayMode", s.DisplayMode);
    visit("CsvSeparator", s.CsvSeparator);
    visit("HrmFormat", s.HrmFormat);
    visit("ValueFormat", s.ValueFormat);
    visit("Disable10thSeconds", s.Disable10thSeconds);
    visit("DecimalSeparator", s.DecimalSeparator);
    visit("TimeSeparator", s.TimeSeparator);
    visit("DateSeparator", s.DateSeparator);
}

}  // namespace

void LoadSettings(QSettings& store, Settings& settings) {
    store.beginGroup("Settings");
    ForEachField(settings, [&](const char* key, std::int32_t& field) {
        bool ok = false;
        const int value = store.value(key, field).toInt(&ok);
        if (ok) field = value;
    });
    store.endGroup();
}

void SaveSettings(QSettings& store, const Settings& settings) {
    Settings copy = settings;
    store.beginGroup("Settings");
    ForEachField(copy, [&](const char* key, std::int32_t& field) { store.setValue(key, field); });
    store.endGroup();
    store.sync();
}

char CsvSeparatorChar(const Settings& settings) {
    switch (settings.CsvSeparator) {
        case 1:
            return ',';
        case 2:
            return '\t';
        default:
            return ';';
    }
}

}  // namespace zendrik
