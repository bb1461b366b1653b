#include "app/Form1.h"

#include "app/FileChoice.h"
#include "app/QtMessageSink.h"
#include "app/WindowGeometry.h"
#include "app/frmFolder.h"
#include "import/FileList.h"
#include "import/ImportProjectFiles.h"
#include "import/ImportUnitFiles.h"
#include "reports/GenerateReports.h"
#include "services/Config.h"
#include "services/CorvaneError.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
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

const char kStopQuestion[] = "正在导入文件。停止导入并关闭窗口吗？\n正在导入的文件会先导入完毕。";
} // namespace

Form1::Form1(const QString& programFolder, MessageSink* sink, QWidget* parent)
    : QWidget(parent), m_ownSink(sink ? nullptr : std::make_unique<QtMessageSink>(this)),
      m_sink(sink ? *sink : *m_ownSink), m_runFileDialog(ExecFileDialog), m_runFolderDialog(ExecFolderDialog)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Corvane"));
    setFixedSize(Twips(0, 0, 7005, 1875).size());

    AddLabel("Label1", QStringLiteral("导入文件路径"), Twips(120, 240, 1215, 255));
    m_label3 = AddLabel("Label3", QString(), Twips(1440, 240, 4695, 375));
    m_command3 = AddButton("Command3", QStringLiteral("..."), Twips(6360, 240, 495, 375));
    AddLabel("Label2", QStringLiteral("文件保存路径"), Twips(120, 720, 1215, 255));
    m_label4 = AddLabel("Label4", QString(), Twips(1440, 720, 4695, 375));
    m_command5 = AddButton("Command5", QStringLiteral("..."), Twips(6360, 720, 495, 375));
    m_command1 = AddButton("Command1", QStringLiteral("导入单位信息"), Twips(120, 1200, 1575, 495));
    m_command2 = AddButton("Command2", QStringLiteral("导入项目信息"), Twips(1920, 1200, 1575, 495));
    m_command4 = AddButton("Command4", QStringLiteral("生成统计报表"), Twips(5280, 1200, 1575, 495));

    connect(m_command1, &QPushButton::clicked, this, &Form1::OnCommand1Clicked);
    connect(m_command2, &QPushButton::clicked, this, &Form1::OnCommand2Clicked);
    connect(m_command3, &QPushButton::clicked, this, &Form1::OnCommand3Clicked);
    connect(m_command4, &QPushButton::clicked, this, &Form1::OnCommand4Clicked);
    connect(m_command5, &QPushButton::clicked, this, &Form1::OnCommand5Clicked);

    Load(programFolder);
}

Form1::~Form1() = default;

QLabel* Form1::AddLabel(const char* name, const QString& caption, const QRect& geometry)
{
    auto* label = new QLabel(caption, this);
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
    return button;
}

void Form1::Load(const QString& programFolder)
{
    CentreOnScreen(this);
    m_settings.AppFolder = WithTrailingSlash(QDir::fromNativeSeparators(programFolder));
    LoadConfig(m_settings, m_sink);
    m_label3->setText(m_settings.ImportPath);
    m_label4->setText(m_settings.LocalPath);
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
    box.exec();
    return box.clickedButton() == stop;
}

void Form1::RunAction(const QString& title, bool stoppable, const std::function<void()>& work)
{
    if (m_busy)
        return;
    if (auto* window = dynamic_cast<QtMessageSink*>(&m_sink))
        window->BeginWork(title, stoppable);
    const QList<QPushButton*> buttons{m_command1, m_command2, m_command3, m_command4, m_command5};
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
    label->setText(folder);
}

void Form1::OnCommand1Clicked()
{
    RunAction(QStringLiteral("导入单位信息"), true,
              [this]
              {
                  if (const std::optional<FileList> files =
                          ChooseImportFiles(QString::fromUtf8(kUnitFilter), QStringLiteral("*.dw")))
                  {
                      m_stoppable = true;
                      ImportUnitFiles(*files, m_settings, m_workSink);
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
                      m_stoppable = true;
                      ImportProjectFiles(*files, m_settings, m_workSink);
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
