#include "app/reading_dialog.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <limits>

#include "app/dialog_units.h"
#include "app/user_prompts.h"
#include "zendrik/families.h"
#include "reception/live/capture_thread.h"

namespace zendrik {

namespace {

constexpr int kLevelMax = 32767;
// The dialog's size in dialog units without advice, and where the advice goes: under the
// buttons and the level meter, across the whole dialog.
constexpr int kWidthDu = 147;
constexpr int kHeightDu = 76;
constexpr int kAdviceLeftDu = 5;
constexpr int kAdviceWidthDu = 137;

}  // namespace

ReadingDialog::ReadingDialog(QWidget* parent) : QDialog(parent, Qt::Tool) {
    setWindowTitle(QStringLiteral(" Reading SonicLink Data"));
    setFont(TemplateFont());
    const DialogUnits du(font());
    setFixedSize(du.X(kWidthDu), du.Y(kHeightDu));
    m_watchText = new QLabel(QStringLiteral("Watch"), this);
    m_watchText->setGeometry(du.Rect(5, 5, 120, 8));
    m_stateText = new QLabel(QString::fromLatin1(ReadingStateText(kReadingWaiting)), this);
    m_stateText->setGeometry(du.Rect(5, 20, 120, 8));
    m_progress = new QProgressBar(this);
    m_progress->setGeometry(du.Rect(5, 34, 120, 15));
    m_progress->setTextVisible(false);
    m_progress->setValue(0);
    m_restart = new QPushButton(QStringLiteral("&Restart"), this);
    m_restart->setGeometry(du.Rect(10, 55, 50, 14));
    m_abort = new QPushButton(QStringLiteral("&Abort"), this);
    m_abort->setGeometry(du.Rect(70, 55, 50, 14));
    m_level = new QProgressBar(this);
    m_level->setOrientation(Qt::Vertical);
    m_level->setTextVisible(false);
    m_level->setGeometry(du.Rect(132, 5, 10, 69));
    m_level->setRange(0, kLevelMax);
    m_level->setValue(0);
    m_advice = new QLabel(this);
    m_advice->setWordWrap(true);
    m_advice->hide();
    connect(m_restart, &QPushButton::clicked, this, &ReadingDialog::OnRestart);
    connect(m_abort, &QPushButton::clicked, this, &ReadingDialog::OnCancel);
}

ReadingDialog::~ReadingDialog() { StopCapture(); }

int ReadingDialog::DoModal() {
    OnInitDialog();
    return exec();
}

void ReadingDialog::OnInitDialog() {
    m_watchText->setText(QString::fromLatin1(WatchModelName(m_watchModel)));
    m_level->setRange(0, kLevelMax);
    OnReadState(kReadingWaiting);
    StartCapture();
    // A watch that may not finish by itself: the user closes the reading, which hands over a
    // transfer only if it is complete.
    if (UserEndsReading()) m_abort->setText(QStringLiteral("Close"));
}

void ReadingDialog::StartCapture() {
    if (m_captureStarted || !m_capture) return;
    // A code outside the table is read at the first family's timing; the second receiver takes
    // a transfer of any family.
    m_channel = ReadingChannel::Open(this, this);
    m_capture->Start(FamilyOrFirst(m_watchModel).stream, FamilyStreamFormats(), m_channel);
    m_captureStarted = true;
}

void ReadingDialog::StopCapture() {
    if (m_channel) m_channel->Close();  // nothing more reaches this dialog
    if (!m_captureStarted) return;
    m_capture->Stop();
    m_level->setValue(0);
    m_captureStarted = false;
}

std::optional<LiveTransfer> ReadingDialog::TakeTransfer() {
    if (!m_channel) return std::nullopt;
    return m_channel->TakeTransfer();
}

void ReadingDialog::OnReadState(int state) {
    if (state == m_state) return;
    m_state = state;
    // The advice is about the try that broke; a new one, or waiting anew, starts without it.
    if (state == kReadingWaiting || state == kReadingReceiving) ShowAdvice({});
    if (const char* text = ReadingStateText(state)) {
        m_stateText->setText(QString::fromLatin1(text));
        ++m_stateTextUpdates;
    }
}

void ReadingDialog::OnReadAdvice(const QString& advice) { ShowAdvice(advice); }

void ReadingDialog::ShowAdvice(const QString& advice) {
    const DialogUnits du(font());
    m_advice->setText(advice);
    if (advice.isEmpty()) {
        m_advice->hide();
        setFixedSize(du.X(kWidthDu), du.Y(kHeightDu));
        return;
    }
    const int width = du.X(kAdviceWidthDu);
    const int height = m_advice->heightForWidth(width);
    m_advice->setGeometry(du.X(kAdviceLeftDu), du.Y(kHeightDu), width, height);
    m_advice->show();
    setFixedSize(du.X(kWidthDu), du.Y(kHeightDu) + height + du.Y(5));
}

void ReadingDialog::OnReadProgress(qint64 received, qint64 expected) {
    const qint64 top = std::clamp<qint64>(expected, 0, std::numeric_limits<int>::max());
    m_progress->setRange(0, static_cast<int>(top));
    m_progress->setValue(static_cast<int>(std::clamp<qint64>(received, 0, top)));
}

void ReadingDialog::OnReadLevel(int peak) {
    // A block without samples reports the lowest level there is: the meter shows 0.
    m_level->setValue(qBound(0, peak, kLevelMax));
}

void ReadingDialog::OnCommandOk() { done(QDialog::Accepted); }

void ReadingDialog::OnDeviceError(const QString& text) {
    // Capture has ended with the error: nothing more can arrive, so the reading ends before the
    // user is told why, rather than waiting for data behind the message. Nothing is handed over.
    QWidget* owner = parentWidget();
    done(QDialog::Rejected);
    Prompts().Tell(owner, QMessageBox::Warning, QGuiApplication::applicationDisplayName(), text);
}

void ReadingDialog::OnRestart() {
    if (m_capture) m_capture->Restart();
    m_progress->setValue(0);
    OnReadState(kReadingWaiting);
}

void ReadingDialog::OnCancel() {
    // For the RS200/CS200 the button is "Close": the reading ends with OK, and the bytes are
    // handed over if the transfer was complete.
    done(UserEndsReading() ? QDialog::Accepted : QDialog::Rejected);
}

bool ReadingDialog::UserEndsReading() const {
    const Family* family = FindFamily(m_watchModel);
    return family && family->userEndsReading;
}

void ReadingDialog::reject() { OnCancel(); }

void ReadingDialog::done(int result) {
    StopCapture();
    QDialog::done(result);
}

}  // namespace zendrik
