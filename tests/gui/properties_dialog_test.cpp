// The Properties dialog driven as the user would, through the application's Properties command.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/about_dialog.h"
#include "support/open_document.h"
#include "app/commands.h"
#include "app/main_frame.h"
#include "app/properties_dialog.h"
#include "app/report_edit.h"
#include "app/report_view.h"
#include "app/settings.h"
#include "app/zendrik_app.h"
#include "gui_test_registry.h"
#include "scripted_prompts.h"
#include "window_grab.h"

using namespace zendrik;

namespace {

using D = PropertiesDialog;
using Script = std::function<void(PropertiesDialog&)>;

const QString kSample = QStringLiteral(ZENDRIK_SAMPLES_DIR "/s510-ride.sld");

// Counts the re-show requests that reach one window.
class UpdateCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == kUpdateDisplayEvent) ++count;
        return QObject::eventFilter(watched, event);
    }
};

// Records the icon and owner of each message, too.
class RecordingPrompts : public ScriptedPrompts {
public:
    void Tell(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text,
              const QString& detail) override {
        icons.push_back(icon);
        owners.push_back(owner);
        ScriptedPrompts::Tell(owner, icon, caption, text, detail);
    }
    std::vector<QMessageBox::Icon> icons;
    std::vector<QWidget*> owners;
};

// A main window showing the sample ride, with the view's re-show requests counted.
struct Frame {
    Settings settings;
    MainFrame frame{settings};
    UpdateCounter updates;
    Frame() {
        frame.Create(kSample);
        frame.View()->installEventFilter(&updates);
    }
    QString Shown() const { return frame.View()->Edit()->toPlainText(); }
};

// Runs `command`; `script` plays the user while the Properties dialog is open. A script that
// leaves the dialog open cancels it. False when no dialog came up.
bool WhileOpen(const std::function<void()>& command, const Script& script) {
    bool ran = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dlg = qobject_cast<PropertiesDialog*>(QApplication::activeModalWidget());
        if (!dlg || ran) return;
        ran = true;
        poll.stop();
        script(*dlg);
        if (dlg->isVisible()) dlg->reject();
    });
    poll.start(5);
    command();
    return ran;
}

bool RunProperties(Frame& f, const Script& script) {
    return WhileOpen([&] { EditProperties(f.settings, &f.frame); }, script);
}

void Click(PropertiesDialog& d, int id) {
    qobject_cast<QAbstractButton*>(d.GetDlgItem(id))->click();
}
// The layout id of a control, -1 for one without.
int IdOf(PropertiesDialog& d, QWidget* w) {
    for (int id : {1009, 1011, 1012, 1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021, 1023,
                   1024, 1025, 1, 2}) {
        if (d.GetDlgItem(id) == w) return id;
    }
    return -1;
}
QAbstractButton* Button(PropertiesDialog& d, int id) {
    return qobject_cast<QAbstractButton*>(d.GetDlgItem(id));
}
QLineEdit* Field(PropertiesDialog& d, int id) {
    return qobject_cast<QLineEdit*>(d.GetDlgItem(id));
}
void Enter(PropertiesDialog& d, int id, const QString& text) {
    Field(d, id)->setText(text);
}
// What the user sees selected in the model list.
QString ShownModel(PropertiesDialog& d) {
    return d.m_modelList->currentIndex() < 0 ? QStringLiteral("<none>") : d.m_modelList->currentText();
}
void PickModel(PropertiesDialog& d, Qt::Key key) {
    QTest::keyClick(d.m_modelList, key);
}

QList<int> AllFields(const Settings& s) {
    return {s.WatchModel,    s.ComPort,      s.DisplayMode,        s.CsvSeparator,
            s.HrmFormat,     s.ValueFormat,  s.Disable10thSeconds, s.DecimalSeparator,
            s.TimeSeparator, s.DateSeparator};
}

