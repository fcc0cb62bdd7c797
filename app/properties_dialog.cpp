#include "app/properties_dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/commands.h"
#include "app/dialog_units.h"
#include "app/settings.h"
#include "app/user_prompts.h"
#include "zendrik/families.h"

namespace zendrik {

namespace {

QString ModelNameForCode(int code) {
    return QString::fromLatin1(WatchModelName(code));
}

// Codes 1 and 3 share a name; a name always finds the first of them in the family table.
int ModelCodeForName(const QString& name) {
    for (const zendrik::Family& family : zendrik::Families()) {
        if (QString::fromLatin1(family.displayName) == name) return family.code;
    }
    return 0;
}

// Checks the button with the index `index`; any other value leaves none checked.
void SetRadio(QButtonGroup* group, int index) {
    if (QAbstractButton* button = group->button(index)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group refuses to uncheck its last checked button.
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons()) button->setChecked(false);
    group->setExclusive(true);
}

// A separator setting as the one character its low byte stands for; 0 is an empty field.
QString SeparatorText(std::int32_t setting) {
    const auto code = static_cast<unsigned char>(setting & 0xFF);
    return code ? QString(QChar(code)) : QString();
}

// The first character of a field as a signed 8-bit code (Latin-1; others become '?'), 0 when
// the field is empty.
std::int32_t SeparatorSetting(const QString& text) {
    if (text.isEmpty()) return 0;
    return static_cast<std::int8_t>(text.left(1).toLatin1().at(0));
}

bool StartsWith(const QString& text, QChar c) {
    return !text.isEmpty() && text.front() == c;
}

}  // namespace

PropertiesDialog::PropertiesDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Zendrik Properties"));
    setFont(TemplateFont());
    const DialogUnits du(font());
    setFixedSize(du.X(186), du.Y(236));

    // Controls are made in tab order; later ones lie above the group boxes that frame them.
    auto groupBox = [&](const char* title, int l, int t, int w, int h) {
        auto* box = new QGroupBox(QString::fromLatin1(title), this);
        box->setGeometry(du.Rect(l, t, w, h));
    };
    auto label = [&](const char* text, int l, int t, int w, int h) {
        auto* item = new QLabel(QString::fromLatin1(text), this);
        item->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        item->setGeometry(du.Rect(l, t, w, h));
    };
    auto radio = [&](QButtonGroup* group, int id, const char* text, int l, int t, int w, int h) {
        auto* button = new QRadioButton(QString::fromLatin1(text), this);
        button->setGeometry(du.Rect(l, t, w, h));
        group->addButton(button, static_cast<int>(group->buttons().size()));
        m_controls.insert(id, button);
    };
    auto edit = [&](int id, int l, int t, int w, int h) {
        auto* field = new QLineEdit(this);
        field->setGeometry(du.Rect(l, t, w, h));
        m_controls.insert(id, field);
        return field;
    };
    auto pushButton = [&](int id, const char* text, int l, int t, int w, int h) {
        auto* button = new QPushButton(QString::fromLatin1(text), this);
        button->setGeometry(du.Rect(l, t, w, h));
        m_controls.insert(id, button);
        return button;
    };
    m_displayModeGroup = new QButtonGroup(this);
    m_csvSeparatorGroup = new QButtonGroup(this);
    m_hrmFormatGroup = new QButtonGroup(this);
    m_valueFormatGroup = new QButtonGroup(this);

