#include "app/Form1.h"

#include "app/FileChoice.h"
#include "app/ImportHistoryDialog.h"
#include "app/ImportResultsDialog.h"
#include "app/QtMessageSink.h"
#include "app/WindowGeometry.h"
#include "app/frmFolder.h"
#include "import/FileList.h"
#include "import/ImportProjectFiles.h"
#include "import/ImportUnitFiles.h"
#include "reports/GenerateReports.h"
#include "services/AppFolder.h"
#include "services/Config.h"
#include "services/CorvaneError.h"
#include "services/Database.h"
#include "store/Store.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScopedValueRollback>

namespace
{
const char kUnitFilter[] = "单位信息 (*.dw)|*.dw|所有文件 (*.*)|*.*";
const char kProjectFilter[] = "项目信息 (*.xm)|*.xm|所有文件 (*.*)|*.*";

QStringList ExecFileDialog(QFileDialog& dialog)
{
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

void ExecFolderDialog(frmFolder& dialog)
{
    dialog.exec();
}

void ExecLedgerDialog(QDialog& dialog)
{
    dialog.exec();
}

// The window as designed; wider, only the folder labels grow and the buttons on their right move.
const QSize kDesignSize = Twips(0, 0, 7005, 1875).size();
const QRect kLabel3 = Twips(1440, 240, 4695, 375);
const QRect kLabel4 = Twips(1440, 720, 4695, 375);
const QRect kCommand3 = Twips(6360, 240, 495, 375);
const QRect kCommand5 = Twips(6360, 720, 495, 375);
const QRect kCommand4 = Twips(5280, 1200, 1575, 495);
const QRect kImportHistory = Twips(3600, 1200, 1575, 495);

// A folder label: its caption stays the whole folder, which the window saves at close; what
// does not fit is left out in the middle, where folders differ least.
class PathLabel : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRect area = contentsRect();
        painter.drawText(area, int(alignment()),
                         fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width()));
    }
};

const char kStopQuestion[] = "正在导入文件。停止导入并关闭窗口吗？\n正在导入的文件会先导入完毕。";
} // namespace

Form1::Form1(const QString& programFolder, MessageSink* sink, QWidget* parent)
    : QWidget(parent), m_ownSink(sink ? nullptr : std::make_unique<QtMessageSink>(this)),
      m_sink(sink ? *sink : *m_ownSink), m_runFileDialog(ExecFileDialog), m_runFolderDialog(ExecFolderDialog),
      m_runLedgerDialog(ExecLedgerDialog)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Corvane"));
    setMinimumSize(kDesignSize);
    setMaximumHeight(kDesignSize.height());
    resize(kDesignSize);

    AddLabel("Label1", QStringLiteral("导入文件路径"), Twips(120, 240, 1215, 255));
    m_label3 = AddLabel("Label3", QString(), kLabel3, new PathLabel(this));
    m_importStatus = AddLabel("ImportPathStatus", QString(), kLabel3);
    m_command3 = AddButton("Command3", QStringLiteral("..."), kCommand3);
    AddLabel("Label2", QStringLiteral("文件保存路径"), Twips(120, 720, 1215, 255));
    m_label4 = AddLabel("Label4", QString(), kLabel4, new PathLabel(this));
    m_localStatus = AddLabel("LocalPathStatus", QString(), kLabel4);
    m_createDatabase = AddButton("CreateDatabase", QStringLiteral("新建数据库(&N)"), kLabel4);
    m_command5 = AddButton("Command5", QStringLiteral("..."), kCommand5);
    m_command1 = AddButton("Command1", QStringLiteral("导入单位信息(&U)"), Twips(120, 1200, 1575, 495));
    m_command2 = AddButton("Command2", QStringLiteral("导入项目信息(&P)"), Twips(1920, 1200, 1575, 495));
    m_importHistory = AddButton("ImportHistory", QStringLiteral("导入记录(&H)"), kImportHistory);
    m_command4 = AddButton("Command4", QStringLiteral("生成统计报表(&R)"), kCommand4);
    m_command3->setToolTip(QStringLiteral("选择导入文件路径"));
    m_command5->setToolTip(QStringLiteral("选择文件保存路径"));
    m_importHistory->setToolTip(QStringLiteral("以往各批次导入的文件和结果"));
    m_createDatabase->setToolTip(QStringLiteral("在文件保存路径中新建一个空数据库"));
    for (QLabel* status : {m_importStatus, m_localStatus})
    {
        QPalette warning = status->palette();
        warning.setColor(QPalette::WindowText, Qt::darkRed);
        status->setPalette(warning);
    }

    connect(m_command1, &QPushButton::clicked, this, &Form1::OnCommand1Clicked);
    connect(m_command2, &QPushButton::clicked, this, &Form1::OnCommand2Clicked);
    connect(m_command3, &QPushButton::clicked, this, &Form1::OnCommand3Clicked);
    connect(m_command4, &QPushButton::clicked, this, &Form1::OnCommand4Clicked);
    connect(m_command5, &QPushButton::clicked, this, &Form1::OnCommand5Clicked);
    connect(m_createDatabase, &QPushButton::clicked, this, &Form1::OnCreateDatabaseClicked);
    connect(m_importHistory, &QPushButton::clicked, this, &Form1::OnImportHistoryClicked);

    Load(programFolder);
}

