#include "app/ImportResultsDialog.h"

#include "app/frmFolder.h"
#include "reports/ImportResults.h"
#include "services/CorvaneError.h"
#include "services/MessageSink.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace
{
const int kFileIndexRole = Qt::UserRole + 1;
const int kNeedsActionRole = Qt::UserRole + 2;

QString OneLine(QString text)
{
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString UnitText(const LedgerFile& file)
{
    if (file.unitName.isEmpty())
        return file.unitId;
    return file.unitId.isEmpty() ? file.unitName : file.unitId + QLatin1Char(' ') + file.unitName;
}

QString MessagesText(const LedgerFile& file)
{
    if (file.messages.isEmpty())
        return OutcomeText(file.outcome);
    QStringList parts;
    for (const LedgerMessage& message : file.messages)
    {
        QString part = message.text;
        if (!message.detail.element.isEmpty())
            part += QStringLiteral("\n    元素：") + message.detail.element + QStringLiteral("\n    值：") +
                    message.detail.value;
        parts.append(part);
    }
    return parts.join(QStringLiteral("\n\n"));
}

QStringList ExecFileDialog(QFileDialog& dialog)
{
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}
} // namespace

ImportResultsDialog::ImportResultsDialog(const LedgerBatch& batch, const QVector<LedgerFile>& files,
                                         const QString& templatePath, const QString& saveFolder,
                                         MessageSink& sink, QWidget* parent)
    : QDialog(parent), m_batch(batch), m_files(files), m_templatePath(templatePath), m_saveFolder(saveFolder),
      m_sink(sink), m_runFileDialog(ExecFileDialog),
      m_runFolderDialog([](frmFolder& dialog) { dialog.exec(); })
{
    setObjectName(QStringLiteral("ImportResults"));
    setWindowTitle(QStringLiteral("导入结果"));
    setSizeGripEnabled(true);
    resize(760, 520);

    m_header = new QLabel(HeaderText(), this);
    m_header->setObjectName(QStringLiteral("BatchFacts"));
    m_header->setTextFormat(Qt::PlainText);
    m_header->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_onlyNeedingAction = new QCheckBox(QStringLiteral("只看需要处理的(&A)"), this);
    m_onlyNeedingAction->setObjectName(QStringLiteral("OnlyNeedingAction"));

    m_model = new QStandardItemModel(0, 5, this);
    m_model->setHorizontalHeaderLabels({QStringLiteral("文件"), QStringLiteral("单位"),
                                        QStringLiteral("结果"), QStringLiteral("变化"),
                                        QStringLiteral("原因")});
    m_shown = new QSortFilterProxyModel(this);
    m_shown->setSourceModel(m_model);
    m_shown->setFilterRole(kNeedsActionRole);
    m_shown->setFilterKeyColumn(0);
    m_shown->setSortLocaleAware(true);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("ResultFiles"));
    m_table->setModel(m_shown);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    // Unsorted until the operator clicks a header: the files in the order the batch met them.
    m_table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_table->setSortingEnabled(true);
    m_messages = new QPlainTextEdit(this);
    m_messages->setObjectName(QStringLiteral("FileMessages"));
    m_messages->setReadOnly(true);

    auto* copyRows = new QAction(m_table);
    copyRows->setShortcut(QKeySequence::Copy);
    copyRows->setShortcutContext(Qt::WidgetShortcut);
    m_table->addAction(copyRows);
    connect(copyRows, &QAction::triggered, this, &ImportResultsDialog::OnCopyClicked);

    auto* buttons = new QDialogButtonBox(this);
    m_copy = buttons->addButton(QStringLiteral("复制(&C)"), QDialogButtonBox::ActionRole);
    m_export = buttons->addButton(QStringLiteral("导出(&E)…"), QDialogButtonBox::ActionRole);
    m_exportPerUnit = buttons->addButton(QStringLiteral("按单位导出(&D)…"), QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
    m_copy->setObjectName(QStringLiteral("CopyButton"));
    m_export->setObjectName(QStringLiteral("ExportButton"));
    m_exportPerUnit->setObjectName(QStringLiteral("ExportPerUnitButton"));
    close->setObjectName(QStringLiteral("CloseButton"));
    for (QPushButton* button : {m_copy, m_export, m_exportPerUnit, close})
        button->setAutoDefault(false);
    m_copy->setToolTip(QStringLiteral("复制所选的行，未选时复制列出的全部行"));
    m_export->setToolTip(QStringLiteral("把需要处理的文件写入一个工作簿"));
    m_exportPerUnit->setToolTip(QStringLiteral("每个单位一个工作簿，写入所选的文件夹"));

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(m_table);
    splitter->addWidget(m_messages);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_header);
    layout->addWidget(m_onlyNeedingAction);
    layout->addWidget(splitter, 1);
    layout->addWidget(buttons);

    connect(m_onlyNeedingAction, &QCheckBox::toggled, this,
            [this](bool only) { m_shown->setFilterFixedString(only ? QStringLiteral("1") : QString()); });
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                ShowMessagesOf(
                    current.isValid() ? m_shown->index(current.row(), 0).data(kFileIndexRole).toInt() : -1);
            });
    connect(m_copy, &QPushButton::clicked, this, &ImportResultsDialog::OnCopyClicked);
    connect(m_export, &QPushButton::clicked, this, &ImportResultsDialog::OnExportClicked);
    connect(m_exportPerUnit, &QPushButton::clicked, this, &ImportResultsDialog::OnExportPerUnitClicked);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    Fill();
}

