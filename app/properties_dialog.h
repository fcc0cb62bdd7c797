// The Properties dialog: watch model, display and export formats, value separators.
#pragma once

#include <QDialog>
#include <QHash>
#include <QString>
#include <cstdint>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;

namespace zendrik {

struct Settings;

class PropertiesDialog : public QDialog {
    Q_OBJECT
public:
    // Control ids of the dialog, as its layout numbers them.
    enum {
        IDC_MODEL = 1009,
        IDC_DISPLAY_HRM = 1011,
        IDC_DISPLAY_CSV = 1012,
        IDC_SEPARATOR_SEMICOLON = 1013,
        IDC_SEPARATOR_COMMA = 1014,
        IDC_SEPARATOR_TAB = 1015,
        IDC_HRM_ENHANCED = 1016,
        IDC_HRM_COMPATIBLE = 1017,
        IDC_DISABLE_10TH = 1018,
        IDC_REGIONAL_SETTINGS = 1019,
        IDC_HRM_FORMATTING = 1020,
        IDC_CUSTOM_SEPARATORS = 1021,
        IDC_CUSTOM_DECIMAL = 1023,
        IDC_CUSTOM_TIME = 1024,
        IDC_CUSTOM_DATE = 1025,
    };

    explicit PropertiesDialog(QWidget* parent = nullptr);

    // Fills the model list, selects the model of m_watchModel (nothing for an unknown code)
    // and shows the members in the controls; true lets the first control take the focus.
    bool OnInitDialog();
    // The user picked a model: m_watchModel follows it.
    void OnSelchangeModel();
    // Ends the dialog with OK, unless a custom separator equals the chosen CSV separator.
    void OnOK();
    // Shows the dialog modally; returns QDialog::Accepted for OK, else QDialog::Rejected.
    int DoModal();

    // Moves the members into the controls (false) or the controls into the members (true).
    void UpdateData(bool saveAndValidate);
    // The control with a layout id (1 is OK, 2 Cancel), or nullptr.
    QWidget* GetDlgItem(int id) const { return m_controls.value(id); }

    QString m_modelName;
    std::int32_t m_watchModel = 1;
    std::int32_t m_comPort = 0;
    QComboBox* m_modelList = nullptr;
    std::int32_t m_displayMode = -1;
    std::int32_t m_csvSeparator = -1;
    std::int32_t m_hrmFormat = -1;
    QString m_customDate;
    QString m_customDecimal;
    std::int32_t m_valueFormat = -1;
    QString m_customTime;
    std::int32_t m_disableTenths = 0;

private:
    QButtonGroup* m_displayModeGroup = nullptr;
    QButtonGroup* m_csvSeparatorGroup = nullptr;
    QButtonGroup* m_hrmFormatGroup = nullptr;
    QButtonGroup* m_valueFormatGroup = nullptr;
    QLineEdit* m_customDateEdit = nullptr;
    QLineEdit* m_customDecimalEdit = nullptr;
    QLineEdit* m_customTimeEdit = nullptr;
    QCheckBox* m_noTenthsBox = nullptr;
    QHash<int, QWidget*> m_controls;
};

// The Properties command: runs the dialog over `mainWindow` with a copy of `settings`, stores
// the result on OK and, when the shown report depends on what changed, has every window inside
// `mainWindow` show it again before returning.
void EditProperties(Settings& settings, QWidget* mainWindow);

}  // namespace zendrik