Form1::~Form1() = default;

QLabel* Form1::AddLabel(const char* name, const QString& caption, const QRect& geometry, QLabel* label)
{
    if (!label)
        label = new QLabel(this);
    label->setText(caption);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QPushButton* Form1::AddButton(const char* name, const QString& caption, const QRect& geometry)
{
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    // Enter presses the focused button, as Space does.
    button->setAutoDefault(true);
    return button;
}

void Form1::Load(const QString& programFolder)
{
    CentreOnScreen(this);
    m_settings.AppFolder = WithTrailingSlash(QDir::fromNativeSeparators(programFolder));
    LoadConfig(m_settings, m_sink);
    ShowFolder(m_label3, m_settings.ImportPath);
    ShowFolder(m_label4, m_settings.LocalPath);
}

void Form1::ShowFolder(QLabel* label, const QString& folder)
{
    label->setText(folder);
    label->setToolTip(folder);
    UpdateFolderStatus();
}

void Form1::UpdateFolderStatus()
{
    const QString importPath = m_label3->text();
    m_importStatus->setText(
        !importPath.isEmpty() && !QFileInfo(importPath).isDir() ? QStringLiteral("文件夹不存在") : QString());
    const QString localPath = m_label4->text();
    QString local;
    bool noDatabase = false;
    if (!localPath.isEmpty())
    {
        const QFileInfo folder(localPath);
        if (!folder.isDir())
            local = QStringLiteral("文件夹不存在");
        else if (!folder.isWritable())
            local = QStringLiteral("文件夹不可写入");
        else if (!IsServerDataSource(m_settings.DataSource) && !QFileInfo::exists(DatabasePath(m_settings)))
        {
            local = QStringLiteral("没有数据库") + QFileInfo(DatabasePath(m_settings)).fileName();
            noDatabase = true;
        }
    }
    m_localStatus->setText(local);
    m_createDatabase->setVisible(noDatabase);
    Arrange();
}

void Form1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Arrange();
}

void Form1::Arrange()
{
    const int extra = width() - kDesignSize.width();
    PlaceFolderRow(m_label3, m_importStatus, nullptr, kLabel3, extra);
    PlaceFolderRow(m_label4, m_localStatus, m_createDatabase, kLabel4, extra);
    m_command3->move(kCommand3.topLeft() + QPoint(extra, 0));
    m_command5->move(kCommand5.topLeft() + QPoint(extra, 0));
    m_command4->move(kCommand4.topLeft() + QPoint(extra, 0));
}

// The folder takes the row but for what is said about it on the right.
void Form1::PlaceFolderRow(QLabel* folder, QLabel* status, QPushButton* action, QRect row, int extra)
{
    row.setWidth(row.width() + extra);
    int right = row.x() + row.width();
    if (action && !action->isHidden())
    {
        const int width = action->sizeHint().width();
        right -= width;
        action->setGeometry(right, row.y() - 2, width, row.height());
        right -= 4;
    }
    status->setVisible(!status->text().isEmpty());
    if (!status->isHidden())
    {
        const int width = status->fontMetrics().horizontalAdvance(status->text()) + 8;
        right -= width;
        status->setGeometry(right, row.y(), width, row.height());
    }
    folder->setGeometry(row.x(), row.y(), right - row.x(), row.height());
}

void Form1::OnCreateDatabaseClicked()
{
    RunAction(QString(), false,
              [this]
              {
                  const QString path = DatabasePath(m_settings);
                  CreateDatabase(path);
                  UpdateFolderStatus();
                  m_sink.Show(QStringLiteral("已创建数据库") + path);
              });
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (m_busy)
    {
        // An import stops after the file in hand when the operator wants it to; other work is
        // short, and the window closes when it ends.
        event->ignore();
        if (m_closePending)
            return;
        const QString question = QString::fromUtf8(kStopQuestion);
        if (!m_stoppable || (m_askQuestion ? m_askQuestion(question) : AskToStop(question)))
        {
            m_stopRequested = m_stoppable;
            m_closePending = true;
        }
        return;
    }
    m_settings.ImportPath = m_label3->text();
    m_settings.LocalPath = m_label4->text();
    SaveConfig(m_settings, m_sink);
    event->accept();
}

bool Form1::AskToStop(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, windowTitle(), text, QMessageBox::NoButton, this);
    QPushButton* stop = box.addButton(QStringLiteral("停止(&S)"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("继续(&C)"), QMessageBox::RejectRole);
    box.setDefaultButton(stop);
    if (auto* window = dynamic_cast<QtMessageSink*>(&m_sink))
        window->Exec(box);
    else
        box.exec();
    return box.clickedButton() == stop;
}

