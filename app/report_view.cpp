#include "app/report_view.h"

#include <QClipboard>
#include <algorithm>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QTextCursor>

#include "app/commands.h"
#include "app/file_dialogs.h"
#include "app/input_file_reading.h"
#include "app/microphone.h"
#include "app/report_edit.h"
#include "app/report_texts.h"
#include "app/settings.h"
#include "app/transfer_picker.h"
#include "app/user_prompts.h"
#include "platform/regional_format.h"
#include "reception/live/capture_thread.h"

namespace zendrik {

namespace {

constexpr int kTabStopDialogUnits = 48;

// A separator setting of 0 (an empty custom field) stands for the default separator.
char SeparatorOrDefault(std::int32_t setting, char fallback) {
    const char c = static_cast<char>(setting & 0xFF);
    return c ? c : fallback;
}

}  // namespace

ReportView::ReportView(Settings& settings, QWidget* parent) : QWidget(parent), m_settings(settings) {
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    // The reception threads run for as long as the view; between readings they sit idle.
    m_capture = std::make_unique<zendrik::CaptureThread>(CurrentCaptureDeviceFactory(), this, [this](const QString& text) {
        Prompts().Tell(window(), QMessageBox::NoIcon, QString::fromLatin1(kProductTitle), text);
    });
}

ReportView::~ReportView() = default;

bool ReportView::OnCreate(const QString& commandLineFile) {
    m_edit = new ReportEdit(this);
    m_edit->setGeometry(0, 0, width(), height());
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The text control takes the focus only when clicked; the view itself holds it otherwise.
    m_edit->setFocusPolicy(Qt::ClickFocus);
    // Files dropped on the text go to the view, which opens them.
    m_edit->setAcceptDrops(false);

    m_font = QFont(QStringLiteral("Verdana"));
    m_font.setPointSizeF(9.6);
    m_edit->setFont(m_font);
    // Tab stops every 48 dialog units; a dialog unit is a quarter of the average character width.
    m_edit->setTabStopDistance(kTabStopDialogUnits * m_edit->fontMetrics().averageCharWidth() / 4.0);
    m_edit->show();

    m_picker = new TransferPicker(this);
    connect(m_picker, &TransferPicker::transferChosen, this, [this](int index) {
        m_data.ShowRecordedTransfer(static_cast<std::size_t>(index));
        ShowReport();
    });
    connect(m_picker, &TransferPicker::saveAllRequested, this, [this] {
        SaveAllDialog(m_data, m_settings.DisplayMode, m_settings.HrmFormat, CsvSeparatorChar(m_settings),
                      static_cast<std::size_t>(m_picker->Chosen()), window());
        ShowReport();
    });

    if (!commandLineFile.isEmpty()) OpenDataFile(commandLineFile);
    return true;
}

void ReportView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
}

void ReportView::LayOut() {
    int top = 0;
    if (m_picker && !m_picker->isHidden()) {
        top = std::min(m_picker->PreferredHeight(), height() / 2);
        m_picker->setGeometry(0, 0, width(), top);
    }
    if (m_edit) m_edit->setGeometry(0, top, width(), height() - top);
}

void ReportView::ShowTransferList() {
    if (!m_picker) return;
    m_picker->Fill(m_data);
    LayOut();
}

