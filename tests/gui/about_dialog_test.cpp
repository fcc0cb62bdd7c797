// The About box: its links, its look, and the application's About command.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "app/about_dialog.h"
#include "app/link_static.h"
#include "app/main_frame.h"
#include "app/zendrik_app.h"
#include "gui_test_registry.h"
#include "window_grab.h"

namespace {

// Catches what would go to the desktop's link handler.
struct CLinkRecorder {
    QStringList opened;
    CLinkRecorder() {
        SetLinkOpener([this](const QUrl& url) { opened << url.toString(); });
    }
    ~CLinkRecorder() { SetLinkOpener({}); }
};

struct ShownAbout {
    CAboutDialog dlg;
    ShownAbout() {
        dlg.OnInitDialog();
        dlg.show();
    }
};

}  // namespace

class AboutDialogTest : public QObject {
    Q_OBJECT
private slots:
    void linksOpenTheirAddressesAndTheBetaNotesOpenNothing() {
        ShownAbout about;
        QVERIFY(QTest::qWaitForWindowExposed(&about.dlg));
        CLinkRecorder links;
        QTest::mouseClick(about.dlg.m_stMailLink, Qt::LeftButton);
        QTest::mouseClick(about.dlg.m_stWebLink, Qt::LeftButton);
        QCOMPARE(links.opened,
                 (QStringList{"mailto:zendrik@example.org", "https://example.org/zendrik/"}));
        QTest::mouseClick(about.dlg.m_stMailLink, Qt::RightButton);
        QTest::mouseClick(about.dlg.m_stBetaInfo, Qt::LeftButton);
        QCOMPARE(links.opened.size(), 2);
        QVERIFY(about.dlg.isVisible());
    }

    void linksAreBlueUnderlinedWithTheHandAndTheNotesPurpleBold() {
        ShownAbout about;
        for (CLinkStatic* link : {about.dlg.m_stMailLink, about.dlg.m_stWebLink}) {
            QCOMPARE(link->TextColor(), QColor(0, 0, 255));
            QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
            QVERIFY(link->font().underline());
            QVERIFY(!link->font().bold());
            QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        }
        QCOMPARE(about.dlg.m_stMailLink->text(), QStringLiteral("zendrik@example.org"));

        CLinkStatic* beta = about.dlg.m_stBetaInfo;
        QCOMPARE(beta->TextColor(), QColor(128, 0, 128));
        QVERIFY(beta->font().bold());
        QVERIFY(!beta->font().underline());
        QCOMPARE(beta->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(beta->font().pixelSize(), 11);
        QVERIFY(beta->Link().isEmpty());
        QVERIFY(!beta->testAttribute(Qt::WA_SetCursor));  // the ordinary pointer
        // Clicks pass through to the box, as on any plain text.
        QVERIFY(beta->testAttribute(Qt::WA_TransparentForMouseEvents));
        QVERIFY(!about.dlg.m_stMailLink->testAttribute(Qt::WA_TransparentForMouseEvents));
    }

    void betaNotesReadExactly() {
        ShownAbout about;
        const QString dot(QChar(0xB7));
        const QString expected =
            "BETA Information:\n"
            "This is a beta Version to evaluate the RS200/CS200 Data.\n" +
            dot + "  Choose Monitor Type \"Polar CS200/RS200 (beta test)\"\n" + dot +
            "  after recording use \"Close\" button if the dialog does not close\n" + dot +
            "  CRC is still not active (didn't find CRC Data)\n"
            "\n"
            "If you would like to help me adding CS200/RS200 support please send some\"SonicLink "
            "dump files\" recorded with this beta version to email above.\n"
            "Use the save button (Ctrl+S) and choose filetype \"SonicLink Dump Files (*.sld)\".\n"
            "Specially I am looking for data with different number of exercises (1..16).\n"
            "Add information about the watch model, nr. of exercises, recording troubles, "
            "validity of the decoded data and other exercise details.\n"
            "You may use the sld-files with future versions that will decode additional data.\n"
            "\n"
            "ALL watch models:\n"
            "Please send feedback about the usability of the generated CSV files.\n"
            "\n"
            "thank you for testing and support!\n";
        QCOMPARE(about.dlg.m_stBetaInfo->text(), expected);
        QStringList labels;
        for (QLabel* label : about.dlg.findChildren<QLabel*>()) labels << label->text();
        QVERIFY(labels.contains("Zendrik   Version 1.09 beta 9"));
        QVERIFY(labels.contains("Please report any feedback to: "));
        QVERIFY(labels.contains("Get the latest version at:"));
        QCOMPARE(about.dlg.windowTitle(), QStringLiteral("About Zendrik"));
    }

    void aboutCommandShowsTheBoxModallyUntilOk() {
        {
            QSettings store(QStringLiteral("qlx"), QStringLiteral("Zendrik"));
            store.clear();
        }
        CZendrikApp& app = *static_cast<CZendrikApp*>(QCoreApplication::instance());
        app.m_settings = Settings{};
        // Plays the user inside the box's own modal loop: notes what it sees and presses OK.
        QStringList seen;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto* about = qobject_cast<CAboutDialog*>(QApplication::activeModalWidget());
            if (!about) return;
            auto* ok = qobject_cast<QPushButton*>(about->GetDlgItem(1));
            seen << QStringLiteral("%1 modal=%2 owner=%3 default=%4")
                        .arg(about->windowTitle())
                        .arg(about->isModal())
                        .arg(about->parentWidget() == app.MainFrame())
                        .arg(ok->isDefault());
            ok->click();
        });
        poll.start(5);
        QVERIFY(app.InitInstance({"zendrik"}));
        // The box comes up by itself once the loop runs, and again on the command.
        QVERIFY(QTest::qWaitFor([&] { return seen.size() == 1; }));
        emit app.MainFrame()->aboutRequested();
        QCOMPARE(seen, QStringList(2, QStringLiteral("About Zendrik modal=1 owner=1 default=1")));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        poll.stop();
        app.ExitInstance(0);
    }

    void screenshot() {
        const QString dir = ScreenshotDir();
        if (dir.isEmpty()) QSKIP("set ZENDRIK_SCREENSHOT_DIR to write the README screenshot");
        ShownAbout about;
        QVERIFY(QTest::qWaitForWindowExposed(&about.dlg));
        QVERIFY(SaveWindowPng(&about.dlg, dir + "/about-dialog.png"));
    }
};

ZENDRIK_GUI_TEST(AboutDialogTest);
#include "about_dialog_test.moc"
