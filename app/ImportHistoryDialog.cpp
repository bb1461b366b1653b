#include "app/ImportHistoryDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

ImportHistoryDialog::ImportHistoryDialog(const QVector<LedgerBatch>& batches,
                                         std::function<void(const LedgerBatch&)> open, QWidget* parent)
    : QDialog(parent), m_batches(batches), m_open(std::move(open))
{
    setObjectName(QStringLiteral("ImportHistory"));
    setWindowTitle(QStringLiteral("导入记录"));
    setSizeGripEnabled(true);
    resize(760, 360);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("Batches"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels({QStringLiteral("开始时间"), QStringLiteral("类型"), QStringLiteral("文件"),
                             QStringLiteral("成功"), QStringLiteral("失败"), QStringLiteral("未处理"),
                             QStringLiteral("新增"), QStringLiteral("更新"), QStringLiteral("未变化"),
                             QStringLiteral("操作员")});
    for (const LedgerBatch& batch : m_batches)
    {
        auto* item = new QTreeWidgetItem(
            m_list, QStringList{LocalTimeText(batch.startedAt), KindText(batch.kind),
                                QString::number(batch.listed), QString::number(batch.imported),
                                QString::number(batch.failed), QString::number(batch.unprocessed),
                                QString::number(batch.added), QString::number(batch.updated),
                                QString::number(batch.unchanged), OperatorText(batch)});
        if (batch.endedAt.isEmpty())
            item->setToolTip(0, QStringLiteral("这一批次没有正常结束"));
    }
    for (int column = 0; column < m_list->columnCount(); ++column)
        m_list->resizeColumnToContents(column);
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));

    auto* buttons = new QDialogButtonBox(this);
    m_openButton = buttons->addButton(QStringLiteral("打开(&O)"), QDialogButtonBox::ActionRole);
    m_openButton->setObjectName(QStringLiteral("OpenButton"));
    m_openButton->setEnabled(!m_batches.isEmpty());
    m_openButton->setDefault(true);
    QPushButton* close = buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("CloseButton"));
    close->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);

    connect(m_openButton, &QPushButton::clicked, this, &ImportHistoryDialog::OnOpenClicked);
    connect(m_list, &QTreeWidget::itemActivated, this, [this] { OnOpenClicked(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QList<QStringList> ImportHistoryDialog::Rows() const
{
    QList<QStringList> rows;
    for (int row = 0; row < m_list->topLevelItemCount(); ++row)
    {
        QStringList cells;
        for (int column = 0; column < m_list->columnCount(); ++column)
            cells.append(m_list->topLevelItem(row)->text(column));
        rows.append(cells);
    }
    return rows;
}

void ImportHistoryDialog::OpenRow(int row)
{
    if (QTreeWidgetItem* item = m_list->topLevelItem(row))
    {
        m_list->setCurrentItem(item);
        OnOpenClicked();
    }
}

void ImportHistoryDialog::OnOpenClicked()
{
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row >= 0 && row < m_batches.size())
        m_open(m_batches[row]);
}