bool ReportView::event(QEvent* event) {
    if (event->type() == kUpdateDisplayEvent) {
        ShowReport();
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void ReportView::ShowReport() {
    std::string csv;
    const std::string* text = &HrmTextFor(m_data, m_settings.HrmFormat);
    if (m_settings.DisplayMode == kDisplayCsv) {
        UpdateValueFormat();
        // Fields stay TAB-separated on screen; one holding a double quote is quoted, as in a
        // saved file, so a copied table reads the same.
        csv = CsvTextFor(m_data, '\t');
        text = &csv;
    }
    // A decoder that found nothing to write (a transfer of another watch family, no stream
    // head) would leave the window blank: say instead what was received.
    std::string explanation;
    if (text->empty() && !m_data.Valid() && m_data.DecodedTransfer().model != 0) {
        explanation = WrappedSentence(m_data.ExplainInvalid());
        text = &explanation;
    }
    // A recording that did not decode: what to do about it first, in the command line's words,
    // then the error lines. The reception report is that of the input shown (a dump has none).
    const std::string advice = m_data.Valid() ? std::string() : zendrik::ReceptionAdvice(m_data.Reception());
    if (!advice.empty()) {
        std::string hinted = WrappedSentence(advice) + "\r\n";
        if (!text->empty()) hinted += "\r\n" + *text;
        explanation = std::move(hinted);
        text = &explanation;
    }
    if (m_edit) m_edit->setPlainText(QString::fromLatin1(text->data(), static_cast<qsizetype>(text->size())));
    emit reportShown();
    TellIfOutOfMemory();
}

void ReportView::TellIfOutOfMemory() {
    // Rendering the report anew (another value format) or decoding a reading can run out of
    // memory; the report is then empty, and the user learns why.
    if (m_data.ReadError() != kOutOfMemoryReason) return;
    m_data.ForgetReadError();
    Prompts().Tell(window(), QMessageBox::Warning, QString::fromLatin1(kProductTitle),
                       QStringLiteral("The report cannot be shown: %1.").arg(QString::fromLatin1(kOutOfMemoryReason)));
}

void ReportView::UpdateValueFormat() {
    const std::uint8_t noTenths = m_settings.Disable10thSeconds != 0 ? 1 : 0;
    char decimal = '.';
    char time = ':';
    char date = '.';
    if (m_settings.ValueFormat == kCustomSeparators) {
        decimal = SeparatorOrDefault(m_settings.DecimalSeparator, '.');
        time = SeparatorOrDefault(m_settings.TimeSeparator, ':');
        date = SeparatorOrDefault(m_settings.DateSeparator, '.');
    } else if (m_settings.ValueFormat == kRegionalSettings) {
        const RegionalSeparators regional = SystemSeparators();
        decimal = regional.decimal;
        time = regional.time;
        date = regional.date;
    }
    m_data.SetValueFormat(MakeValueFormat(noTenths != 0, decimal, time, date));
}

void ReportView::SetModified(bool modified) {
    if (modified == m_data.Modified()) return;
    m_data.SetModified(modified);
    emit modifiedChanged();  // the window's title follows
}

bool ReportView::SaveModified() {
    if (!m_data.Modified()) return true;
    const QMessageBox::StandardButton answer = Prompts().Ask(
        this, QString::fromLatin1(kProductTitle),
        QStringLiteral("Current Data not saved!\nDo you want to save the current data?"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    switch (answer) {
        case QMessageBox::Yes:
            OnFileSave();
            return !m_data.Modified();
        case QMessageBox::No:
            // The reading stays marked until something replaces it: a reading the user then
            // aborts, or an open dialog cancelled, leaves it as unsaved as it was.
            return true;
        default:
            return false;
    }
}

int ReportView::OpenDataFile(const QString& path) {
    if (path.isEmpty()) return 0;
    // Whichever way a file arrives (drop, command line), it is decoded as Open would decode it.
    m_data.SetWatchModel(m_settings.WatchModel);
    if (!ReadInputFile(m_data, path, zendrik::InputKind::Unknown, window())) {
        emit reportShown();  // the report on screen stays; whether it may be saved can change
        return 0;
    }
    m_inputFile = path;
    m_data.SetPath(LocalPath(path));  // what the title and the recent files name
    ShowFileRead();
    return 1;
}

void ReportView::ShowFileRead() {
    // What was on screen is gone, and a file can be read again: nothing is unsaved.
    SetModified(false);
    ShowTransferList();
    ShowReport();
}

void ReportView::OnFileOpen() {
    if (!SaveModified()) return;
    m_data.SetWatchModel(m_settings.WatchModel);
    if (!OpenFileDialog(m_data, window())) return;  // the report on screen stays
    m_inputFile = QFile::decodeName(m_data.Path().c_str());
    ShowFileRead();
}

void ReportView::OnFileSave() {
    // A FIT or TCX file keeps the exercise but not the received bytes, earlier exercises or the
    // watch's own values: a reading exported that way is still unsaved.
    if (SaveFileDialog(m_data, m_settings.DisplayMode, m_settings.HrmFormat,
                       CsvSeparatorChar(m_settings), m_inputFile, window()) == kReportSaved) {
        SetModified(false);
    }
}

void ReportView::OnReadMicrophone() {
    if (!SaveModified()) return;
    m_data.SetWatchModel(m_settings.WatchModel);
    if (ReadFromMicrophone(m_data, m_capture.get(), window()) == 1) {
        m_inputFile.clear();
        SetModified(true);
    }
    ShowTransferList();
    ShowReport();
}

void ReportView::OnEditCopy() {
    if (!m_edit) return;
    const QTextCursor saved = m_edit->textCursor();
    // Right after a report is shown the caret stands at the very start: copy the whole text.
    if (saved.selectionStart() == 0 && saved.selectionEnd() == 0) {
        m_edit->selectAll();
        m_edit->copy();
        m_edit->setTextCursor(saved);
        return;
    }
    m_edit->copy();  // the selection; nothing when there is none
}

void ReportView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void ReportView::dropEvent(QDropEvent* event) {
    OnDropFiles(event->mimeData()->urls());
    event->acceptProposedAction();
}

void ReportView::OnDropFiles(const QList<QUrl>& urls) {
    // Only a drop of exactly one file opens it; an unsaved reading is asked about first, as
    // for every other way of opening a file.
    if (urls.size() != 1 || !urls.first().isLocalFile()) return;
    if (!SaveModified()) return;
    OpenDataFile(urls.first().toLocalFile());
}

}  // namespace zendrik
