// The program's only window: the file list, the output field, menu, toolbar and status bar.
#pragma once

#include "banner/CWebCtrlInterFace.h"
#include "platform/core/FilePath.h"
#include "platform/core/WinTypes.h"

#include <QDialog>
#include <QHash>
#include <QIcon>
#include <QString>

class CExplorer1;
class CFlatListCtrl;
class CStatusBarCtrl;
class CTextToolBar;
class QAction;
class QFileDialog;
class QLineEdit;
class QMenuBar;
class QPushButton;

class CVantrelDlg : public QDialog {
    Q_OBJECT

public:
    explicit CVantrelDlg(QWidget* pParent = nullptr);
    ~CVantrelDlg() override;

    // Runs the window until it ends; the result is IDOK or IDCANCEL.
    int DoModal();

    // A join has written its output, or stopped for the reason message gives; its worker waits
    // until these return, so the box of a join queued behind it comes after this one's.
    void OnJoinCompleted();
    void OnJoinFailed(const QString& message);

    // Transfers the output path between m_strOutputFile and its field.
    bool UpdateData(bool bSaveAndValidate = true);

    void CreateStatusBar();
    void CreateToolBar();

    // The QAction of a command id, shared by menu and toolbar and connected to its handler.
    QAction* GetCommandAction(UINT nID) const { return m_actions.value(nID); }
    QMenuBar* GetMenuBar() const { return m_pMenuBar; }
    CFlatListCtrl* FileList() const { return m_ctlFileList; }
    CTextToolBar* ToolBar() const { return m_wndToolBar; }
    CStatusBarCtrl* StatusBar() const { return m_wndStatusBar; }
    CExplorer1* Banner() const { return m_wndBanner; }

    // The output file as shown; UpdateData(false) puts it in its field.
    const QString& OutputFile() const { return m_strOutputFile; }
    void SetOutputFile(const QString& strPath) { m_strOutputFile = strPath; }
    // The chosen output exactly, of which OutputFile() is the readable form.
    const FilePath& OutputPath() const { return m_outputPath; }

protected:
    bool OnInitDialog();
    void OnOK();

    // List commands.
    void OnNewList();
    void OnAddFiles();
    void OnRemoveFiles();
    void OnExit();

    // The join and its output.
    void OnJoin();
    void OnBrowseOutput();
    bool ChooseOutputFile();
    void StartJoin();

    void OnAbout();
    void OnHelpContents();

    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    void done(int r) override;

private:
    void LoadToolBarImages();
    void OnScreenChanged();
    void CreateControls();
    void CreateMenu();
    void InitBanner();
    QAction* AddCommand(UINT nID, const QString& text);
    // File dialogs open where the last one chose a file, and the first in the working folder.
    void StartFileDialog(QFileDialog& dialog) const;
    void RememberDialogFolder(const QString& chosenFile);

    CTextToolBar* m_wndToolBar = nullptr;
    bool m_bToolBarDoubleDensity = false; // which pictures the toolbar has
    bool m_bPlacingFrame = false;         // shown, and not yet framed by the window manager
    CStatusBarCtrl* m_wndStatusBar = nullptr;
    int m_aStatusParts[2] = {0, -1};
    CFlatListCtrl* m_ctlFileList = nullptr;
    QString m_strOutputFile;
    FilePath m_outputPath;
    QString m_strDialogFolder; // kept for this run only
    QIcon m_hIcon;
    CExplorer1* m_wndBanner = nullptr;
    CWebCtrlInterFace m_bannerHost; // handed to the banner pane, which keeps a copy

    QHash<UINT, QAction*> m_actions;
    QMenuBar* m_pMenuBar = nullptr;
    QLineEdit* m_pOutputEdit = nullptr;
    QPushButton* m_pBrowseButton = nullptr;
};