void Form1::RunAction(const QString& title, bool stoppable, const std::function<void()>& work)
{
    if (m_busy)
        return;
    if (auto* window = dynamic_cast<QtMessageSink*>(&m_sink))
        window->BeginWork(title, stoppable);
    const QList<QPushButton*> buttons{m_command1, m_command2,       m_command3,     m_command4,
                                      m_command5, m_createDatabase, m_importHistory};
    {
        QScopedValueRollback<bool> busy(m_busy, true);
        // Set by the work once it is past its dialogs.
        QScopedValueRollback<bool> stoppableWork(m_stoppable, false);
        m_stopRequested = false;
        // The buttons say the window takes no other work meanwhile.
        for (QPushButton* button : buttons)
            button->setEnabled(false);
        try
        {
            work();
        }
        catch (const CorvaneError& error)
        {
            m_sink.Progress(QString(), 0, 0); // the work ended early: its progress goes too
            m_sink.Show(error.Message());
        }
        for (QPushButton* button : buttons)
            button->setEnabled(true);
    }
    if (m_closePending)
        close();
}

std::optional<FileList> Form1::ChooseImportFiles(const QString& filter, const QString& fileName)
{
    QFileDialog dialog(this);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(NameFiltersFromFilter(filter));
    // Without a setting the dialog starts in its own default folder.
    if (!m_settings.ImportPath.isEmpty())
        dialog.setDirectory(m_settings.ImportPath);
    dialog.selectFile(fileName);

    const QStringList chosen = m_runFileDialog(dialog);
    if (chosen.isEmpty())
        return std::nullopt;
    FileList files;
    QString problem;
    if (!FileListFromSelection(chosen, files, problem))
    {
        m_sink.Show(problem);
        return std::nullopt;
    }
    return files;
}

void Form1::ChooseFolder(QString& folder, QLabel* label)
{
    if (!m_folderDialog)
        m_folderDialog = new frmFolder(this);
    m_folderDialog->FolderPath = folder;
    m_runFolderDialog(*m_folderDialog);
    m_folderDialog->hide();
    if (m_folderDialog->CancelError)
        return;
    folder = WithTrailingSlash(m_folderDialog->FolderPath);
    ShowFolder(label, folder);
}

void Form1::OnCommand1Clicked()
{
    RunAction(QStringLiteral("导入单位信息"), true,
              [this]
              {
                  if (const std::optional<FileList> files =
                          ChooseImportFiles(QString::fromUtf8(kUnitFilter), QStringLiteral("*.dw")))
                  {
                      RunBatch([&] { return ImportUnitFiles(*files, m_settings, m_workSink); });
                  }
              });
}

void Form1::OnCommand2Clicked()
{
    RunAction(QStringLiteral("导入项目信息"), true,
              [this]
              {
                  if (const std::optional<FileList> files =
                          ChooseImportFiles(QString::fromUtf8(kProjectFilter), QStringLiteral("*.xm")))
                  {
                      RunBatch([&] { return ImportProjectFiles(*files, m_settings, m_workSink); });
                  }
              });
}

void Form1::OnCommand3Clicked()
{
    RunAction(QString(), false, [this] { ChooseFolder(m_settings.ImportPath, m_label3); });
}

void Form1::OnCommand5Clicked()
{
    RunAction(QString(), false, [this] { ChooseFolder(m_settings.LocalPath, m_label4); });
}

void Form1::OnCommand4Clicked()
{
    RunAction(QStringLiteral("生成统计报表"), false, [this] { GenerateReports(m_settings, m_workSink); });
}

void Form1::RunBatch(const std::function<BatchCounts()>& batch)
{
    m_stoppable = true;
    auto* window = dynamic_cast<QtMessageSink*>(&m_sink);
    if (window)
        window->BeginBatch();
    const BatchCounts counts = batch();
    if (window && window->TakeDetailsRequest())
    {
        m_stoppable = false;
        ShowBatchResults(counts.batchId);
    }
}

void Form1::ShowBatchResults(const QString& batchId)
{
    std::unique_ptr<Database> db = OpenDatabase(m_settings);
    const std::optional<LedgerBatch> batch = FindBatch(*db, batchId);
    if (!batch)
        throw CorvaneError(QStringLiteral("导入记录中没有这一批次:") + batchId);
    ShowBatchResults(*db, *batch);
}

void Form1::ShowBatchResults(Database& db, const LedgerBatch& batch)
{
    const QVector<LedgerFile> files = BatchFiles(db, batch.id);
    ImportResultsDialog dialog(batch, files, TemplatePath(m_settings.AppFolder, QStringLiteral("导入结果")),
                               m_settings.LocalPath, m_sink, this);
    m_runLedgerDialog(dialog);
}

void Form1::OnImportHistoryClicked()
{
    RunAction(QString(), false,
              [this]
              {
                  std::unique_ptr<Database> db = OpenDatabase(m_settings);
                  ImportHistoryDialog dialog(
                      ListBatches(*db),
                      [this, &db](const LedgerBatch& batch)
                      {
                          // The list's own loop runs this: a failure is shown here, and the list stays.
                          try
                          {
                              ShowBatchResults(*db, batch);
                          }
                          catch (const CorvaneError& error)
                          {
                              m_sink.Show(error.Message());
                          }
                      },
                      this);
                  m_runLedgerDialog(dialog);
              });
}