QString ImportResultsDialog::HeaderText() const
{
    const LedgerBatch& b = m_batch;
    QString header = KindText(b.kind) + QStringLiteral("导入  开始 ") + LocalTimeText(b.startedAt) +
                     QStringLiteral("  结束 ") +
                     (b.endedAt.isEmpty() ? QStringLiteral("未结束") : LocalTimeText(b.endedAt));
    header += QStringLiteral("\n操作员 ") + OperatorText(b);
    if (!b.databaseUser.isEmpty())
        header += QStringLiteral("  数据库用户 ") + b.databaseUser;
    header +=
        QStringLiteral("\n共%1个文件：导入成功%2个（新增%3，更新%4，未变化%5），导入失败%6个，未处理%7个")
            .arg(b.listed)
            .arg(b.imported)
            .arg(b.added)
            .arg(b.updated)
            .arg(b.unchanged)
            .arg(b.failed)
            .arg(b.unprocessed);
    if (b.notMoved > 0)
        header += QStringLiteral("，未移走%1个").arg(b.notMoved);
    if (b.notShown > 0)
        header += QStringLiteral("，另有%1条消息未逐个提示").arg(b.notShown);
    return header;
}

void ImportResultsDialog::Fill()
{
    bool anyNeedsAction = false;
    for (int index = 0; index < m_files.size(); ++index)
    {
        const LedgerFile& file = m_files[index];
        QList<QStandardItem*> row;
        for (const QString& text : {file.name, UnitText(file), OutcomeText(file.outcome),
                                    ChangeText(file.change), ReasonText(file)})
            row.append(new QStandardItem(text));
        row[0]->setData(index, kFileIndexRole);
        row[0]->setData(file.NeedsAction() ? QStringLiteral("1") : QStringLiteral("0"), kNeedsActionRole);
        row[1]->setToolTip(file.key.isEmpty() ? QString() : QStringLiteral("标识 ") + file.key);
        row[4]->setToolTip(MessagesText(file));
        m_model->appendRow(row);
        anyNeedsAction = anyNeedsAction || file.NeedsAction();
    }
    // Only refused files go into the workbooks.
    m_export->setEnabled(anyNeedsAction);
    m_exportPerUnit->setEnabled(anyNeedsAction);
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    if (m_shown->rowCount() > 0)
        m_table->setCurrentIndex(m_shown->index(0, 0));
}

void ImportResultsDialog::ShowMessagesOf(int fileIndex)
{
    m_messages->setPlainText(fileIndex >= 0 && fileIndex < m_files.size() ? MessagesText(m_files[fileIndex])
                                                                          : QString());
}

QList<QStringList> ImportResultsDialog::ShownRows() const
{
    QList<QStringList> rows;
    for (int row = 0; row < m_shown->rowCount(); ++row)
    {
        QStringList cells;
        for (int column = 0; column < m_shown->columnCount(); ++column)
            cells.append(m_shown->index(row, column).data().toString());
        rows.append(cells);
    }
    return rows;
}

QString ImportResultsDialog::CopiedText() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    if (rows.isEmpty())
        for (int row = 0; row < m_shown->rowCount(); ++row)
            rows.append(row);
    QStringList lines;
    QStringList captions;
    for (int column = 0; column < m_model->columnCount(); ++column)
        captions.append(m_model->headerData(column, Qt::Horizontal).toString());
    lines.append(captions.join(QLatin1Char('\t')));
    for (int row : rows)
    {
        QStringList cells;
        for (int column = 0; column < m_shown->columnCount(); ++column)
            cells.append(OneLine(m_shown->index(row, column).data().toString()));
        lines.append(cells.join(QLatin1Char('\t')));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void ImportResultsDialog::OnCopyClicked()
{
    QApplication::clipboard()->setText(CopiedText());
}

void ImportResultsDialog::Export(const std::function<QString()>& work)
{
    QString written;
    try
    {
        written = work();
    }
    catch (const CorvaneError& error)
    {
        m_sink.Show(error.Message());
        return;
    }
    if (!written.isEmpty())
        m_sink.Show(QStringLiteral("成功写入") + written);
}

void ImportResultsDialog::OnExportClicked()
{
    QFileDialog dialog(this, QStringLiteral("导出导入结果"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("Excel 工作簿 (*.xls)")});
    dialog.setDefaultSuffix(QStringLiteral("xls"));
    if (!m_saveFolder.isEmpty())
        dialog.setDirectory(m_saveFolder);
    const QDateTime started = QDateTime::fromString(m_batch.startedAt, Qt::ISODate);
    const QDate day = started.isValid() ? started.toLocalTime().date() : QDate::currentDate();
    dialog.selectFile(QStringLiteral("导入结果-") + day.toString(QStringLiteral("yyyyMMdd")) +
                      QStringLiteral(".xls"));
    const QStringList chosen = m_runFileDialog(dialog);
    if (chosen.isEmpty())
        return;
    const QString path = chosen.first();
    Export(
        [&]
        {
            ExportRefusedFiles(m_batch, m_files, m_templatePath, path);
            return path;
        });
}

void ImportResultsDialog::OnExportPerUnitClicked()
{
    frmFolder chooser(this);
    chooser.FolderPath = m_saveFolder;
    // Only 确定 exports; the title bar's × counts as cancel here.
    chooser.CancelError = true;
    m_runFolderDialog(chooser);
    chooser.hide();
    if (chooser.CancelError)
        return;
    const QString folder = chooser.FolderPath.endsWith(QLatin1Char('/'))
                               ? chooser.FolderPath
                               : chooser.FolderPath + QLatin1Char('/');
    Export(
        [&] {
            return ExportRefusedFilesPerUnit(m_batch, m_files, m_templatePath, folder)
                .join(QLatin1Char('\n'));
        });
}
