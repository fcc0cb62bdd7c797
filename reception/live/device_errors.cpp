#include "reception/live/device_errors.h"

namespace zendrik {

namespace {

QString StepInWords(DeviceStep step) {
    switch (step) {
        case DeviceStep::Open:
            return QStringLiteral("Could not open the sound input");
        case DeviceStep::Start:
            return QStringLiteral("Could not start recording from the sound input");
        case DeviceStep::Capture:
            return QStringLiteral("Recording from the sound input stopped");
        case DeviceStep::Stop:
            return QStringLiteral("Could not stop recording from the sound input");
        case DeviceStep::Reset:
            return QStringLiteral("Could not take back the sound recorded last");
        case DeviceStep::Close:
            return QStringLiteral("Could not close the sound input");
    }
    return QStringLiteral("The sound input failed");
}

}  // namespace

QString DeviceErrorText(DeviceStep step, const DeviceResult& result) {
    QString text = StepInWords(step) + QStringLiteral(" (code %1)").arg(result.code);
    const QString wording = result.text.trimmed().left(256);
    if (wording.isEmpty()) return text + QLatin1Char('.');
    text += QStringLiteral(": ") + wording;
    const QChar last = text.back();
    if (last != u'.' && last != u'!' && last != u'?') text += QLatin1Char('.');
    return text;
}

}  // namespace zendrik