    groupBox("HR Monitor Type", 5, 5, 175, 30);
    m_modelList = new QComboBox(this);
    // The list drops down below the field; the field itself is as high as the style makes it.
    m_modelList->setGeometry(du.X(10), du.Y(15), du.X(160), m_modelList->sizeHint().height());
    m_controls.insert(IDC_MODEL, m_modelList);
    groupBox("Display as", 5, 40, 175, 25);
    radio(m_displayModeGroup, IDC_DISPLAY_HRM, "&HRM", 10, 50, 33, 10);
    radio(m_displayModeGroup, IDC_DISPLAY_CSV, "&CSV", 90, 50, 30, 10);
    groupBox("HRM Format", 5, 70, 175, 25);
    radio(m_hrmFormatGroup, IDC_HRM_ENHANCED, "&Enhanced", 10, 80, 45, 10);
    // Only the RS200/CS200 has a Polar Compatible form; the note beside the choice says so, and
    // the others are shown in the Enhanced form whatever is chosen.
    radio(m_hrmFormatGroup, IDC_HRM_COMPATIBLE, "&Polar Compatible", 57, 80, 69, 10);
    label("(RS200/CS200)", 127, 81, 52, 8);
    m_controls.value(IDC_HRM_COMPATIBLE)
        ->setToolTip(QStringLiteral("Only RS200/CS200 reports have a Polar Compatible form; the "
                                    "others are shown and saved in the Enhanced form."));
    groupBox("CSV Options", 5, 100, 175, 110);
    groupBox("CSV Separator", 10, 110, 70, 60);
    radio(m_csvSeparatorGroup, IDC_SEPARATOR_SEMICOLON, "&Semicolon  ( ; )", 15, 120, 63, 10);
    radio(m_csvSeparatorGroup, IDC_SEPARATOR_COMMA, "C&omma  ( , )", 15, 130, 53, 10);
    radio(m_csvSeparatorGroup, IDC_SEPARATOR_TAB, "&Tabulator", 15, 140, 46, 10);
    groupBox("Value Format", 85, 110, 90, 60);
    radio(m_valueFormatGroup, IDC_REGIONAL_SETTINGS, "Regional Settings", 90, 120, 71, 10);
    radio(m_valueFormatGroup, IDC_HRM_FORMATTING, "HRM Formatting", 90, 130, 67, 10);
    radio(m_valueFormatGroup, IDC_CUSTOM_SEPARATORS, "Custom Separators", 90, 140, 75, 10);
    m_noTenthsBox = new QCheckBox(QStringLiteral("Disable 1/10 sec."), this);
    m_noTenthsBox->setGeometry(du.Rect(90, 155, 72, 10));
    m_controls.insert(IDC_DISABLE_10TH, m_noTenthsBox);
    groupBox("Custom Separators", 10, 175, 165, 30);
    label("Decimal:", 15, 190, 28, 8);
    m_customDecimalEdit = edit(IDC_CUSTOM_DECIMAL, 48, 188, 15, 12);
    label("Time:", 75, 190, 18, 8);
    m_customTimeEdit = edit(IDC_CUSTOM_TIME, 95, 188, 15, 12);
    label("Date:", 120, 190, 18, 8);
    m_customDateEdit = edit(IDC_CUSTOM_DATE, 144, 188, 15, 12);
    QPushButton* ok = pushButton(1, "OK", 75, 215, 50, 14);
    ok->setDefault(true);
    QPushButton* cancel = pushButton(2, "Cancel", 130, 215, 50, 14);

    // Only a choice the user makes counts; filling the list and selecting by code does not.
    connect(m_modelList, &QComboBox::activated, this, &PropertiesDialog::OnSelchangeModel);
    connect(ok, &QPushButton::clicked, this, &PropertiesDialog::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void PropertiesDialog::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        m_displayMode = m_displayModeGroup->checkedId();
        m_csvSeparator = m_csvSeparatorGroup->checkedId();
        m_hrmFormat = m_hrmFormatGroup->checkedId();
        m_customDate = m_customDateEdit->text();
        m_customDecimal = m_customDecimalEdit->text();
        m_valueFormat = m_valueFormatGroup->checkedId();
        m_customTime = m_customTimeEdit->text();
        m_disableTenths = m_noTenthsBox->isChecked() ? 1 : 0;
        return;
    }
    SetRadio(m_displayModeGroup, m_displayMode);
    SetRadio(m_csvSeparatorGroup, m_csvSeparator);
    SetRadio(m_hrmFormatGroup, m_hrmFormat);
    m_customDateEdit->setText(m_customDate);
    m_customDecimalEdit->setText(m_customDecimal);
    SetRadio(m_valueFormatGroup, m_valueFormat);
    m_customTimeEdit->setText(m_customTime);
    m_noTenthsBox->setChecked(m_disableTenths != 0);
}

