// The desktop program's window, start-up, settings and commands, driven headless.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <csignal>
#include <fstream>
#if __has_include(<sys/resource.h>)
#include <sys/resource.h>
#endif
#include <QMainWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QPushButton>

#include "app/commands.h"
#include "app/main_frame.h"
#include "app/report_edit.h"
#include "app/report_view.h"
#include "app/user_prompts.h"
#include "support/open_document.h"
#include "app/settings.h"
#include "app/transfer_picker.h"
#include "app/zendrik_app.h"
#include "allocation_counter.h"
#include "gui_test_registry.h"
#include "reception/modulator.h"
#include "reception/wave_writer.h"
#include "scripted_prompts.h"
#include "support/run_process.h"
#include "support/s410_stream_builder.h"
#include "support/wave_file_maker.h"
#include "window_grab.h"

using namespace zendrik;

using namespace testing_streams;

namespace {

ZendrikApp& App() { return *static_cast<ZendrikApp*>(QCoreApplication::instance()); }

S410Values Ride(int hrBase = 120) {
    S410Values v;
    v.s510 = true;
    v.flags = 0x35;
    for (int i = 0; i < 30; ++i) {
        v.hr.push_back(hrBase + i);
        v.speed.push_back(50);
        v.cadence.push_back(88);
    }
    v.laps = {{{0, 10, 0, 5}, 140, 130, 150, 30}};
    v.earlier.resize(5);
    return v;
}

QString Dump(const std::string& name, int hrBase = 120) {
    return QString::fromStdString(WriteDump(BuildS410Stream(Ride(hrBase)).bytes, name));
}

QString Recording(const std::string& name) {
    const Stream stream = BuildS410Stream(Ride());
    const std::string path = TempPath(name);
    std::ofstream file(path, std::ios::binary);
    WriteWaveStream(file, ModulateBytes(stream.bytes, ModulatorSettings{}), 44100);
    return QString::fromStdString(path);
}

// The HRM report of a dump as the reception object renders it.
std::string DecodedHrm(const QString& dump) {
    Document data;
    testing_streams::OpenInto(data, dump.toStdString());
    return data.Hrm();
}

QString Shown(ReportView* view) { return view->Edit()->toPlainText(); }

// The fields of each line of a CSV text as a reader following RFC 4180 sees them.
std::vector<std::vector<std::string>> CsvFields(const std::string& text, char separator) {
    std::vector<std::vector<std::string>> lines(1);
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"' && field.empty()) {
            quoted = true;
        } else if (c == separator || c == '\n') {
            lines.back().push_back(field);
            field.clear();
            if (c == '\n') lines.emplace_back();
        } else if (c != '\r') {
            field += c;
        }
    }
    return lines;
}
QString AsShown(const std::string& text) {
    return QString::fromLatin1(text.c_str()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

void SendUpdateDisplay(QWidget* frame) {
    for (QWidget* child : frame->findChildren<QWidget*>()) {
        QEvent event(kUpdateDisplayEvent);
        QCoreApplication::sendEvent(child, &event);
    }
}

// Waits for the next modal box, closes it and says what it was ("" when none came).
QString CloseNextModal(int waitMs = 5000) {
    QString title;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            title = modal->windowTitle();
            modal->close();
        }
    });
    poll.start(10);
    (void)QTest::qWaitFor([&] { return !title.isEmpty(); }, waitMs);
    return title;
}

void ClearStoredSettings() {
    QSettings store(QStringLiteral("qlx"), QStringLiteral("Zendrik"));
    store.clear();
    store.sync();
}

