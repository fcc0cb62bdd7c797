// The Save dialog's FIT and TCX entries: the decoded exercise in the computer's zone, written
// whole or not at all, and refusals told in a message box.
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>

#include "app/main_frame.h"
#include "app/report_texts.h"
#include "app/report_view.h"
#include "app/settings.h"
#include "formats/fit_encoder.h"
#include "formats/fit_writer.h"
#include "formats/tcx_writer.h"
#include "gui_test_registry.h"
#include "platform/zone_database.h"
#include "scripted_prompts.h"
#include "support/run_process.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

using namespace testing_streams;

namespace {

struct Frame {
    Settings settings;
    MainFrame frame{settings};
    explicit Frame(const QString& file) { frame.Create(file); }
    Document& Data() { return frame.View()->Data(); }
    void Save() { frame.Action(ID_FILE_SAVE)->trigger(); }
};

QString RideDump() {
    S410Values v;
    v.s510 = true;
    v.flags = 0x35;
    for (int i = 0; i < 30; ++i) {
        v.hr.push_back(i == 4 ? 0 : 120 + i);
        v.speed.push_back(50);
        v.cadence.push_back(88);
    }
    v.laps = {{{0, 10, 0, 5}, 140, 130, 150, 30}};
    return QString::fromStdString(WriteDump(BuildS410Stream(v).bytes, "export-ride.sld"));
}

// A FIT file's frame without decoding its messages: the header's size, data size and signature,
// and both CRCs, which come out 0 over a whole header and a whole file.
bool IsWholeFitFile(const std::string& f) {
    if (f.size() < 16 || f[0] != 14 || f.compare(8, 4, ".FIT") != 0) return false;
    const std::uint32_t dataSize = static_cast<std::uint8_t>(f[4]) | static_cast<std::uint8_t>(f[5]) << 8 |
                                   static_cast<std::uint8_t>(f[6]) << 16 |
                                   static_cast<std::uint32_t>(static_cast<std::uint8_t>(f[7])) << 24;
    return dataSize + 16 == f.size() && zendrik::FitCrc(f.data(), 14) == 0 &&
           zendrik::FitCrc(f.data(), f.size()) == 0;
}

// Runs `body` with TZ set to `zone`, restoring it afterwards.
template <class Body>
void WithTz(const char* zone, Body body) {
    const QByteArray saved = qgetenv("TZ");
    const bool had = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", zone);
    body();
    if (had) {
        qputenv("TZ", saved);
    } else {
        qunsetenv("TZ");
    }
}

}  // namespace

class ExportSaveTest : public QObject {
    Q_OBJECT
private slots:
    void savesTheExerciseAsAnActivity_data() {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("format");
        QTest::newRow("FIT entry") << 4 << "ride.fit" << "fit";
        QTest::newRow("TCX entry") << 5 << "ride.tcx" << "tcx";
        QTest::newRow("JSON entry") << 6 << "ride.json" << "json";
        // A name typed with the extension names the format, whatever entry is left selected.
        QTest::newRow(".fit typed under HRM") << 1 << "typed.fit" << "fit";
        QTest::newRow(".TCX typed under CSV") << 2 << "typed.TCX" << "tcx";
        QTest::newRow(".json typed under FIT") << 4 << "typed.json" << "json";
    }

