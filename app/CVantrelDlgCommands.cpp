// The list commands, the join command with its output chooser, About and Help.
#include "app/CVantrelDlg.h"

#include "app/HelpWindow.h"
#include "app/OutputName.h"
#include "banner/CAboutDlg.h"
#include "join/CJoinThread.h"
#include "join/JoinFiles.h"
#include "listview/CFlatListCtrl.h"
#include "listview/FileRow.h"
#include "platform/core/LocalPath.h"
#include "platform/widgets/FileDialog.h"
#include "platform/widgets/MessageBox.h"
#include "res/resource.h"
#include "res/ResourceTables.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

namespace {

const QString kCaption = QString::fromUtf8(kAppCaption);

// The pattern is "*": "*.*" would hide names without a period here.
const QString kAllFilesFilter = QStringLiteral("All Files (*.*) (*)");

int Ask(const QString& question) {
    return MessageBox(nullptr, question, kCaption, MB_YESNO | MB_ICONQUESTION);
}

void Tell(const QString& notice) {
    MessageBox(nullptr, notice, kCaption, MB_OK);
}

void PrepareFileDialog(QFileDialog& dialog) {
    dialog.setNameFilter(kAllFilesFilter);
    dialog.setOption(QFileDialog::HideNameFilterDetails); // shows "All Files (*.*)"
    dialog.setWindowModality(Qt::WindowModal);
}

} // namespace

void CVantrelDlg::OnNewList() {
    if (m_ctlFileList->GetItemCount() == 0)
        return;
    if (Ask(QStringLiteral("Would you like to create a new list of files to join?")) != IDYES)
        return;
    m_ctlFileList->DeleteAllItems();
    m_ctlFileList->ResetImageList();
}

void CVantrelDlg::OnAddFiles() {
    QFileDialog dialog(this, QStringLiteral("Add Files to Join"));
    PrepareFileDialog(dialog);
    StartFileDialog(dialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const QStringList chosen = ExecFileDialog(dialog);
    if (!chosen.isEmpty())
        RememberDialogFolder(chosen.constFirst());
    QStringList refused;
    for (const QString& path : chosen) {
        if (m_ctlFileList->GetItemCount() >= kMaxFilesPerJoin) {
            AfxMessageBox(QString::fromLatin1(kTooManyFilesText), MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        // The dialog gives text; a name it cannot tell from another is not guessed at.
        const std::optional<FilePath> file = PathForShown(path);
        const std::string device = file ? JoinDeviceName(file->native()) : std::string();
        if (!file)
            refused << QDir::toNativeSeparators(path);
        else if (!device.empty())
            refused << QStringLiteral("%1 (the name of a device, %2, on Windows)")
                           .arg(QDir::toNativeSeparators(path), QString::fromStdString(device));
        else
            m_ctlFileList->AddFileRow(*file);
    }
    if (!refused.isEmpty())
        AfxMessageBox(FilesNotAddedText(refused), MB_OK | MB_ICONEXCLAMATION);
}

void CVantrelDlg::OnRemoveFiles() {
    if (m_ctlFileList->GetItemCount() == 0) {
        Tell(QStringLiteral("There are no files to remove!"));
        return;
    }
    if (Ask(QStringLiteral("Would you like to remove selected files from the list?")) != IDYES)
        return;
    for (int row = m_ctlFileList->GetNextSelectedItem(-1); row >= 0;
         row = m_ctlFileList->GetNextSelectedItem(-1))
        m_ctlFileList->DeleteItem(row);
}

void CVantrelDlg::OnExit() {
    done(QDialog::Rejected);
}

void CVantrelDlg::OnJoin() {
    if (m_ctlFileList->GetItemCount() == 0) {
        Tell(QStringLiteral("Please select or drag and drop files that you would like to join."));
        return;
    }
    if (m_strOutputFile.isEmpty()) {
        if (Ask(QStringLiteral("Output file name was not specified. Would you like to set output "
                               "file name now and join files?")) != IDYES)
            return;
        if (!ChooseOutputFile()) {
            Tell(QStringLiteral("Output file was not selected, join operation canceled."));
            return;
        }
    }
    StartJoin();
}

void CVantrelDlg::OnBrowseOutput() {
    ChooseOutputFile();
}

bool CVantrelDlg::ChooseOutputFile() {
    QFileDialog dialog(this);
    PrepareFileDialog(dialog);
    dialog.setFileMode(QFileDialog::AnyFile); // the output need not exist yet
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    StartFileDialog(dialog);
    const QStringList chosen = ExecFileDialog(dialog);
    if (chosen.isEmpty())
        return false;
    RememberDialogFolder(chosen.constFirst());
    const std::optional<FilePath> file = PathForShown(chosen.constFirst());
    if (!file) {
        AfxMessageBox(QStringLiteral("Another name in this folder looks the same; the output "
                                     "file cannot be told apart from it:\n%1")
                          .arg(QDir::toNativeSeparators(chosen.constFirst())),
                      MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    // The ".txt" rule reads characters, so it is applied to the text and mirrored in bytes.
    const QString shown = QDir::toNativeSeparators(file->text());
    m_strOutputFile = OutputPathForChoice(shown);
    m_outputPath = FilePath::fromBytes(file->bytes() + PathBytes(m_strOutputFile.mid(shown.size())))
                       .value_or(FilePath());
    UpdateData(false);
    return true;
}

void CVantrelDlg::StartFileDialog(QFileDialog& dialog) const {
    if (!m_strDialogFolder.isEmpty() && QFileInfo(m_strDialogFolder).isDir()) {
        dialog.setDirectory(m_strDialogFolder);
        return;
    }
    // A folder whose name is not text would be shown as, and opened as, another folder.
    const FilePath cwd = CurrentDir();
    dialog.setDirectory(cwd.isExactlyShown() ? cwd.text() : QDir::homePath());
}

void CVantrelDlg::RememberDialogFolder(const QString& chosenFile) {
    // The dialog's text names the folder it showed, so it opens that one again.
    m_strDialogFolder = QFileInfo(chosenFile).absolutePath();
}

void CVantrelDlg::StartJoin() {
    JoinRequest request;
    for (int row = 0; row < m_ctlFileList->GetItemCount(); ++row) {
        if (m_ctlFileList->GetItemData(row) == kIncludeInJoin)
            request.inputPaths << m_ctlFileList->GetItemPath(row);
    }
    // The chosen bytes, as long as the field still shows the name they were chosen as.
    request.outputPath = m_outputPath.text() == m_strOutputFile
                             ? m_outputPath
                             : FilePath::fromText(m_strOutputFile).value_or(FilePath());
    auto* pThread = new CJoinThread(request); // suspended until resumed below
    connect(pThread, &CJoinThread::JoinCompleted, this, &CVantrelDlg::OnJoinCompleted);
    connect(pThread, &CJoinThread::JoinFailed, this, &CVantrelDlg::OnJoinFailed);
    pThread->ResumeThread();
}

void CVantrelDlg::OnJoinCompleted() {
    Tell(QStringLiteral("Joining files was successfully completed!"));
}

void CVantrelDlg::OnJoinFailed(const QString& message) {
    AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION);
}

void CVantrelDlg::OnAbout() {
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
}

void CVantrelDlg::OnHelpContents() {
    ShowHelpContents(QCoreApplication::applicationDirPath());
}