struct Frame {
    Settings settings;
    MainFrame frame{settings};
    explicit Frame(const QString& file = {}) { frame.Create(file); }
    ReportView* View() { return frame.View(); }
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void windowHasToolbarOnlyAndTheReportFont() {
        Frame f;
        QCOMPARE(f.frame.size(), FirstRunWindowSize(f.frame.screen()->availableGeometry().size()));
        QCOMPARE(f.frame.windowTitle(), QStringLiteral("Zendrik"));
        QVERIFY(f.frame.menuWidget() == nullptr);
        QVERIFY(f.frame.findChild<QStatusBar*>() == nullptr);
        QStringList tips;
        for (QAction* a : f.frame.ToolBar()->actions()) tips << (a->isSeparator() ? "|" : a->toolTip());
        QCOMPARE(tips, (QStringList{"Open Wave File (Ctrl+O)", "Microphone Input (Ctrl+I)", "|",
                                    "Save HRM File (Ctrl+S)", "|", "Properties (Alt+Enter)", "|", "About"}));
        QCOMPARE(f.frame.Action(ID_FILE_OPEN)->shortcut(), QKeySequence("Ctrl+O"));
        QCOMPARE(f.frame.Action(ID_READ_MICROPHONE)->shortcut(), QKeySequence("Ctrl+I"));
        QCOMPARE(f.frame.Action(ID_PROPERTIES)->shortcut(), QKeySequence("Alt+Return"));
        QCOMPARE(f.frame.Action(ID_EDIT_COPY)->shortcuts(),
                 (QList<QKeySequence>{QKeySequence("Ctrl+C"), QKeySequence("Ctrl+Ins")}));
        QPlainTextEdit* edit = f.View()->Edit();
        QCOMPARE(edit->font().family(), QStringLiteral("Verdana"));
        QCOMPARE(edit->font().pointSizeF(), 9.6);
        QCOMPARE(edit->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(f.View()->Edit()->LeftMargin(), 3);
        QVERIFY(!edit->isReadOnly());
        // Nothing open yet: an empty report that cannot be saved.
        QVERIFY(Shown(f.View()).isEmpty());
        QVERIFY(!f.frame.Action(ID_FILE_SAVE)->isEnabled());
    }

    void startupShowsTheCommandLineFileWithTheStoredSettingsThenAbout() {
        ClearStoredSettings();
        {
            QSettings store(QStringLiteral("qlx"), QStringLiteral("Zendrik"));
            store.setValue("Settings/DisplayMode", 1);  // stored: show CSV
        }
        const QString dump = Dump("startup.sld");
        App().m_settings = Settings{};
        QVERIFY(App().InitInstance({"zendrik", dump}));
        MainFrame* frame = App().MainWindow();
        QVERIFY(frame->isVisible());
        const QString atStart = Shown(frame->View());
        // The About box opens by itself once the loop runs, over the shown window.
        QCOMPARE(CloseNextModal(), QStringLiteral("About Zendrik"));
        // The same report as Open shows for the file: the stored CSV display.
        ScriptedPrompts prompts;
        prompts.openAnswers.push_back(FileChoice{dump, 1});
        frame->Action(ID_FILE_OPEN)->trigger();
        QCOMPARE(atStart, Shown(frame->View()));
        QVERIFY(atStart.startsWith("[Params]\nVersion\t106"));
        QVERIFY(frame->Action(ID_FILE_SAVE)->isEnabled());
        App().ExitInstance(0);
    }

    void settingsPersistAllTenValuesAndLoadOutOfRangeValuesUnchanged() {
        ClearStoredSettings();
        App().m_settings = Settings{};
        App().LoadSettings();
        const Settings defaults;
        QCOMPARE(App().m_settings.ValueFormat, 1);
        QCOMPARE(App().m_settings.DecimalSeparator, 46);
        QCOMPARE(App().m_settings.TimeSeparator, 58);
        App().SaveSettings();
        QSettings store(QStringLiteral("qlx"), QStringLiteral("Zendrik"));
        store.beginGroup("Settings");
        QCOMPARE(store.childKeys().size(), 10);
        QCOMPARE(store.value("DateSeparator").toInt(), 46);
        store.setValue("DisplayMode", 5);
        store.setValue("ValueFormat", 7);
        store.setValue("WatchModel", "not a number");
        store.endGroup();
        store.sync();
        App().LoadSettings();
        QCOMPARE(App().m_settings.DisplayMode, 5);
        QCOMPARE(App().m_settings.ValueFormat, 7);
        QCOMPARE(App().m_settings.WatchModel, defaults.WatchModel);

        // DisplayMode 5 shows HRM; ValueFormat 7 renders CSV with '.', ':', '.'.
        Frame f(Dump("range.sld"));
        f.settings.DisplayMode = 5;
        f.View()->ShowReport();
        QCOMPARE(Shown(f.View()), AsShown(f.View()->Data().Hrm()));
        f.settings.DisplayMode = 1;
        f.settings.ValueFormat = 7;
        f.View()->ShowReport();
        QVERIFY(Shown(f.View()).contains("StartTime\t07:30:15.0"));
    }

    void startupEndsWhenTheWindowCannotBeCreated() {
        ClearStoredSettings();
        Q_CLEANUP_RESOURCE(zendrik);  // the toolbar images are gone
        const bool started = App().InitInstance({"zendrik"});
        Q_INIT_RESOURCE(zendrik);
        QVERIFY(!started);
        QTest::qWait(50);
        QVERIFY(QApplication::activeModalWidget() == nullptr);  // no About box
        QSettings store(QStringLiteral("qlx"), QStringLiteral("Zendrik"));
        QVERIFY(store.childGroups().isEmpty());  // nothing written
    }

    void dropOpensExactlyOneFileWhateverTheExtensionsCase() {
        Frame f;
        ScriptedPrompts prompts;
        f.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.frame));
        auto drop = [&](const QList<QUrl>& urls) {
            QMimeData mime;
            mime.setUrls(urls);
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(f.View(), &enter);
            QDropEvent event(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(f.View(), &event);
        };
        const QString wav = Recording("upper.WAV");
        drop({QUrl::fromLocalFile(Dump("a.sld")), QUrl::fromLocalFile(wav)});
        QVERIFY(Shown(f.View()).isEmpty());
        // Over an unsaved reading a drop asks first, as every other way of opening a file does.
        f.View()->SetModified(true);
        prompts.answers = {QMessageBox::Cancel, QMessageBox::No};
        drop({QUrl::fromLocalFile(wav)});
        QVERIFY(Shown(f.View()).isEmpty());
        QVERIFY(f.View()->IsModified());
        drop({QUrl::fromLocalFile(wav)});
        QCOMPARE(prompts.questions.size(), std::size_t{2});
        QVERIFY(!f.View()->IsModified());
        QVERIFY(Shown(f.View()).startsWith("[Params]\nVersion=106\nMonitor=10"));
        // A dump named as a recording is read as one, and refused with the reason.
        const QString before = Shown(f.View());
        drop({QUrl::fromLocalFile(Dump("other.wave"))});
        QCOMPARE(Shown(f.View()), before);
        QCOMPARE(prompts.messages.size(), std::size_t{1});
        QVERIFY(prompts.messages.at(0).endsWith("other.wave:\nNot a RIFF WAVE file."));
    }

