// The list commands, the join command with its output chooser, About and Help.
#include "CVantrelDlg.h"

#include "CAboutDlg.h"
#include "CFlatListCtrl.h"
#include "CHelpWindow.h"
#include "CJoinThread.h"
#include "FileDialog.h"
#include "FileRow.h"
#include "MessageBox.h"
#include "OutputName.h"
#include "resource.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>

namespace {

const QString kCaption = QStringLiteral("Vantrel");

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
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    for (const QString& path : ExecFileDialog(dialog)) {
        if (m_ctlFileList->GetItemCount() >= kMaxFilesPerJoin) {
            AfxMessageBox(QString::fromLatin1(kTooManyFilesText), MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        m_ctlFileList->AddFileRow(QDir::toNativeSeparators(path));
    }
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

BOOL CVantrelDlg::ChooseOutputFile() {
    QFileDialog dialog(this);
    PrepareFileDialog(dialog);
    dialog.setFileMode(QFileDialog::AnyFile); // the output need not exist yet
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDirectory(QDir::currentPath());
    const QStringList chosen = ExecFileDialog(dialog);
    if (chosen.isEmpty())
        return FALSE;
    m_strOutputFile = OutputPathForChoice(QDir::toNativeSeparators(chosen.constFirst()));
    UpdateData(FALSE);
    return TRUE;
}

void CVantrelDlg::StartJoin() {
    auto* pThread = new CJoinThread; // suspended until resumed below
    for (int row = 0; row < m_ctlFileList->GetItemCount(); ++row) {
        if (m_ctlFileList->GetItemData(row) == kIncludeInJoin)
            pThread->m_lstInputPaths.push_back(
                QFile::encodeName(m_ctlFileList->GetItemText(row, 0)).toStdString());
    }
    pThread->m_hNotifyWnd = this;
    pThread->m_strOutputPath = QFile::encodeName(m_strOutputFile).toStdString();
    pThread->ResumeThread();
}

void CVantrelDlg::OnAbout() {
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
}

void CVantrelDlg::OnHelpContents() {
    ShowHelpContents(QCoreApplication::applicationDirPath());
}
