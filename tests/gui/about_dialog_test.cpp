// The About box as a user meets it: its texts, its links, what can be read in it, the keyboard, and
// the application's About command.
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <memory>

#include "app/about_dialog.h"
#include "app/link_static.h"
#include "app/main_frame.h"
#include "app/zendrik_app.h"
#include "gui_test_registry.h"
#include "window_grab.h"

using namespace zendrik;

namespace {

// Catches what would go to the desktop's link handler.
struct LinkRecorder {
    QStringList opened;
    LinkRecorder() {
        SetLinkOpener([this](const QUrl& url) { opened << url.toString(); });
    }
    ~LinkRecorder() { SetLinkOpener({}); }
};

struct ShownAbout {
    AboutDialog dlg;
    ShownAbout() {
        dlg.OnInitDialog();
        dlg.show();
    }
};

}  // namespace

class AboutDialogTest : public QObject {
    Q_OBJECT
private slots:
    // Each link opens the address it shows (the mail one as a mail address); only a left click
    // does, with the hand as pointer over it; the beta notes are no link.
    void linksOpenWhatTheyShowAndTheBetaNotesOpenNothing() {
        ShownAbout about;
        QVERIFY(QTest::qWaitForWindowExposed(&about.dlg));
        LinkRecorder links;
        for (LinkStatic* link : {about.dlg.m_mailLink, about.dlg.m_webLink}) {
            QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
            QTest::mouseClick(link, Qt::LeftButton);
        }
        QCOMPARE(links.opened, (QStringList{"mailto:" + about.dlg.m_mailLink->text(),
                                            about.dlg.m_webLink->text()}));
        QVERIFY(QUrl(links.opened[1]).scheme().startsWith(QStringLiteral("http")));
        QTest::mouseClick(about.dlg.m_mailLink, Qt::RightButton);
        QTest::mouseClick(about.dlg.m_betaInfo, Qt::LeftButton);
        QCOMPARE(links.opened.size(), 2);
        QCOMPARE(about.dlg.m_betaInfo->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(about.dlg.isVisible());
    }

    // The texts the box must show word for word.
    void textsReadAsQuoted() {
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
        QCOMPARE(about.dlg.m_betaInfo->text(), expected);
        QStringList labels;
        for (QLabel* label : about.dlg.findChildren<QLabel*>()) labels << label->text();
        QVERIFY(labels.contains("Zendrik   Version 1.09 beta 9"));
        QVERIFY(labels.contains("Please report any feedback to: "));
        QVERIFY(labels.contains("Get the latest version at:"));
        QCOMPARE(about.dlg.windowTitle(), QStringLiteral("About Zendrik"));
    }

    // Measured on the rendered box under a light and a dark palette: every text, the links and
    // the beta notes included, stands out 4.5:1 or more from what it is drawn on.
    void everyTextIsReadableOnItsBackground() {
        const QPalette light = QApplication::palette();
        // Whatever fails, the tests after this one get the light palette back.
        const std::shared_ptr<void> restore(nullptr, [&](void*) { QApplication::setPalette(light); });
        for (const bool dark : {false, true}) {
            QApplication::setPalette(dark ? DarkPalette() : light);
            ShownAbout about;
            QVERIFY(QTest::qWaitForWindowExposed(&about.dlg));
            const QImage image = about.dlg.grab().toImage();
            int measured = 0;
            for (QLabel* label : about.dlg.findChildren<QLabel*>()) {
                if (label->text().isEmpty()) continue;  // the icon
                const QRect area(label->mapTo(&about.dlg, QPoint(0, 0)), label->size());
                const QColor background = CommonColour(image, area);
                double best = 1;
                for (int y = area.top(); y <= area.bottom(); ++y) {
                    for (int x = area.left(); x <= area.right(); ++x) {
                        best = std::max(best, Contrast(image.pixelColor(x, y), background));
                    }
                }
                QVERIFY2(best >= 4.5, qPrintable(QStringLiteral("\"%1\": %2:1 on %3%4")
                                                     .arg(label->text().left(20))
                                                     .arg(best, 0, 'f', 2)
                                                     .arg(background.name())
                                                     .arg(dark ? " (dark)" : "")));
                ++measured;
            }
            QCOMPARE(measured, 7);
        }
    }

    // At the size it opens with, the box holds every control, and every text has the room it
    // needs: nothing is cut off.
    void theBoxFitsItsContentAtTheFirstSize() {
        ShownAbout about;
        QVERIFY(QTest::qWaitForWindowExposed(&about.dlg));
        const QRect box = about.dlg.rect();
        for (QWidget* child : about.dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            QVERIFY2(box.contains(child->geometry()), qPrintable(child->metaObject()->className()));
            auto* label = qobject_cast<QLabel*>(child);
            if (!label || label->text().isEmpty()) continue;
            const QSize needed = label->wordWrap()
                                     ? QSize(label->width(), label->heightForWidth(label->width()))
                                     : label->sizeHint();
            QVERIFY2(needed.width() <= label->width() && needed.height() <= label->height(),
                     qPrintable(QStringLiteral("\"%1\" needs %2x%3 in %4x%5")
                                    .arg(label->text().left(20))
                                    .arg(needed.width())
                                    .arg(needed.height())
                                    .arg(label->width())
                                    .arg(label->height())));
        }
    }

    // Enter presses OK; Escape closes the box as well.
    void theKeyboardClosesTheBox() {
        for (const auto& [key, result] : {std::pair{Qt::Key_Return, int(QDialog::Accepted)},
                                          std::pair{Qt::Key_Escape, int(QDialog::Rejected)}}) {
            ShownAbout about;
            QVERIFY(QTest::qWaitForWindowExposed(&about.dlg));
            about.dlg.activateWindow();
            QTest::keyClick(&about.dlg, key);
            QVERIFY(!about.dlg.isVisible());
            QCOMPARE(about.dlg.result(), result);
        }
    }

    void aboutCommandShowsTheBoxModallyUntilOk() {
        {
            QSettings store(QStringLiteral("qlx"), QStringLiteral("Zendrik"));
            store.clear();
        }
        ZendrikApp& app = *static_cast<ZendrikApp*>(QCoreApplication::instance());
        app.m_settings = Settings{};
        // Plays the user inside the box's own modal loop: notes what it sees and presses OK.
        QStringList seen;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
            if (!about) return;
            auto* ok = qobject_cast<QPushButton*>(about->GetDlgItem(1));
            seen << QStringLiteral("%1 modal=%2 owner=%3 default=%4")
                        .arg(about->windowTitle())
                        .arg(about->isModal())
                        .arg(about->parentWidget() == app.MainWindow())
                        .arg(ok->isDefault());
            ok->click();
        });
        poll.start(5);
        QVERIFY(app.InitInstance({"zendrik"}));
        // The box comes up by itself once the loop runs, and again on the command.
        QVERIFY(QTest::qWaitFor([&] { return seen.size() == 1; }));
        emit app.MainWindow()->aboutRequested();
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