    void openDialogReadsTheFileAsWhatItIs() {
        Frame f;
        ScriptedPrompts prompts;
        f.settings.WatchModel = 3;
        const QString dump = Dump("open.sld");
        prompts.openAnswers.push_back(FileChoice{dump, 1});
        f.frame.Action(ID_FILE_OPEN)->trigger();
        // The dialog opens on every file the program reads, dumps and recordings alike; then
        // the dumps, the WAV files, every recording, and every file.
        const QStringList filters = prompts.openRequests.at(0).filters;
        QCOMPARE(filters.size(), 5);
        QVERIFY(filters.at(0).startsWith("All supported files (*.sld *.wav "));
        QCOMPARE(filters.mid(1, 2), (QStringList{"SonicLink Dump Files (*.sld)", "Wave Files (*.wav)"}));
        for (const char* pattern : {" *.flac ", " *.ogg ", " *.opus ", " *.mp3", " *.m4a", " *.amr"}) {
            QVERIFY2(filters.at(0).contains(QLatin1String(pattern)) && filters.at(3).contains(QLatin1String(pattern)),
                     pattern);
        }
        QCOMPARE(filters.at(4), QStringLiteral("All files (*)"));
        QCOMPARE(prompts.openRequests.at(0).selectedFilter, 1);
        QCOMPARE(prompts.openRequests.at(0).defaultSuffix, QStringLiteral("sld"));
        QCOMPARE(Shown(f.View()), AsShown(DecodedHrm(dump)));
        QCOMPARE(f.View()->Data().Settings().watchModel, 3);  // copied from the settings

        // The type follows the file, whatever entry is selected: a recording picked under the
        // dump entry, by its extension or its RIFF signature.
        for (const char* name : {"typed.wav", "open.bin"}) {
            f.View()->Data().DecodeBytes({});
            prompts.openAnswers.push_back(FileChoice{Recording(name), 2});
            f.frame.Action(ID_FILE_OPEN)->trigger();
            QVERIFY2(Shown(f.View()).startsWith("[Params]\nVersion=106\nMonitor=10"), name);
            QCOMPARE(f.View()->Data().Bytes().GetSize(), BuildS410Stream(Ride()).bytes.size());
        }
        QVERIFY(prompts.messages.empty());

        // A recording that cannot be read leaves the report as it was; stale samples are not
        // decoded again.
        f.View()->Data().DecodeBytes({});
        const QString shown = Shown(f.View());
        prompts.openAnswers.push_back(FileChoice{Dump("not-a-recording.wav"), 3});
        f.frame.Action(ID_FILE_OPEN)->trigger();
        QCOMPARE(Shown(f.View()), shown);
        QCOMPARE(f.View()->Data().Bytes().GetSize(), 0);
        QCOMPARE(prompts.messages.size(), std::size_t{1});

        // A transfer the chosen watch model cannot decode leaves no blank window behind.
        f.settings.WatchModel = 4;
        prompts.openAnswers.push_back(FileChoice{Recording("other-family.wav"), 1});
        f.frame.Action(ID_FILE_OPEN)->trigger();
        // Broken into lines that fit the window, which does not wrap.
        QCOMPARE(Shown(f.View()).simplified(),
                 QStringLiteral("The recording holds an S410/S510 transfer; the watch model setting is RS200/CS200."));
        for (const QString& line : Shown(f.View()).split(QLatin1Char('\n'))) QVERIFY(line.size() <= 52);
        QVERIFY(!f.frame.Action(ID_FILE_SAVE)->isEnabled());
    }

