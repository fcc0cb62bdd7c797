// The reading dialog and the microphone command, on a scripted sound input.
#include <QAction>
#include <QFile>
#include <QProcess>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QApplication>
#include <QElapsedTimer>

#include "app/main_frame.h"
#include "app/reading_dialog.h"
#include "app/report_edit.h"
#include "app/report_view.h"
#include "app/settings.h"
#include "gui_test_registry.h"
#include "reception/modulator.h"
#include "scripted_capture_device.h"
#include "scripted_prompts.h"
#include "window_grab.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

using namespace testing_streams;

namespace {

std::vector<std::uint8_t> TransferBytes() {
    S410Values v;
    for (int i = 0; i < 15; ++i) v.hr.push_back(120 + i);
    v.laps = {{{0, 3, 0, 0}, 130, 125, 140, 0}};
    return BuildS410Stream(v).bytes;
}

// Installs scripted sound input for the windows made while it lives.
struct ScriptedInput {
    std::shared_ptr<DeviceScript> script = std::make_shared<DeviceScript>();
    ScriptedInput() { SetCaptureDeviceFactory(ScriptedDevices(script)); }
    ~ScriptedInput() { SetCaptureDeviceFactory({}); }
};

}  // namespace

class ReadingDialogTest : public QObject {
    Q_OBJECT
private slots:
    void theSameStateTwiceUpdatesTheTextOnce() {
        zendrik::ReadingDialog dialog(nullptr);
        dialog.OnInitDialog();  // no recorder: nothing is captured
        QCOMPARE(dialog.windowTitle(), QStringLiteral(" Reading SonicLink Data"));
        QCOMPARE(dialog.StateText()->text(), QStringLiteral("waiting for data..."));
        const int before = dialog.StateTextUpdates();
        dialog.OnReadState(kReadingReceiving);
        dialog.OnReadState(kReadingReceiving);
        QCOMPARE(dialog.StateTextUpdates(), before + 1);
        QCOMPARE(dialog.StateText()->text(), QStringLiteral("receiving data..."));
        dialog.OnReadState(7);  // not a state: the text stays
        QCOMPARE(dialog.StateText()->text(), QStringLiteral("receiving data..."));
        dialog.OnReadLevel(-32768);  // a block without samples
        QCOMPARE(dialog.Level()->value(), 0);
        dialog.OnReadLevel(20000);
        QCOMPARE(dialog.Level()->value(), 20000);
    }

    // After a broken block the second receiver reads the transfer from the sound kept: the
    // dialog says so, and the advice about the broken block stays until a new try begins.
    void theSecondReceiverAtWorkKeepsTheAdvice() {
        zendrik::ReadingDialog dialog(nullptr);
        dialog.OnInitDialog();
        dialog.OnReadState(kReadingCrcError);
        dialog.OnReadAdvice(QStringLiteral("1 of 3 blocks fail their check"));
        dialog.OnReadState(kReadingSecond);
        QCOMPARE(dialog.StateText()->text(), QString::fromLatin1(ReadingStateText(kReadingSecond)));
        QVERIFY(dialog.StateText()->text() != QStringLiteral("CRC error"));
        QVERIFY(!dialog.AdviceText()->isHidden());
        dialog.OnReadState(kReadingReceiving);
        QVERIFY(dialog.AdviceText()->isHidden());
    }

    void restartWhileReceivingStartsTheProgressOver() {
        zendrik::ReadingDialog dialog(nullptr);
        dialog.OnInitDialog();
        dialog.OnReadProgress(300, 600);
        dialog.OnReadState(kReadingReceiving);
        QCOMPARE(dialog.Progress()->value(), 300);
        QTest::mouseClick(dialog.RestartButton(), Qt::LeftButton);
        QCOMPARE(dialog.Progress()->value(), 0);
        QCOMPARE(dialog.StateText()->text(), QStringLiteral("waiting for data..."));
    }

    void closeButtonOfTheRs200EndsWithOk() {
        zendrik::ReadingDialog rs200(nullptr);
        rs200.SetWatchModel(4);
        rs200.OnInitDialog();
        QCOMPARE(rs200.WatchText()->text(), QStringLiteral("Polar RS200/CS200 (beta test)"));
        QCOMPARE(rs200.AbortButton()->text(), QStringLiteral("Close"));
        QTest::mouseClick(rs200.AbortButton(), Qt::LeftButton);
        QCOMPARE(rs200.result(), int(QDialog::Accepted));

        zendrik::ReadingDialog s410(nullptr);
        s410.OnInitDialog();
        QCOMPARE(s410.WatchText()->text(), QStringLiteral("Polar S410/S510"));
        QCOMPARE(s410.AbortButton()->text(), QStringLiteral("&Abort"));
        QTest::mouseClick(s410.AbortButton(), Qt::LeftButton);
        QCOMPARE(s410.result(), int(QDialog::Rejected));
    }

