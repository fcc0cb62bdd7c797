#include "app/transfer_picker.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "zendrik/families.h"
#include "document/document.h"

namespace zendrik {

namespace {

// Rows shown before the list scrolls: enough for the usual few transfers, little of the report.
constexpr int kRowsShown = 4;

QString TwoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

// Minutes and seconds: 1:05.
QString MinutesSeconds(double seconds) {
    const long long whole = static_cast<long long>(seconds + 0.5);
    return QStringLiteral("%1:%2").arg(whole / 60).arg(TwoDigits(static_cast<int>(whole % 60)));
}

}  // namespace

TransferPicker::TransferPicker(QWidget* parent) : QWidget(parent) {
    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({tr("Transfer"), tr("Watch"), tr("Date"), tr("Start time"), tr("Length"),
                             tr("In the recording")});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_saveAll = new QPushButton(tr("Save All..."), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_saveAll);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item) emit transferChosen(m_list->indexOfTopLevelItem(item));
    });
    connect(m_saveAll, &QPushButton::clicked, this, &TransferPicker::saveAllRequested);
    hide();
}

void TransferPicker::Fill(const Document& data) {
    const QSignalBlocker quiet(m_list);
    m_list->clear();
    if (data.Recorded().size() < 2) {
        hide();
        return;
    }
    for (std::size_t i = 0; i < data.Recorded().size(); ++i) {
        const RecordedTransfer& recorded = data.Recorded()[i];
        const zendrik::Transfer transfer = data.DecodeRecordedTransfer(i);
        const zendrik::Family* family = zendrik::FamilyOfStream(recorded.bytes);
        QStringList columns{QString::number(i + 1),
                            family ? QString::fromLatin1(family->displayName) : tr("unknown")};
        if (transfer.exercise) {
            const zendrik::LocalDateTime& start = transfer.exercise->start;
            const long long tenths = transfer.exercise->duration;
            columns << QStringLiteral("%1-%2-%3").arg(start.year).arg(TwoDigits(start.month)).arg(TwoDigits(start.day))
                    << QStringLiteral("%1:%2:%3").arg(TwoDigits(start.hour)).arg(TwoDigits(start.minute))
                           .arg(TwoDigits(start.second))
                    << QStringLiteral("%1:%2:%3").arg(tenths / 36000).arg(TwoDigits(static_cast<int>(tenths / 600 % 60)))
                           .arg(TwoDigits(static_cast<int>(tenths / 10 % 60)));
        } else {
            columns << tr("not valid") << QString() << QString();
        }
        columns << tr("%1 for %2").arg(MinutesSeconds(recorded.startSeconds), MinutesSeconds(recorded.seconds));
        m_list->addTopLevelItem(new QTreeWidgetItem(columns));
    }
    m_list->setCurrentItem(m_list->topLevelItem(0));
    show();
}

int TransferPicker::Chosen() const {
    QTreeWidgetItem* item = m_list->currentItem();
    return item ? m_list->indexOfTopLevelItem(item) : 0;
}

int TransferPicker::PreferredHeight() const {
    const int row = m_list->fontMetrics().height() + 6;
    return m_list->header()->sizeHint().height() + kRowsShown * row + m_saveAll->sizeHint().height() + 18;
}

}  // namespace zendrik