    // A recording that does not decode shows, above its error lines, what to do about it, in
    // the command line's words; a dump read after it shows its own error lines only.
    void aRecordingThatDoesNotDecodeShowsTheReceptionHint() {
        Frame f;
        ScriptedPrompts prompts;
        Stream broken = BuildS410Stream(Ride());
        broken.bytes[DataAt(broken, 0, 5)] ^= 0x08;
        const std::string path = TempPath("broken.wav");
        {
            std::ofstream file(path, std::ios::binary);
            WriteWaveStream(file, ModulateBytes(broken.bytes, ModulatorSettings{}), 44100);
        }
        Document alone;
        testing_streams::OpenInto(alone, path);
        const std::string advice = zendrik::ReceptionAdvice(alone.Reception());
        QVERIFY(advice.find("blocks fail their check") != std::string::npos);
        QCOMPARE(f.View()->OpenDataFile(QString::fromStdString(path)), 1);
        QVERIFY(Shown(f.View()).endsWith(AsShown(alone.Hrm())));
        QCOMPARE(Shown(f.View()).simplified(), AsShown(advice + " " + alone.Hrm()).simplified());

        const QString dump = QString::fromStdString(WriteDump(broken.bytes, "broken.sld"));
        QCOMPARE(f.View()->OpenDataFile(dump), 1);
        QCOMPARE(Shown(f.View()), AsShown(DecodedHrm(dump)));
        QVERIFY(!Shown(f.View()).simplified().contains(QString::fromStdString(advice)));
        QVERIFY(prompts.messages.empty());
    }

    void filesThatCannotBeReadLeaveTheReportAndSayWhy() {
        const std::string folder = TempPath("a-folder.sld");
        QDir().mkpath(QString::fromStdString(folder));
        // A format tag that neither the WAV reader nor libsndfile knows.
        testing_wave::FormatFields unknown;
        unknown.formatTag = 0x1234;
        const std::string wide24 = testing_wave::WriteWaveBytes(
            testing_wave::WaveFileMaker().Format(unknown).Data(std::vector<std::uint8_t>(300, 0)).Bytes(),
            "unknown.wav");
        struct Case {
            QString path;
            const char* reason;
        };
        const Case cases[] = {
            {QString::fromStdString(TempPath("gone.sld")), "not found"},
            {QString::fromStdString(folder), "it is a folder, not a file"},
            {QString::fromStdString(wide24), "not a PCM WAV: 16-bit, format tag 4660"},
            {QString::fromStdString(WriteDump({}, "empty.sld")), "the dump holds no bytes"},
            {QString::fromStdString(WriteDump({0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x42, 0x42}, "nameless.sld")),
             "the stream head names no known watch model"},
            // As zendrik-cli says it.
            {Dump("notes.txt"), "not a recording (.wav, .wave, .flac, .ogg, .oga, .opus, .mp3, .m4a, "
                                ".mp4, .aac, .3gp, .amr, .webm, .caf) or a dump (.sld)"},
        };
        const QString shownDump = Dump("shown.sld");
        for (const Case& c : cases) {
            // By name (a drop, the command line), and through the open dialog.
            for (bool dialog : {false, true}) {
                Frame f(shownDump);
                ScriptedPrompts prompts;
                const QString before = Shown(f.View());
                const std::string bytesBefore = f.View()->Data().DumpText();
                if (dialog) {
                    prompts.openAnswers.push_back(FileChoice{c.path, 0});  // no entry: the file decides
                    f.frame.Action(ID_FILE_OPEN)->trigger();
                } else {
                    QCOMPARE(f.View()->OpenDataFile(c.path), 0);
                }
                QVERIFY2(prompts.messages.size() == 1, c.reason);
                QVERIFY2(prompts.messages.at(0).startsWith("Zendrik|Cannot read " + c.path + ":\n" + c.reason,
                                                           Qt::CaseInsensitive),
                         qPrintable(prompts.messages.at(0)));
                // Nothing of the earlier report is lost: the text, its bytes, Save.
                QCOMPARE(Shown(f.View()), before);
                QCOMPARE(f.View()->Data().DumpText(), bytesBefore);
                QVERIFY(f.frame.Action(ID_FILE_SAVE)->isEnabled());
            }
        }
    }

