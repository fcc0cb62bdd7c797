// Above the report, when a recording holds more than one transfer: the list of them (family,
// exercise date, start time and length, where each sounds in the recording), from which the
// user picks the one the report shows, and "Save All", which writes each into a folder.
#pragma once

#include <QWidget>

class QPushButton;
class QTreeWidget;

namespace zendrik {

class Document;

class TransferPicker : public QWidget {
    Q_OBJECT
public:
    explicit TransferPicker(QWidget* parent);

    // Lists the transfers the document holds, the first one chosen; hidden unless there are
    // two or more.
    void Fill(const Document& data);
    // The transfer chosen in the list (0 when none is).
    int Chosen() const;
    // The height the list and its button take.
    int PreferredHeight() const;

    QTreeWidget* List() const { return m_list; }
    QPushButton* SaveAllButton() const { return m_saveAll; }

signals:
    void transferChosen(int index);
    void saveAllRequested();

private:
    QTreeWidget* m_list = nullptr;
    QPushButton* m_saveAll = nullptr;
};

}  // namespace zendrik