QString AsShown(const std::string& text) {
    return QString::fromLatin1(text.c_str()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

class PropertiesDialogTest : public QObject {
    Q_OBJECT
private slots:
    void cancelKeepsSettingsAndReport() {
        Frame f;
        f.settings.ComPort = 7;
        const Settings before = f.settings;
        const QString shown = f.Shown();
        QVERIFY(RunProperties(f, [](D& d) {
            PickModel(d, Qt::Key_Down);
            Click(d, D::IDC_DISPLAY_CSV);
            Click(d, D::IDC_HRM_COMPATIBLE);
            Click(d, D::IDC_SEPARATOR_TAB);
            Click(d, D::IDC_CUSTOM_SEPARATORS);
            Click(d, D::IDC_DISABLE_10TH);
            Enter(d, D::IDC_CUSTOM_DECIMAL, "x");
            Click(d, 2);
        }));
        QCOMPARE(AllFields(f.settings), AllFields(before));
        QCOMPARE(f.updates.count, 0);
        QCOMPARE(f.Shown(), shown);
    }

    void onlyACustomSeparatorEqualToTheCsvSeparatorIsRefused() {
        Frame f;
        RecordingPrompts prompts;
        const QString refusal =
            QStringLiteral("Invalid Properties|Custom Separators must differ the CSV Separator");

        // Comma and a decimal comma: refused, the dialog stays with the entries; Tabulator passes.
        QVERIFY(RunProperties(f, [&](D& d) {
            Click(d, D::IDC_SEPARATOR_COMMA);
            Click(d, D::IDC_CUSTOM_SEPARATORS);
            Enter(d, D::IDC_CUSTOM_DECIMAL, ",");
            Click(d, 1);
            QCOMPARE(prompts.messages, std::vector<QString>{refusal});
            QCOMPARE(prompts.icons.at(0), QMessageBox::Critical);
            QCOMPARE(prompts.owners.at(0), &d);
            QVERIFY(d.isVisible());
            QVERIFY(Button(d, D::IDC_SEPARATOR_COMMA)->isChecked());
            QVERIFY(Button(d, D::IDC_CUSTOM_SEPARATORS)->isChecked());
            QCOMPARE(Field(d, D::IDC_CUSTOM_DECIMAL)->text(), QStringLiteral(","));
            Click(d, D::IDC_SEPARATOR_TAB);
            Click(d, 1);
            QVERIFY(!d.isVisible());
        }));
        QCOMPARE(f.settings.CsvSeparator, 2);
        QCOMPARE(f.settings.ValueFormat, 2);
        QCOMPARE(f.settings.DecimalSeparator, int(','));
        QCOMPARE(prompts.messages.size(), std::size_t{1});

        // Semicolon is caught in the date field as well; Cancel then leaves everything.
        f.settings.CsvSeparator = 0;
        QVERIFY(RunProperties(f, [&](D& d) {
            Enter(d, D::IDC_CUSTOM_DATE, ";");
            Click(d, 1);
            QVERIFY(d.isVisible());
        }));
        QCOMPARE(prompts.messages.size(), std::size_t{2});
        QCOMPARE(f.settings.DateSeparator, int('.'));

        // Without custom separators the fields are not looked at.
        f.settings.DecimalSeparator = ';';
        for (int format : {D::IDC_REGIONAL_SETTINGS, D::IDC_HRM_FORMATTING}) {
            QVERIFY(RunProperties(f, [&](D& d) {
                Click(d, format);
                Click(d, 1);
                QVERIFY(!d.isVisible());
            }));
        }
        QCOMPARE(prompts.messages.size(), std::size_t{2});
        QCOMPARE(f.settings.ValueFormat, 1);
    }

    void separatorFieldsKeepTheirFirstCharacterAsASigned8BitCode() {
        Frame f;
        f.settings.DecimalSeparator = -73;  // a middle dot stored by an earlier run
        f.settings.TimeSeparator = 0x100 + ':';
        f.settings.DateSeparator = 0;
        QVERIFY(RunProperties(f, [](D& d) {
            // Each field shows the character of the low byte; 0 is an empty field.
            QCOMPARE(Field(d, D::IDC_CUSTOM_DECIMAL)->text(), QString(QChar(0xB7)));
            QCOMPARE(Field(d, D::IDC_CUSTOM_TIME)->text(), QStringLiteral(":"));
            QCOMPARE(Field(d, D::IDC_CUSTOM_DATE)->text(), QString());
            Enter(d, D::IDC_CUSTOM_DECIMAL, "ab");
            Enter(d, D::IDC_CUSTOM_TIME, QString(QChar(0xB7)) + "x");
            Enter(d, D::IDC_CUSTOM_DATE, QString());
            Click(d, 1);
        }));
        QCOMPARE(f.settings.DecimalSeparator, int('a'));
        QCOMPARE(f.settings.TimeSeparator, -73);
        QCOMPARE(f.settings.DateSeparator, 0);

        // A character the 8-bit reports cannot hold is stored as '?'.
        QVERIFY(RunProperties(f, [](D& d) {
            Enter(d, D::IDC_CUSTOM_DATE, QString(QChar(0x20AC)));
            Click(d, 1);
        }));
        QCOMPARE(f.settings.DateSeparator, int('?'));
    }

    void modelListShowsSharedNamesAndUnknownCodes() {
        Frame f;
        f.settings.WatchModel = 3;
        f.settings.ComPort = 7;  // no control shows it; it is carried through
        QVERIFY(RunProperties(f, [](D& d) {
            QStringList items;
            for (int i = 0; i < d.m_modelList->count(); ++i) items << d.m_modelList->itemText(i);
            QCOMPARE(items, (QStringList{"Polar S410/S510", "Polar Coach",
                                         "Polar RS200/CS200 (beta test)"}));
            QCOMPARE(ShownModel(d), QStringLiteral("Polar S410/S510"));
            Click(d, 1);
        }));
        QCOMPARE(f.settings.WatchModel, 3);  // untouched, the code stays
        QCOMPARE(f.settings.ComPort, 7);

        // Picking another model and back gives the first code of the shared name.
        QVERIFY(RunProperties(f, [](D& d) {
            PickModel(d, Qt::Key_Down);
            QCOMPARE(ShownModel(d), QStringLiteral("Polar Coach"));
            QCOMPARE(d.m_watchModel, 2);
            PickModel(d, Qt::Key_Up);
            Click(d, 1);
        }));
        QCOMPARE(f.settings.WatchModel, 1);

        // A code outside the table selects nothing and is kept until a model is picked.
        f.settings.WatchModel = 9;
        QVERIFY(RunProperties(f, [](D& d) {
            QCOMPARE(ShownModel(d), QStringLiteral("<none>"));
            Click(d, 1);
        }));
        QCOMPARE(f.settings.WatchModel, 9);
        QVERIFY(RunProperties(f, [](D& d) {
            PickModel(d, Qt::Key_Down);
            QCOMPARE(ShownModel(d), QStringLiteral("Polar S410/S510"));
            Click(d, 1);
        }));
        QCOMPARE(f.settings.WatchModel, 1);

        f.settings.WatchModel = 4;
        QVERIFY(RunProperties(f, [](D& d) {
            QCOMPARE(ShownModel(d), QStringLiteral("Polar RS200/CS200 (beta test)"));
            Click(d, 1);
        }));
        QCOMPARE(f.settings.WatchModel, 4);
    }

    void reportIsShownAgainOnlyWhenWhatIsOnScreenDependsOnTheChange() {
        struct Case {
            const char* name;
            int displayMode;
            int valueFormat;
            Script change;
            int reshows;
        };
        auto click = [](int id) { return [id](D& d) { Click(d, id); }; };
        const std::vector<Case> cases = {
            {"HRM, model only", 0, 1, [](D& d) { PickModel(d, Qt::Key_Down); }, 0},
            {"HRM, tenths only", 0, 1, click(D::IDC_DISABLE_10TH), 0},
            {"HRM, value format only", 0, 1, click(D::IDC_REGIONAL_SETTINGS), 0},
            {"HRM, custom separators untouched", 0, 2, [](D&) {}, 0},
            {"HRM, HRM format", 0, 1, click(D::IDC_HRM_COMPATIBLE), 1},
            {"HRM to CSV", 0, 1, click(D::IDC_DISPLAY_CSV), 1},
            {"CSV, CSV separator only", 1, 1, click(D::IDC_SEPARATOR_TAB), 0},
            {"CSV, HRM format only", 1, 1, click(D::IDC_HRM_COMPATIBLE), 0},
            {"CSV, value format", 1, 1, click(D::IDC_REGIONAL_SETTINGS), 1},
            {"CSV, tenths", 1, 1, click(D::IDC_DISABLE_10TH), 1},
            {"CSV, custom separators untouched", 1, 2, [](D&) {}, 1},
        };
        for (const Case& c : cases) {
            Frame f;
            f.settings.DisplayMode = c.displayMode;
            f.settings.ValueFormat = c.valueFormat;
            f.frame.View()->ShowReport();
            QVERIFY2(RunProperties(f,
                                   [&](D& d) {
                                       c.change(d);
                                       Click(d, 1);
                                   }),
                     c.name);
            // Sent, not posted: the count is final when the command returns.
            QVERIFY2(f.updates.count == c.reshows, c.name);
        }

        // A new model counts from the next reading on, not for the report already decoded.
        Frame f;
        QVERIFY(RunProperties(f, [](D& d) {
            PickModel(d, Qt::Key_Down);
            Click(d, 1);
        }));
        QCOMPARE(f.settings.WatchModel, 2);
        QCOMPARE(f.frame.View()->Data().Settings().watchModel, 1);
    }

    void switchingToCsvShowsItInTheCurrentValueFormat() {
        Frame f;
        f.settings.ValueFormat = 2;
        f.settings.DecimalSeparator = ',';
        f.settings.TimeSeparator = '.';
        f.settings.DateSeparator = '/';
        Document expected;
        QVERIFY(testing_streams::OpenInto(expected, kSample.toStdString()));
        const std::string plain = expected.Csv();
        expected.SetValueFormat(MakeValueFormat(0, ',', '.', '/'));
        QVERIFY(expected.Csv() != plain);

        QVERIFY(RunProperties(f, [](D& d) {
            Click(d, D::IDC_DISPLAY_CSV);
            Click(d, 1);
        }));
        QCOMPARE(f.updates.count, 1);
        QCOMPARE(f.Shown(), AsShown(expected.Csv()));
    }

    void polarCompatibleSaysWhichWatchesHaveIt() {
        Frame f;
        QVERIFY(RunProperties(f, [](D& d) {
            QWidget* choice = d.GetDlgItem(D::IDC_HRM_COMPATIBLE);
            bool told = false;
            for (QLabel* label : d.findChildren<QLabel*>()) {
                const QRect at = label->geometry();
                told = told || (label->text().contains("RS200/CS200") && at.top() < choice->geometry().bottom() &&
                                at.bottom() > choice->geometry().top() && at.left() >= choice->geometry().right());
            }
            QVERIFY(told);
        }));
    }

    void tabOrderFollowsTheLayout() {
        Frame f;
        QVERIFY(RunProperties(f, [](D& d) {
            QList<int> order;
            QWidget* w = d.GetDlgItem(D::IDC_MODEL);
            do {
                if (w->focusPolicy() & Qt::TabFocus) order << IdOf(d, w);
                w = w->nextInFocusChain();
            } while (w != d.GetDlgItem(D::IDC_MODEL));
            QCOMPARE(order, (QList<int>{1009, 1011, 1012, 1016, 1017, 1013, 1014, 1015, 1019, 1020,
                                        1021, 1018, 1023, 1024, 1025, 1, 2}));
            // The first focus is given when the dialog becomes active, which an offscreen
            // platform with other windows about may do a moment later.
            d.activateWindow();
            QTRY_COMPARE(d.focusWidget(), d.GetDlgItem(D::IDC_MODEL));
        }));
    }

    void propertiesCommandOfTheApplication() {
        {
            QSettings store(QStringLiteral("qlx"), QStringLiteral("Zendrik"));
            store.clear();
        }
        ZendrikApp& app = *static_cast<ZendrikApp*>(QCoreApplication::instance());
        app.m_settings = Settings{};
        // The About box comes first, by itself; it is closed from within its own loop.
        bool aboutClosed = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget())) {
                about->close();
                aboutClosed = true;
            }
        });
        poll.start(5);
        QVERIFY(app.InitInstance({"zendrik"}));
        QVERIFY(QTest::qWaitFor([&] { return aboutClosed; }));
        poll.stop();
        MainFrame* frame = app.MainWindow();
        QVERIFY(WhileOpen([&] { frame->Action(ID_PROPERTIES)->trigger(); },
                          [&](D& d) {
                              QCOMPARE(d.parentWidget(), frame);
                              QCOMPARE(d.windowTitle(), QStringLiteral("Zendrik Properties"));
                              QVERIFY(d.isModal());
                              Click(d, D::IDC_DISPLAY_CSV);
                              Click(d, 1);
                          }));
        QCOMPARE(app.m_settings.DisplayMode, 1);
        app.ExitInstance(0);
    }

    void screenshot() {
        const QString dir = ScreenshotDir();
        if (dir.isEmpty()) QSKIP("set ZENDRIK_SCREENSHOT_DIR to write the README screenshot");
        Frame f;
        f.settings.DisplayMode = 1;
        QVERIFY(RunProperties(f, [&](D& d) {
            QVERIFY(QTest::qWaitForWindowExposed(&d));
            QVERIFY(SaveWindowPng(&d, dir + "/properties-dialog.png"));
        }));
    }
};

ZENDRIK_GUI_TEST(PropertiesDialogTest);
#include "properties_dialog_test.moc"