    void savingOverTheFileTheReportWasReadFromAsksFirst() {
        const QString recording = Recording("kept.wav");
        const std::string original = ReadFile(recording.toStdString());
        const QString link = QString::fromStdString(TempPath("kept-link.wav"));
        QFile::remove(link);
        QVERIFY(QFile::link(recording, link));
        Frame f(recording);
        ScriptedPrompts prompts;
        // The same file, by its name or through a link: asked, No by default, and No writes nothing.
        for (const QString& target : {recording, link}) {
            prompts.answers = {QMessageBox::No};
            prompts.saveAnswers.push_back(FileChoice{target, 1});
            f.frame.Action(ID_FILE_SAVE)->trigger();
            QCOMPARE(prompts.defaults.back(), QMessageBox::No);
            QVERIFY(prompts.questions.back().contains("the recording or dump this report was read from"));
            QCOMPARE(ReadFile(recording.toStdString()), original);
        }
        // Another file is not asked about; Yes replaces the recording.
        prompts.saveAnswers.push_back(FileChoice{QString::fromStdString(TempPath("kept.hrm")), 1});
        f.frame.Action(ID_FILE_SAVE)->trigger();
        QCOMPARE(prompts.questions.size(), std::size_t{2});
        prompts.answers = {QMessageBox::Yes};
        prompts.saveAnswers.push_back(FileChoice{recording, 1});
        f.frame.Action(ID_FILE_SAVE)->trigger();
        QCOMPARE(ReadFile(recording.toStdString()), f.View()->Data().Hrm());
    }

    void runningOutOfMemoryWhileReadingIsToldAndTheProgramGoesOn() {
        Frame f(Dump("before-memory.sld"));
        ScriptedPrompts prompts;
        const QString before = Shown(f.View());
        const QString recording = Recording("memory.wav");
        {
            // The exact receiver's blocks of samples do not fit (it reads the recording a block
            // at a time); nothing the window itself needs is that large.
            AllocationLimit limit(4 * 1024);
            QCOMPARE(f.View()->OpenDataFile(recording), 0);
        }
        QCOMPARE(prompts.messages.size(), std::size_t{1});
        QVERIFY(prompts.messages.at(0).endsWith(":\nNot enough memory to decode it."));
        QCOMPARE(Shown(f.View()), before);
        QCOMPARE(f.View()->OpenDataFile(recording), 1);
    }

    void waveFilterListsRecordingsWhateverTheCaseOfTheirExtension() {
        const QString dir = QString::fromStdString(TempPath("filter-case"));
        QDir().mkpath(dir);
        for (const char* name : {"lower.wav", "upper.WAV", "mixed.Wav", "dump.sld"}) {
            QFile file(dir + "/" + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QFileDialog dialog;
        ConfigureFileDialog(dialog, FileRequest{{"SonicLink Dump Files (*.sld)", "Wave Files (*.wav)"}, 2, "sld", {}});
        dialog.setDirectory(dir);
        auto* view = dialog.findChild<QListView*>("listView");
        QVERIFY(view);
        QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), 3);
    }