    void microphoneCommandShowsTheTransferWhenItCompletes() {
        ScriptedInput input;
        const std::vector<std::uint8_t> bytes = TransferBytes();
        input.script->blocks = InBlocks(ModulateBytes(bytes, ModulatorSettings{}));
        input.script->intervalMs = 2;
        Settings settings;
        MainFrame frame(settings);
        frame.Create({});
        frame.show();
        // The dialog runs modally and closes by itself once all bytes are in.
        frame.Action(ID_READ_MICROPHONE)->trigger();
        Document& data = frame.View()->Data();
        QCOMPARE(data.Bytes().Elements(), ToReceived(bytes).Elements());
        QVERIFY(frame.View()->Edit()->toPlainText().startsWith("[Params]\nVersion=106\nMonitor=9"));
        QVERIFY(frame.windowTitle().startsWith("microphone 20"));
        QVERIFY(frame.windowTitle().endsWith(" * — Zendrik"));
        QVERIFY(frame.Action(ID_FILE_SAVE)->isEnabled());
    }

    // A broken block: the dialog says what went wrong and what to do under its controls, in
    // full, and keeps listening; the second receiver cannot read that transfer either, and the
    // transfer sent again completes the reading.
    void aBrokenBlockShowsAdviceAndTheReadingGoesOn() {
        ScriptedInput input;
        Stream broken = BuildS410Stream(S410Values{});
        BreakChecksum(broken, 1);
        std::vector<std::int16_t> sound = ModulateBytes(broken.bytes, ModulatorSettings{});
        sound.resize(sound.size() + 3 * 44100);  // the user starting the transfer again
        const std::vector<std::int16_t> again = ModulateBytes(TransferBytes(), ModulatorSettings{});
        sound.insert(sound.end(), again.begin(), again.end());
        input.script->blocks = InBlocks(sound);
        input.script->intervalMs = 10;
        Settings settings;
        MainFrame frame(settings);
        frame.Create({});
        frame.show();
        QString advice;
        QString state;
        bool fits = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<zendrik::ReadingDialog*>(QApplication::activeModalWidget());
            if (!dialog || !advice.isEmpty() || !dialog->AdviceText()->isVisible()) return;
            advice = dialog->AdviceText()->text();
            state = dialog->StateText()->text();
            const QLabel* label = dialog->AdviceText();
            fits = label->heightForWidth(label->width()) <= label->height() &&
                   dialog->rect().contains(label->geometry());
            const QString dir = ScreenshotDir();
            if (!dir.isEmpty()) SaveWindowPng(dialog, dir + "/reading-dialog-advice.png");
        });
        watch.start(5);
        frame.Action(ID_READ_MICROPHONE)->trigger();
        // Soon after, the second receiver tries the broken transfer, the advice still shown.
        QVERIFY2(state == QStringLiteral("CRC error") ||
                     state == QString::fromLatin1(ReadingStateText(kReadingSecond)),
                 qPrintable(state));
        QVERIFY2(advice.contains("blocks fail their check: "), qPrintable(advice));
        QVERIFY(fits);
        QCOMPARE(frame.View()->Data().Bytes().Elements(), ToReceived(TransferBytes()).Elements());
    }

    void abortedReadingChangesNothing() {
        // A reading aborted leaves the window as it was, also an earlier reading's unsaved mark
        // after the user said not to save it.
        for (const bool unsaved : {false, true}) {
            ScriptedInput input;
            input.script->intervalMs = 5;  // quiet blocks only: the transfer never comes
            Settings settings;
            MainFrame frame(settings);
            frame.Create({});
            ScriptedPrompts prompts;
            prompts.answers = {QMessageBox::No};
            if (unsaved) frame.View()->SetModified(true);
            const QString title = frame.windowTitle();
            QTimer::singleShot(300, [] {
                if (auto* dialog = qobject_cast<zendrik::ReadingDialog*>(QApplication::activeModalWidget())) {
                    QTest::mouseClick(dialog->AbortButton(), Qt::LeftButton);
                }
            });
            frame.Action(ID_READ_MICROPHONE)->trigger();
            QCOMPARE(prompts.questions.size(), std::size_t{unsaved ? 1u : 0u});
            QCOMPARE(frame.windowTitle(), unsaved ? QStringLiteral("microphone * — Zendrik") : QStringLiteral("Zendrik"));
            QCOMPARE(frame.windowTitle(), title);
            QCOMPARE(frame.View()->IsModified(), unsaved);
            QCOMPARE(frame.View()->Data().Bytes().GetSize(), 0);
        }
    }

    void closingTheWindowInTheMiddleOfAReadingEndsCleanly() {
        for (int round = 0; round < 2; ++round) {
            ScriptedInput input;
            // Half a transfer, then quiet: the reading is under way when the window closes.
            std::vector<std::int16_t> sound = ModulateBytes(TransferBytes(), ModulatorSettings{});
            sound.resize(sound.size() / 2);
            input.script->blocks = InBlocks(sound);
            input.script->intervalMs = 2;
            Settings settings;
            auto frame = std::make_unique<MainFrame>(settings);
            frame->Create({});
            frame->show();
            QTimer::singleShot(400, frame.get(), [&frame] { frame->close(); });
            frame->Action(ID_READ_MICROPHONE)->trigger();
            QVERIFY(!frame->isVisible());
            QElapsedTimer bounded;
            bounded.start();
            frame.reset();
            QVERIFY(bounded.elapsed() < 7000);
        }
    }

    void deviceErrorEndsTheReadingAndNamesTheStep() {
        ScriptedInput input;
        input.script->openResults = {{6, "No sound input device is available."}};
        Settings settings;
        MainFrame frame(settings);
        frame.Create({});
        frame.show();
        ScriptedPrompts prompts;
        // A reading left open after the error is closed from here, so the test ends either way.
        bool leftOpen = false;
        QTimer rescue;
        rescue.setSingleShot(true);
        connect(&rescue, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<zendrik::ReadingDialog*>(QApplication::activeModalWidget())) {
                leftOpen = true;
                dialog->OnCancel();
            }
        });
        rescue.start(5000);
        frame.Action(ID_READ_MICROPHONE)->trigger();
        QVERIFY(!leftOpen);
        QCOMPARE(prompts.messages,
                 std::vector<QString>{"Zendrik|Could not open the sound input (code 6): No sound input device is available."});
        QCOMPARE(frame.windowTitle(), QStringLiteral("Zendrik"));
    }

    void microphoneCommandWithARealSoundServer() {
        // Run by the sound-server end-to-end script, which starts the server and says where
        // the recording, the FIFO of the virtual microphone and the expected report are.
        const QString wav = qEnvironmentVariable("ZENDRIK_LIVE_AUDIO_WAV");
        if (wav.isEmpty()) QSKIP("needs the sound server of the end-to-end script");
        QFile expectedFile(qEnvironmentVariable("ZENDRIK_LIVE_AUDIO_EXPECTED"));
        QVERIFY(expectedFile.open(QIODevice::ReadOnly));
        const QByteArray expected = expectedFile.readAll();

        Settings settings;
        auto frame = std::make_unique<MainFrame>(settings);
        frame->Create({});
        frame->show();
        QProcess feeder;
        QTimer::singleShot(1000, [&] {
            feeder.start(qEnvironmentVariable("ZENDRIK_LIVE_AUDIO_FEEDER"),
                         {wav, qEnvironmentVariable("ZENDRIK_LIVE_AUDIO_FIFO")});
        });
        QTimer::singleShot(40000, [] {  // never wait for ever on a transfer that does not come
            if (auto* dialog = qobject_cast<zendrik::ReadingDialog*>(QApplication::activeModalWidget())) dialog->OnCancel();
        });
        frame->Action(ID_READ_MICROPHONE)->trigger();
        feeder.waitForFinished(10000);
        const std::string& hrm = frame->View()->Data().Hrm();
        QCOMPARE(QByteArray(hrm.data(), static_cast<qsizetype>(hrm.size())), expected);
        QVERIFY(frame->windowTitle().startsWith("microphone 20"));
        QVERIFY(frame->windowTitle().endsWith(" * — Zendrik"));
        frame.reset();  // the capture thread and its sound input end before the application
    }
};

ZENDRIK_GUI_TEST(ReadingDialogTest);
#include "reading_dialog_test.moc"
