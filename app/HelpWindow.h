// The program's help window: the table of contents of the compiled help beside the page it
// shows. When the help files are missing or unreadable, the window says so itself.
#pragma once

#include "platform/core/WinTypes.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

class HelpBrowser;
class QLabel;
class QSplitter;
class QTreeWidget;

// The compiled help (pages, style sheet, contents), found relative to the executable's folder
// (FindHelpFolder).
inline constexpr const char* kHelpFile = "vantrel-help.rcc";

// Where the help is looked for, in order: the installed data folder beside bin/ (the build
// tree has the same layout), then the executable's own folder, where Windows and any layout
// that keeps the files together put it.
QStringList HelpFolderCandidates(const QString& exeFolder);
// The first candidate that holds the help file; the first candidate when none does.
QString FindHelpFolder(const QString& exeFolder);

class HelpWindow : public QWidget {
    Q_OBJECT

public:
    // Opens the help of the executable in exeFolder at its first page with the contents
    // shown. One window serves the whole program: it is raised and sent back to the first
    // page when already open.
    static HelpWindow* ShowHelpContents(const QString& exeFolder);

    explicit HelpWindow(const QString& exeFolder, QWidget* parent = nullptr);
    ~HelpWindow() override;

    QString HelpFolder() const { return m_strFolder; }
    bool IsHelpLoaded() const { return m_bLoaded; }
    // Empty while the help is loaded.
    QString ErrorText() const { return m_strError; }
    QUrl CurrentPage() const;
    QTreeWidget* ContentsTree() const;

    void ShowStartPage();
    // F6: from the contents to the page, or from anywhere else to the contents.
    void SwitchPane();

private:
    bool LoadHelp();
    bool FillContents();
    void SyncContents(const QUrl& url);

    QString m_strExeFolder;
    QString m_strFolder;
    QString m_strRegistered; // the help file while its resources are registered
    QString m_strRoot;       // where they are registered, as a resource path
    QSplitter* m_pSplitter = nullptr;
    QTreeWidget* m_pContents = nullptr;
    HelpBrowser* m_pBrowser = nullptr;
    QLabel* m_pError = nullptr;
    bool m_bLoaded = false;
    QString m_strError;
};

// What the main window's Help > Contents calls, with the executable's folder.
void ShowHelpContents(const QString& exeFolder);