    void saveWritesTheChosenTypeByteForByte() {
        Frame f(Dump("save.sld"));
        ScriptedPrompts prompts;
        Document& data = f.View()->Data();
        const QString hrm = QString::fromStdString(TempPath("saved.hrm"));
        prompts.saveAnswers.push_back(FileChoice{hrm, 1});
        f.frame.Action(ID_FILE_SAVE)->trigger();
        QCOMPARE(prompts.saveRequests.at(0).selectedFilter, 1);
        QCOMPARE(prompts.saveRequests.at(0).defaultSuffix, QStringLiteral("hrm"));
        QCOMPARE(prompts.saveRequests.at(0).proposedName, QStringLiteral("20060305.hrm"));
        QCOMPARE(ReadFile(hrm.toStdString()), data.Hrm());
        // A name typed with a known extension is that kind of file, whatever entry is selected.
        const QString typed = QString::fromStdString(TempPath("typed.CSV"));
        prompts.saveAnswers.push_back(FileChoice{typed, 1});
        f.frame.Action(ID_FILE_SAVE)->trigger();
        QCOMPARE(CsvFields(ReadFile(typed.toStdString()), ';'), CsvFields(data.Csv(), '\t'));

        // CSV: every separator choice gives the report's fields to a CSV reader, also the note
        // whose text holds commas.
        f.settings.DisplayMode = 1;
        for (int separator : {0, 1, 2}) {
            f.settings.CsvSeparator = separator;
            const QString csv = QString::fromStdString(TempPath("saved2.csv"));
            prompts.saveAnswers.push_back(FileChoice{csv, 2});
            f.frame.Action(ID_FILE_SAVE)->trigger();
            QCOMPARE(prompts.saveRequests.back().selectedFilter, 2);
            QCOMPARE(prompts.saveRequests.back().defaultSuffix, QStringLiteral("csv"));
            QCOMPARE(CsvFields(ReadFile(csv.toStdString()), CsvSeparatorChar(f.settings)),
                     CsvFields(data.Csv(), '\t'));
        }
        QVERIFY(data.Csv().find(", version") != std::string::npos);  // a field with a comma

        const QString dump = QString::fromStdString(TempPath("saved3.sld"));
        prompts.saveAnswers.push_back(FileChoice{dump, 3});
        f.frame.Action(ID_FILE_SAVE)->trigger();
        QCOMPARE(ReadFile(dump.toStdString()).size(), static_cast<std::size_t>(4 * data.Bytes().GetSize()));

        const QString nowhere = QString::fromStdString(TempPath("no-such-folder/x.hrm"));
        prompts.saveAnswers.push_back(FileChoice{nowhere, 1});
        f.frame.Action(ID_FILE_SAVE)->trigger();
        QCOMPARE(prompts.messages.size(), std::size_t{1});
        QVERIFY(prompts.messages.at(0).contains(QStringLiteral(" opening file:\n") + nowhere));
        QVERIFY(prompts.messages.at(0).startsWith(QStringLiteral("Zendrik|Error (")));

#ifdef RLIMIT_FSIZE
        // A write the file system cuts short is a failure, and no shorter file is put in place.
        const QString cut = QString::fromStdString(TempPath("cut-short.hrm"));
        QFile::remove(cut);
        f.View()->SetModified(true);
        prompts.saveAnswers.push_back(FileChoice{cut, 1});
        {
            const auto previous = std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{};
            getrlimit(RLIMIT_FSIZE, &limit);
            const rlimit small{512, limit.rlim_max};
            setrlimit(RLIMIT_FSIZE, &small);
            f.frame.Action(ID_FILE_SAVE)->trigger();
            setrlimit(RLIMIT_FSIZE, &limit);
            std::signal(SIGXFSZ, previous);
        }
        QCOMPARE(prompts.messages.size(), std::size_t{2});
        QVERIFY(prompts.messages.at(1).contains(QStringLiteral(" writing file:\n") + cut));
        QVERIFY(!QFile::exists(cut));
        QVERIFY(f.View()->IsModified());
#endif
    }

    void updateDisplayMessageSwitchesBetweenTheTexts() {
        Frame f(Dump("switch.sld"));
        f.settings.DisplayMode = 1;
        SendUpdateDisplay(&f.frame);
        QCOMPARE(Shown(f.View()), AsShown(f.View()->Data().Csv()));
        // The S410/S510 has no Polar Compatible form: its Enhanced text is shown and saved.
        f.settings.DisplayMode = 0;
        f.settings.HrmFormat = 1;
        SendUpdateDisplay(&f.frame);
        QCOMPARE(Shown(f.View()), AsShown(f.View()->Data().Hrm()));
        ScriptedPrompts prompts;
        const QString saved = QString::fromStdString(TempPath("compatible.hrm"));
        prompts.saveAnswers.push_back(FileChoice{saved, 1});
        f.frame.Action(ID_FILE_SAVE)->trigger();
        QCOMPARE(ReadFile(saved.toStdString()), f.View()->Data().Hrm());
        // Custom separators, and an empty field standing for the default one.
        f.settings.DisplayMode = 1;
        f.settings.ValueFormat = 2;
        f.settings.DecimalSeparator = ',';
        f.settings.TimeSeparator = 0;
        f.settings.DateSeparator = '/';
        SendUpdateDisplay(&f.frame);
        QVERIFY(Shown(f.View()).contains("Calories\t654,3\n"));
        QVERIFY(Shown(f.View()).contains("StartTime\t07:30:15,0\n"));
        QVERIFY(Shown(f.View()).contains("Date\t05/03/2006\n"));
    }