bool PropertiesDialog::OnInitDialog() {
    UpdateData(false);
    m_modelList->clear();
    for (const zendrik::Family* family : zendrik::ListedFamilies()) {
        m_modelList->addItem(QString::fromLatin1(family->displayName));
    }

    // The first item beginning with the name, searching from the second item on and wrapping
    // round. A code outside the table has no name, and then nothing is selected.
    m_modelName = ModelNameForCode(m_watchModel);
    int selected = -1;
    const int count = m_modelList->count();
    for (int step = 1; !m_modelName.isEmpty() && step <= count; ++step) {
        const int index = step % count;
        if (m_modelList->itemText(index).startsWith(m_modelName, Qt::CaseInsensitive)) {
            selected = index;
            break;
        }
    }
    m_modelList->setCurrentIndex(selected);

    UpdateData(false);
    return true;
}

void PropertiesDialog::OnSelchangeModel() {
    UpdateData(true);
    const int code = ModelCodeForName(m_modelList->currentText());
    if (code != 0 && code != m_watchModel) {
        m_watchModel = code;
        m_modelName = ModelNameForCode(code);
    }
}

void PropertiesDialog::OnOK() {
    UpdateData(true);
    if ((m_csvSeparator == 0 || m_csvSeparator == 1) && m_valueFormat == kCustomSeparators) {
        const QChar csv = m_csvSeparator == 0 ? u';' : u',';
        if (StartsWith(m_customDecimal, csv) || StartsWith(m_customTime, csv) ||
            StartsWith(m_customDate, csv)) {
            Prompts().Tell(this, QMessageBox::Critical, QStringLiteral("Invalid Properties"),
                               QStringLiteral("Custom Separators must differ the CSV Separator"));
            return;
        }
    }
    UpdateData(true);
    accept();
}

int PropertiesDialog::DoModal() {
    OnInitDialog();
    return exec();
}

void EditProperties(Settings& settings, QWidget* mainWindow) {
    const Settings before = settings;
    {
        PropertiesDialog dlg(mainWindow);
        dlg.m_watchModel = settings.WatchModel;
        dlg.m_comPort = settings.ComPort;
        dlg.m_displayMode = settings.DisplayMode;
        dlg.m_csvSeparator = settings.CsvSeparator;
        dlg.m_hrmFormat = settings.HrmFormat;
        dlg.m_valueFormat = settings.ValueFormat;
        dlg.m_disableTenths = settings.Disable10thSeconds;
        dlg.m_customDecimal = SeparatorText(settings.DecimalSeparator);
        dlg.m_customTime = SeparatorText(settings.TimeSeparator);
        dlg.m_customDate = SeparatorText(settings.DateSeparator);
        if (dlg.DoModal() != QDialog::Accepted) return;

        settings.WatchModel = dlg.m_watchModel;
        settings.ComPort = dlg.m_comPort;
        settings.DisplayMode = dlg.m_displayMode;
        settings.CsvSeparator = dlg.m_csvSeparator;
        settings.HrmFormat = dlg.m_hrmFormat;
        settings.ValueFormat = dlg.m_valueFormat;
        settings.Disable10thSeconds = dlg.m_disableTenths;
        settings.DecimalSeparator = SeparatorSetting(dlg.m_customDecimal);
        settings.TimeSeparator = SeparatorSetting(dlg.m_customTime);
        settings.DateSeparator = SeparatorSetting(dlg.m_customDate);
    }

    // The model, the port and the CSV separator only count for the next reading or save. With
    // custom separators every OK re-shows, since the characters themselves may have changed;
    // the view re-renders only when they did.
    // Like the view, every display mode but CSV counts as HRM.
    bool reshow = settings.DisplayMode != before.DisplayMode;
    if (settings.DisplayMode != kDisplayCsv) {
        reshow = reshow || settings.HrmFormat != before.HrmFormat;
    } else {
        reshow = reshow || settings.ValueFormat != before.ValueFormat ||
                 settings.Disable10thSeconds != before.Disable10thSeconds ||
                 settings.ValueFormat == kCustomSeparators;
    }
    if (!reshow || !mainWindow) return;
    // Sent, not posted: the report is on screen again before the command returns. Windows of
    // their own (menus, tooltips) that happen to hang off the main window are left out.
    for (QWidget* child : mainWindow->findChildren<QWidget*>()) {
        if (child->window() != mainWindow) continue;
        QEvent update(kUpdateDisplayEvent);
        QCoreApplication::sendEvent(child, &update);
    }
}

}  // namespace zendrik
