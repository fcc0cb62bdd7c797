// The About box: name and version, the maker's mail and web links, and the beta-test notes.
#pragma once

#include <QDialog>
#include <QHash>

namespace zendrik {

class LinkStatic;

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    // Control ids of the box, as its layout numbers them.
    enum { IDC_MAIL_LINK = 1001, IDC_WEB_LINK = 1003, IDC_BETA_INFO = 1010 };

    explicit AboutDialog(QWidget* parent = nullptr);

    // Fills in the links and the beta notes; true lets the default button take the focus.
    bool OnInitDialog();
    // Shows the box modally until OK (or closing it); returns QDialog::Accepted or Rejected.
    int DoModal();

    // The control with a layout id (1 is OK), or nullptr.
    QWidget* GetDlgItem(int id) const { return m_controls.value(id); }

    LinkStatic* m_betaInfo = nullptr;
    LinkStatic* m_webLink = nullptr;
    LinkStatic* m_mailLink = nullptr;

private:
    QHash<int, QWidget*> m_controls;
};

// The maker's contact address, as the mail link shows it.
inline constexpr const char* kMakerMail = "zendrik@example.org";
// The maker's web page.
inline constexpr const char* kMakerWebPage = "https://example.org/zendrik/";

}  // namespace zendrik