    void unsavedMicrophoneDataIsGuarded() {
        Frame f(Dump("guard.sld"));
        ScriptedPrompts prompts;
        f.View()->SetModified(true);
        // Ending in the program's name, so that the window system does not add it again.
        QCOMPARE(f.frame.windowTitle(), QStringLiteral("microphone 2006-03-05 * — Zendrik"));

        prompts.answers = {QMessageBox::Cancel};
        f.frame.Action(ID_FILE_OPEN)->trigger();
        QCOMPARE(prompts.questions.at(0),
                 QStringLiteral("Zendrik|Current Data not saved!\nDo you want to save the current data?"));
        QVERIFY(prompts.openRequests.empty());
        QVERIFY(f.View()->IsModified());

        // Yes runs the save; cancelling it stops the command.
        prompts.answers = {QMessageBox::Yes};
        f.frame.Action(ID_READ_MICROPHONE)->trigger();
        QCOMPARE(prompts.saveRequests.size(), std::size_t{1});
        QVERIFY(f.View()->IsModified());

        // Yes with a written file goes on.
        prompts.answers = {QMessageBox::Yes};
        prompts.saveAnswers.push_back(FileChoice{QString::fromStdString(TempPath("guard.hrm")), 1});
        f.frame.Action(ID_FILE_OPEN)->trigger();
        QVERIFY(!f.View()->IsModified());
        QCOMPARE(f.frame.windowTitle(), QStringLiteral("guard.hrm — Zendrik"));
        QCOMPARE(prompts.openRequests.size(), std::size_t{1});

        // No goes on; the mark stays until a file replaces the reading: not when the open
        // dialog is cancelled, but when a file is read.
        f.View()->SetModified(true);
        prompts.answers = {QMessageBox::No};
        f.frame.Action(ID_FILE_OPEN)->trigger();
        QVERIFY(f.View()->IsModified());
        QCOMPARE(prompts.openRequests.size(), std::size_t{2});
        prompts.answers = {QMessageBox::No};
        prompts.openAnswers.push_back(FileChoice{Dump("guard2.sld"), 1});
        f.frame.Action(ID_FILE_OPEN)->trigger();
        QVERIFY(!f.View()->IsModified());
        QCOMPARE(f.frame.windowTitle(), QStringLiteral("guard2.sld — Zendrik"));
        f.frame.show();
        f.View()->SetModified(true);
        prompts.answers = {QMessageBox::Cancel};
        QVERIFY(!f.frame.close());
        QVERIFY(f.frame.isVisible());
        prompts.answers = {QMessageBox::No};
        QVERIFY(f.frame.close());
    }

    void copyTakesTheWholeReportOnlyRightAfterItIsShown() {
        Frame f(Dump("copy.sld"));
        QClipboard* clipboard = QApplication::clipboard();
        ReportView* view = f.View();
        view->OnEditCopy();
        QCOMPARE(clipboard->text(), Shown(view));

        clipboard->setText("untouched");
        QTextCursor caret = view->Edit()->textCursor();
        caret.setPosition(25);
        view->Edit()->setTextCursor(caret);
        view->OnEditCopy();
        QCOMPARE(clipboard->text(), QStringLiteral("untouched"));

        caret.setPosition(0);
        caret.setPosition(8, QTextCursor::KeepAnchor);
        view->Edit()->setTextCursor(caret);
        view->OnEditCopy();
        QCOMPARE(clipboard->text(), QStringLiteral("[Params]"));
    }