    void savesTheExerciseAsAnActivity() {
        QFETCH(int, filter);
        QFETCH(QString, name);
        QFETCH(QString, format);
        const bool fit = format == QLatin1String("fit");
        Frame f(RideDump());
        ScriptedPrompts prompts;
        const QString path = QString::fromStdString(TempPath(name.toStdString()));
        QFile::remove(path);
        // A reading not yet saved otherwise.
        f.frame.View()->SetModified(true);
        const std::string pathBefore = f.Data().Path();
        WithTz("America/New_York", [&] {
            prompts.saveAnswers.push_back(FileChoice{path, filter});
            f.Save();
        });
        QCOMPARE(prompts.saveRequests.at(0).filters.mid(0, 3),
                 (QStringList{"HRM Files (*.hrm)", "CSV Files (*.csv)", "SonicLink Dump Files (*.sld)"}));
        QCOMPARE(prompts.saveRequests.at(0).filters.mid(3),
                 (QStringList{"FIT activity (*.fit)", "TCX (*.tcx)", "JSON (*.json)"}));
        QVERIFY(prompts.messages.empty());

        // What the writer makes of the decoded exercise in the zone the computer is set to.
        const auto zone = ZoneNamed("America/New_York");
        const zendrik::Exercise* exercise = f.Data().ValidExercise();
        QVERIFY(zone && exercise);
        const zendrik::ExportResult expected =
            fit ? zendrik::WriteFit(*exercise, *zone) : zendrik::WriteTcx(*exercise, *zone);
        const std::string written = ReadFile(path.toStdString());
        QVERIFY(expected.Ok());
        if (format == QLatin1String("json")) {
            QVERIFY(written.find("\"schemaVersion\"") != std::string::npos);
            QVERIFY(written.find("\"start\": \"2006-03-05T07:30:15\"") != std::string::npos);
        } else {
            QCOMPARE(written, expected.data);
        }
        if (fit) {
            QVERIFY(IsWholeFitFile(written));
        } else if (format == QLatin1String("tcx")) {
            QVERIFY(written.find("<Id>2006-03-05T12:30:15Z</Id>") != std::string::npos);
        }
        // An export keeps part of the reading only: it stays marked unsaved, under its old name.
        QVERIFY(f.frame.View()->IsModified());
        QCOMPARE(f.Data().Path(), pathBefore);
    }

    void anExerciseTheWriterRefusesIsToldAndNothingIsWritten() {
        Frame f(RideDump());
        ScriptedPrompts prompts;
        const QString fit = QString::fromStdString(TempPath("refused.fit"));
        const QString tcx = QString::fromStdString(TempPath("refused.tcx"));
        QFile::remove(fit);
        QFile::remove(tcx);
        zendrik::Transfer transfer = f.Data().DecodedTransfer();
        transfer.exercise->start.year = 1997;  // before FIT's first date; TCX has no such limit
        f.Data().ShowTransfer(transfer);
        prompts.saveAnswers = {FileChoice{fit, 4}, FileChoice{tcx, 5}};
        f.Save();
        f.Save();
        QCOMPARE(prompts.messages.size(), std::size_t{1});
        QCOMPARE(prompts.messages.at(0), QStringLiteral("Zendrik|Not saved as FIT."));
        QVERIFY(!QFile::exists(fit));
        QVERIFY(QFile::exists(tcx));

        // A valid transfer without an exercise: nothing to write, and no question about the input.
        transfer.exercise.reset();
        f.Data().ShowTransfer(transfer);
        prompts.saveAnswers = {FileChoice{tcx, 5}};
        const std::string before = ReadFile(tcx.toStdString());
        f.Save();
        QCOMPARE(prompts.messages.size(), std::size_t{2});
        QCOMPARE(prompts.messages.at(1), QStringLiteral("Zendrik|Not saved as TCX."));
        QVERIFY(prompts.questions.empty());
        QCOMPARE(ReadFile(tcx.toStdString()), before);
    }

    void withoutAKnownEntryTheExtensionDecides() {
        Frame f(RideDump());
        ScriptedPrompts prompts;
        for (const auto& [name, expected] :
             {std::pair{"no-entry.csv", CsvTextFor(f.Data(), ';')}, std::pair{"no-entry.txt", f.Data().Hrm()}}) {
            const QString path = QString::fromStdString(TempPath(name));
            prompts.saveAnswers.push_back(FileChoice{path, 0});
            f.Save();
            QCOMPARE(ReadFile(path.toStdString()), expected);
        }
    }

    void chosenEntryGivesTheProposedNameItsExtension() {
        QFileDialog dialog;
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        const QStringList filters = {"HRM Files (*.hrm)", "CSV Files (*.csv)",
                                     "SonicLink Dump Files (*.sld)", "FIT activity (*.fit)",
                                     "TCX (*.tcx)"};
        dialog.selectFile(QStringLiteral("20060305.hrm"));
        ConfigureFileDialog(dialog, FileRequest{filters, 1, "hrm", "20060305.hrm"});
        auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(types && name);
        for (const auto& [index, suffix] : {std::pair{3, "fit"}, std::pair{4, "tcx"}, std::pair{0, "hrm"}}) {
            types->setCurrentIndex(index);
            emit types->activated(index);
            QCOMPARE(dialog.defaultSuffix(), QString::fromLatin1(suffix));
            QCOMPARE(name->text(), QStringLiteral("20060305.") + suffix);
        }
    }
};

ZENDRIK_GUI_TEST(ExportSaveTest);
#include "export_save_test.moc"
