#include "app/about_dialog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "app/dialog_units.h"
#include "app/icons.h"
#include "app/link_static.h"
#include "zendrik_version.h"

namespace zendrik {

namespace {

QLabel* AddLabel(QWidget* parent, const DialogUnits& du, const QString& text, QRect rect) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(du.Rect(rect.x(), rect.y(), rect.width(), rect.height()));
    return label;
}

void AddGroupBox(QWidget* parent, const DialogUnits& du, QRect rect) {
    auto* box = new QGroupBox(parent);
    box->setGeometry(du.Rect(rect.x(), rect.y(), rect.width(), rect.height()));
}

LinkStatic* AddLinkStatic(QWidget* parent, const DialogUnits& du, const QString& text,
                           QRect rect) {
    auto* link = new LinkStatic(parent);
    link->setText(text);
    link->setGeometry(du.Rect(rect.x(), rect.y(), rect.width(), rect.height()));
    return link;
}

// The addresses are this program's own and longer than the texts the layout was drawn for:
// their controls grow to the right to hold them on one line.
void FitToText(QLabel* label) {
    label->setWordWrap(false);
    label->resize(qMax(label->width(), label->sizeHint().width()), label->height());
}

// Each line ends in a line feed; the bullets are the Latin-1 middle dot.
QString BetaText() {
    const QChar bullet(0xB7);
    QString text;
    for (const QString& line : {
             QStringLiteral("BETA Information:"),
             QStringLiteral("This is a beta Version to evaluate the RS200/CS200 Data."),
             bullet + QStringLiteral("  Choose Monitor Type \"Polar CS200/RS200 (beta test)\""),
             bullet + QStringLiteral(
                          "  after recording use \"Close\" button if the dialog does not close"),
             bullet + QStringLiteral("  CRC is still not active (didn't find CRC Data)"),
             QString(),
             QStringLiteral("If you would like to help me adding CS200/RS200 support please send "
                            "some\"SonicLink dump files\" recorded with this beta version to email "
                            "above."),
             QStringLiteral("Use the save button (Ctrl+S) and choose filetype \"SonicLink Dump "
                            "Files (*.sld)\"."),
             QStringLiteral("Specially I am looking for data with different number of exercises "
                            "(1..16)."),
             QStringLiteral("Add information about the watch model, nr. of exercises, recording "
                            "troubles, validity of the decoded data and other exercise details."),
             QStringLiteral("You may use the sld-files with future versions that will decode "
                            "additional data."),
             QString(),
             QStringLiteral("ALL watch models:"),
             QStringLiteral("Please send feedback about the usability of the generated CSV files."),
             QString(),
             QStringLiteral("thank you for testing and support!"),
         }) {
        text += line + u'\n';
    }
    return text;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Zendrik"));
    setFont(TemplateFont());
    const DialogUnits du(font());
    setFixedSize(du.X(302), du.Y(262));

    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(32, 32));
    icon->setGeometry(du.X(10), du.Y(10), 32, 32);  // an icon keeps its own size
    AddLabel(this, du, QStringLiteral("Zendrik   Version " ZENDRIK_VERSION_TEXT), {40, 10, 110, 8});
    AddLabel(this, du, QStringLiteral("Copyright \u00A9 2026\nZendrik developers"),
             {40, 25, 185, 18});
    AddGroupBox(this, du, {5, 45, 225, 35});
    AddLabel(this, du, QStringLiteral("Please report any feedback to: "), {10, 55, 107, 10});
    m_mailLink = AddLinkStatic(this, du, QString::fromLatin1(kMakerMail), {119, 55, 66, 10});
    AddLabel(this, du, QStringLiteral("Get the latest version at:"), {30, 65, 85, 10});
    m_webLink = AddLinkStatic(this, du, QString::fromLatin1(kMakerWebPage), {119, 65, 56, 10});
    FitToText(m_mailLink);
    FitToText(m_webLink);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(du.Rect(178, 7, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    AddGroupBox(this, du, {5, 81, 295, 176});
    m_betaInfo = AddLinkStatic(this, du, QString(), {10, 90, 285, 165});

    m_controls = {{IDC_MAIL_LINK, m_mailLink},
                  {IDC_WEB_LINK, m_webLink},
                  {1, ok},
                  {IDC_BETA_INFO, m_betaInfo}};
}

bool AboutDialog::OnInitDialog() {
    // The box's colours were chosen for a light window; on a dark one the blue links would read
    // at 1.7:1 and the violet notes hardly better, so lighter tones of the same hues stand in.
    const bool darkWindow = palette().color(QPalette::Window).lightness() < 128;
    const QColor blue = darkWindow ? QColor(138, 180, 248) : QColor(0, 0, 255);
    const QColor violet = darkWindow ? QColor(221, 160, 221) : QColor(128, 0, 128);
    m_mailLink->SetColor(blue);
    m_mailLink->SetUnderline(1);
    m_mailLink->SetLink(QStringLiteral("mailto:") + QString::fromLatin1(kMakerMail));

    m_webLink->SetColor(blue);
    m_webLink->SetUnderline(1);
    m_webLink->SetLink(QString::fromLatin1(kMakerWebPage));

    m_betaInfo->SetFontName(QStringLiteral("Tahoma"));
    m_betaInfo->SetFontSize(11);
    m_betaInfo->SetColor(violet);
    m_betaInfo->SetBold(1);
    m_betaInfo->setText(BetaText());

    // The beta notes keep the ordinary pointer: they are no link.
    const QCursor hand(Qt::PointingHandCursor);
    m_mailLink->SetLinkCursor(hand);
    m_webLink->SetLinkCursor(hand);
    return true;
}

int AboutDialog::DoModal() {
    OnInitDialog();
    return exec();
}

}  // namespace zendrik