    void copyAndAboutKeysReachTheFrameFromTheTextControl() {
        Frame f(Dump("keys.sld"));
        f.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.frame));
        QSignalSpy about(&f.frame, &MainFrame::aboutRequested);
        ReportEdit* edit = f.View()->Edit();
        edit->setFocus();
        QApplication::clipboard()->setText("none");
        QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), Shown(f.View()));
        const QString before = Shown(f.View());
        QTest::keyClick(edit, '?');
        QCOMPARE(about.count(), 1);
        QCOMPARE(Shown(f.View()), before);
    }

    void longReportsAreCopiedWhole() {
        Frame f;
        std::string text;
        while (text.size() < 200000) text += "0123456789\t0123456789\r\n";
        zendrik::Transfer lines;
        lines.checkMessages = {text};
        f.View()->Data().ShowTransfer(lines);
        f.View()->ShowReport();
        f.View()->OnEditCopy();
        QCOMPARE(QApplication::clipboard()->text().size(), Shown(f.View()).size());
    }

    void screenshotOfTheMessageForAnUnreadableFile() {
        const QString dir = ScreenshotDir();
        if (dir.isEmpty()) QSKIP("set ZENDRIK_SCREENSHOT_DIR to see the message as the user does");
        Frame f;
        f.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.frame));
        bool saved = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                saved = SaveWindowPng(box, dir + "/unreadable-file.png");
                box->close();
            }
        });
        poll.start(20);
        f.View()->OpenDataFile(QString::fromStdString(TempPath("missing/exercise.sld")));
        QVERIFY(saved);
    }

    // A recording of several transfers lists them above the report; the one picked is shown,
    // and Save All writes each into a folder.
    void aRecordingOfSeveralTransfersIsPickedFromAListAndSavedAll() {
        Frame f;
        ScriptedPrompts prompts;
        S410Values later = Ride(100);
        later.current.date.year = 2007;
        const std::vector<std::vector<std::uint8_t>> sent = {
            BuildS410Stream(Ride()).bytes, BuildS410Stream(Ride(140)).bytes, BuildS410Stream(later).bytes};
        std::vector<std::int16_t> sound;
        for (const auto& bytes : sent) {
            const std::vector<std::int16_t> one = ModulateBytes(bytes, ModulatorSettings{});
            sound.insert(sound.end(), one.begin(), one.end());
        }
        const std::string path = TempPath("several.wav");
        {
            std::ofstream file(path, std::ios::binary);
            WriteWaveStream(file, sound, 44100);
        }
        QCOMPARE(f.View()->OpenDataFile(QString::fromStdString(path)), 1);
        TransferPicker* picker = f.View()->Picker();
        QVERIFY(picker->isVisibleTo(&f.frame));
        QCOMPARE(picker->List()->topLevelItemCount(), 3);
        QCOMPARE(picker->List()->topLevelItem(2)->text(2), QStringLiteral("2007-03-05"));
        QCOMPARE(Shown(f.View()), AsShown(DecodedHrm(Dump("several-1.sld"))));
        picker->List()->setCurrentItem(picker->List()->topLevelItem(1));
        QCOMPARE(Shown(f.View()), AsShown(DecodedHrm(Dump("several-2.sld", 140))));

        if (const QString dir = ScreenshotDir(); !dir.isEmpty()) {
            f.frame.resize(FirstRunWindowSize(QSize(1366, 768)));
            f.frame.show();
            QVERIFY(QTest::qWaitForWindowExposed(&f.frame));
            QVERIFY(SaveWindowPng(&f.frame, dir + "/several-transfers.png"));
        }

        const QString folder = QString::fromStdString(TempPath("save-all"));
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder));
        prompts.folderAnswers = {folder};
        QTest::mouseClick(picker->SaveAllButton(), Qt::LeftButton);
        QCOMPARE(QDir(folder).entryList(QDir::Files),
                 (QStringList{"20060305-2.hrm", "20060305.hrm", "20070305.hrm"}));
        QCOMPARE(ReadFile((folder + "/20060305-2.hrm").toStdString()), DecodedHrm(Dump("several-2.sld", 140)));
        QCOMPARE(prompts.messages.back(),
                 QStringLiteral("Zendrik|Saved 3 transfers in %1.").arg(QDir::toNativeSeparators(folder)));
        // The transfer picked is still the one shown; a file of one transfer has no list.
        QCOMPARE(Shown(f.View()), AsShown(DecodedHrm(Dump("several-2.sld", 140))));
        QCOMPARE(f.View()->OpenDataFile(Dump("several-1.sld")), 1);
        QVERIFY(!picker->isVisibleTo(&f.frame));
    }

    void screenshotOfADecodedRide() {
        const QString dir = ScreenshotDir();
        if (dir.isEmpty()) QSKIP("set ZENDRIK_SCREENSHOT_DIR to write the README screenshot");
        Frame f(QStringLiteral(ZENDRIK_SAMPLES_DIR "/s510-ride.wav"));
        f.frame.resize(FirstRunWindowSize(QSize(1366, 768)));  // the first window on a laptop
        f.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.frame));
        QVERIFY(SaveWindowPng(&f.frame, dir + "/main-window.png"));
    }
};

ZENDRIK_GUI_TEST(MainWindowTest);
#include "main_window_test.moc"
