// The About box: program, version, maker and a link to the maker's web site.
#pragma once

#include "banner/CStaticLink.h"
#include "platform/core/WinTypes.h"

#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* pParent = nullptr);

    // Runs the box modally to its owner (the main window when none was given); IDOK or
    // IDCANCEL.
    int DoModal();

    CStaticLink m_wndLink;

protected:
    bool OnInitDialog();

private:
    void CreateControls();
};
