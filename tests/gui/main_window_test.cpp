// The desktop program's window, start-up, settings and commands, driven headless.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <fstream>
#include <QMainWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "app/commands.h"
#include "app/main_frame.h"
#include "app/report_edit.h"
#include "app/report_view.h"
#include "app/user_prompts.h"
#include "app/zendrik_app.h"
#include "gui_test_registry.h"
#include "reception/modulator.h"
#include "reception/wave_writer.h"
#include "scripted_prompts.h"
#include "support/run_process.h"
#include "support/s410_stream_builder.h"
#include "window_grab.h"

using namespace testing_streams;

namespace {

CZendrikApp& App() { return *static_cast<CZendrikApp*>(QCoreApplication::instance()); }

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
    WriteWaveStream(file, ModulateBytes(stream.bytes, CModulatorSettings{}), 44100);
    return QString::fromStdString(path);
}

// The HRM report of a dump as the reception object renders it.
std::string DecodedHrm(const QString& dump) {
    CSonicLinkData data;
    data.LoadDumpFile(dump.toStdString());
    return data.m_strHrm;
}

QString Shown(CReportView* view) { return view->Edit()->toPlainText(); }
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
    CMainFrame frame{settings};
    explicit Frame(const QString& file = {}) { frame.Create(file); }
    CReportView* View() { return frame.View(); }
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void windowHasToolbarOnlyAndTheReportFont() {
        Frame f;
        QCOMPARE(f.frame.size(), QSize(400, 400));
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

    void startupShowsTheCommandLineFileWithBuiltInSettingsThenAbout() {
        ClearStoredSettings();
        {
            QSettings store(QStringLiteral("qlx"), QStringLiteral("Zendrik"));
            store.setValue("Settings/DisplayMode", 1);  // stored: show CSV
        }
        const QString dump = Dump("startup.sld");
        App().m_settings = Settings{};
        QVERIFY(App().InitInstance({"zendrik", dump}));
        CMainFrame* frame = App().MainFrame();
        QVERIFY(frame->isVisible());
        // Opened before the settings were loaded: the HRM text, although CSV is stored.
        QCOMPARE(Shown(frame->View()), AsShown(DecodedHrm(dump)));
        QCOMPARE(App().m_settings.DisplayMode, 1);
        QVERIFY(frame->Action(ID_FILE_SAVE)->isEnabled());
        // The About box opens by itself once the loop runs, over the shown window.
        QCOMPARE(CloseNextModal(), QStringLiteral("About Zendrik"));
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
        QCOMPARE(Shown(f.View()), AsShown(f.View()->Data().m_strHrm));
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
        drop({QUrl::fromLocalFile(wav)});
        QVERIFY(Shown(f.View()).startsWith("[Params]\nVersion=106\nMonitor=10"));
        const QString before = Shown(f.View());
        drop({QUrl::fromLocalFile(Dump("other.wave"))});
        QCOMPARE(Shown(f.View()), before);
    }

    void openDialogReadsByTheSelectedFilterEntry() {
        Frame f;
        CScriptedPrompts prompts;
        f.settings.WatchModel = 3;
        const QString dump = Dump("open.sld");
        prompts.openAnswers.push_back(CFileChoice{dump, 1});
        f.frame.Action(ID_FILE_OPEN)->trigger();
        QCOMPARE(prompts.openRequests.at(0).filters,
                 (QStringList{"SonicLink Dump Files (*.sld)", "Wave Files (*.wav)"}));
        QCOMPARE(prompts.openRequests.at(0).selectedFilter, 1);
        QCOMPARE(prompts.openRequests.at(0).defaultSuffix, QStringLiteral("sld"));
        QCOMPARE(Shown(f.View()), AsShown(DecodedHrm(dump)));
        QCOMPARE(f.View()->Data().m_nWatchModel, 3);  // copied from the settings

        // The type follows the filter entry: a recording chosen under the wave entry.
        prompts.openAnswers.push_back(CFileChoice{Recording("open.bin"), 2});
        f.frame.Action(ID_FILE_OPEN)->trigger();
        QVERIFY(Shown(f.View()).startsWith("[Params]"));

        // A recording that cannot be read leaves the report as it was; stale samples are not
        // decoded again.
        const QString shown = Shown(f.View());
        f.View()->Data().m_bytes.SetSize(0);
        prompts.openAnswers.push_back(CFileChoice{Dump("not-a-recording.wav"), 2});
        f.frame.Action(ID_FILE_OPEN)->trigger();
        QCOMPARE(Shown(f.View()), shown);
        QCOMPARE(f.View()->Data().m_bytes.GetSize(), 0);
    }

    void waveFilterListsRecordingsWhateverTheCaseOfTheirExtension() {
        const QString dir = QString::fromStdString(TempPath("filter-case"));
        QDir().mkpath(dir);
        for (const char* name : {"lower.wav", "upper.WAV", "mixed.Wav", "dump.sld"}) {
            QFile file(dir + "/" + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QFileDialog dialog;
        ConfigureFileDialog(dialog, CFileRequest{{"SonicLink Dump Files (*.sld)", "Wave Files (*.wav)"}, 2, "sld", {}});
        dialog.setDirectory(dir);
        auto* view = dialog.findChild<QListView*>("listView");
        QVERIFY(view);
        QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), 3);
    }

    void saveWritesTheChosenTypeByteForByte() {
        Frame f(Dump("save.sld"));
        CScriptedPrompts prompts;
        CSonicLinkData& data = f.View()->Data();
        const QString hrm = QString::fromStdString(TempPath("saved.csv"));  // HRM under a .csv name
        prompts.saveAnswers.push_back(CFileChoice{hrm, 1});
        f.frame.Action(ID_FILE_SAVE)->trigger();
        QCOMPARE(prompts.saveRequests.at(0).selectedFilter, 1);
        QCOMPARE(prompts.saveRequests.at(0).defaultSuffix, QStringLiteral("hrm"));
        QCOMPARE(prompts.saveRequests.at(0).proposedName, QStringLiteral("20060305"));
        QCOMPARE(ReadFile(hrm.toStdString()), data.m_strHrm);

        f.settings.DisplayMode = 1;
        f.settings.CsvSeparator = 1;
        const QString csv = QString::fromStdString(TempPath("saved2.csv"));
        prompts.saveAnswers.push_back(CFileChoice{csv, 2});
        f.frame.Action(ID_FILE_SAVE)->trigger();
        QCOMPARE(prompts.saveRequests.at(1).selectedFilter, 2);
        QCOMPARE(prompts.saveRequests.at(1).defaultSuffix, QStringLiteral("csv"));
        std::string expected = data.m_strCsv;
        std::replace(expected.begin(), expected.end(), '\t', ',');
        QCOMPARE(ReadFile(csv.toStdString()), expected);

        const QString dump = QString::fromStdString(TempPath("saved3.sld"));
        prompts.saveAnswers.push_back(CFileChoice{dump, 3});
        f.frame.Action(ID_FILE_SAVE)->trigger();
        QCOMPARE(ReadFile(dump.toStdString()).size(), static_cast<std::size_t>(4 * data.m_bytes.GetSize()));

        const QString nowhere = QString::fromStdString(TempPath("no-such-folder/x.hrm"));
        prompts.saveAnswers.push_back(CFileChoice{nowhere, 1});
        f.frame.Action(ID_FILE_SAVE)->trigger();
        QCOMPARE(prompts.messages.size(), std::size_t{1});
        QVERIFY(prompts.messages.at(0).contains(QStringLiteral(" opening file:\n") + nowhere));
        QVERIFY(prompts.messages.at(0).startsWith(QStringLiteral("Zendrik|Error (")));
    }

    void updateDisplayMessageSwitchesBetweenTheTexts() {
        Frame f(Dump("switch.sld"));
        f.settings.DisplayMode = 1;
        SendUpdateDisplay(&f.frame);
        QCOMPARE(Shown(f.View()), AsShown(f.View()->Data().m_strCsv));
        f.settings.DisplayMode = 0;
        f.settings.HrmFormat = 1;
        SendUpdateDisplay(&f.frame);
        QCOMPARE(Shown(f.View()), QString());  // the S410/S510 has no compatible text
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
        CScriptedPrompts prompts;
        f.View()->SetModified(true);
        QVERIFY(f.frame.windowTitle().startsWith(QStringLiteral("microphone ")));
        QVERIFY(f.frame.windowTitle().endsWith(QStringLiteral(" - Zendrik *")));

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
        prompts.saveAnswers.push_back(CFileChoice{QString::fromStdString(TempPath("guard.hrm")), 1});
        f.frame.Action(ID_FILE_OPEN)->trigger();
        QVERIFY(!f.View()->IsModified());
        QCOMPARE(f.frame.windowTitle(), QStringLiteral("guard.hrm - Zendrik"));
        QCOMPARE(prompts.openRequests.size(), std::size_t{1});

        // No drops the mark and goes on; closing asks too, and Cancel keeps the window.
        f.View()->SetModified(true);
        prompts.answers = {QMessageBox::No};
        f.frame.Action(ID_FILE_OPEN)->trigger();
        QVERIFY(!f.View()->IsModified());
        QCOMPARE(prompts.openRequests.size(), std::size_t{2});
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
        CReportView* view = f.View();
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
        QSignalSpy about(&f.frame, &CMainFrame::aboutRequested);
        CReportEdit* edit = f.View()->Edit();
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
        f.View()->Data().m_strHrm = text;
        f.View()->ShowReport();
        f.View()->OnEditCopy();
        QCOMPARE(QApplication::clipboard()->text().size(), Shown(f.View()).size());
    }

    void screenshotOfADecodedRide() {
        const QString dir = ScreenshotDir();
        if (dir.isEmpty()) QSKIP("set ZENDRIK_SCREENSHOT_DIR to write the README screenshot");
        Frame f(QStringLiteral(ZENDRIK_SAMPLES_DIR "/s510-ride.wav"));
        f.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.frame));
        QVERIFY(SaveWindowPng(&f.frame, dir + "/main-window.png"));
    }
};

ZENDRIK_GUI_TEST(MainWindowTest);
#include "main_window_test.moc"
