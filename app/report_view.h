// The main view: shows one report text as the settings choose, owns the reception object, and
// serves the working commands (open, microphone, save, copy, dropped files).
#pragma once

#include <QFont>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "document/document.h"

namespace zendrik {

class CaptureThread;
class ReportEdit;
class TransferPicker;
struct Settings;

class ReportView : public QWidget {
    Q_OBJECT
public:
    ReportView(Settings& settings, QWidget* parent);
    ~ReportView() override;

    // Creates the text control and opens the file named on the command line, if any.
    bool OnCreate(const QString& commandLineFile);

    // Puts the text the settings select into the text control.
    void ShowReport();
    // Works out the CSV value separators and hands them to the reception object.
    void UpdateValueFormat();
    // Sets the unsaved-data mark and the window title.
    void SetModified(bool modified);
    // Asks about unsaved microphone data; true when the caller may go on and replace it. The
    // mark stays until something does.
    bool SaveModified();
    // Opens a recording or a dump, the type following the file, decoded with the watch model of
    // the settings; 1 when one was read and decoded. A file that cannot be read leaves the
    // report as it was and says why.
    int OpenDataFile(const QString& path);

    void OnFileOpen();
    void OnFileSave();
    void OnReadMicrophone();
    void OnEditCopy();

    bool IsModified() const { return m_data.Modified(); }
    Document& Data() { return m_data; }
    ReportEdit* Edit() const { return m_edit; }
    TransferPicker* Picker() const { return m_picker; }

signals:
    // The report or its valid flag may have changed (the save command's state follows it).
    void reportShown();
    // The unsaved-data mark went on or off.
    void modifiedChanged();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void OnDropFiles(const QList<QUrl>& urls);
    // The transfer list (when a recording holds several) above the text control, which fills
    // the rest.
    void LayOut();
    // Lists the transfers of what was just read, or hides the list.
    void ShowTransferList();
    // Shows a file just read in place of what was shown.
    void ShowFileRead();
    void TellIfOutOfMemory();

    Settings& m_settings;
    ReportEdit* m_edit = nullptr;
    TransferPicker* m_picker = nullptr;
    QFont m_font;
    // The file the shown report was read from; saving over it asks first. Empty after a reading
    // from the microphone.
    QString m_inputFile;
    Document m_data;
    // Declared after the data, so it goes first: the capture thread stops before the data it
    // hands over to is gone.
    std::unique_ptr<zendrik::CaptureThread> m_capture;
};

}  // namespace zendrik
