#include "banner/CAboutDlg.h"

#include "banner/MakerSite.h"
#include "platform/widgets/DialogUnits.h"
#include "platform/widgets/DlgItem.h"
#include "platform/widgets/FocusFrame.h"
#include "platform/widgets/MessageBox.h"
#include "platform/widgets/Resources.h"
#include "res/resource.h"

#include <QLabel>
#include <QPushButton>

namespace {

// Template 100, in dialog units.
const QSize kClientDlu(225, 58);
const QRect kIconDlu(7, 5, 20, 20);
const QRect kVersionDlu(40, 8, 115, 8);
const QRect kMakerDlu(40, 19, 119, 8);
const QRect kOkDlu(168, 5, 50, 14);
const QRect kLinkDlu(39, 41, 114, 8);
const QRect kNoticeDlu(39, 30, 119, 8);

constexpr int kIconSize = 32; // a static icon takes the icon's own size

QLabel* AddText(QWidget* parent, const QString& text, const QRect& rect) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText); // no & prefixes, no markup
    label->setGeometry(rect);
    return label;
}

} // namespace

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("About Corvane"));
    CreateControls();
    OnInitDialog();
}

void CAboutDlg::CreateControls() {
    const DialogBaseUnits base = GetDialogBaseUnits(font());
    setFixedSize(MapDialogSize(kClientDlu, base));

    auto* icon = new QLabel(this);
    icon->setPixmap(LoadIcon(IDR_MAINFRAME).pixmap(kIconSize, kIconSize));
    icon->setGeometry(QRect(MapDialogRect(kIconDlu, base).topLeft(), QSize(kIconSize, kIconSize)));

    AddText(this, QStringLiteral("Vantrel Version 1.4"), MapDialogRect(kVersionDlu, base));
    AddText(this, QStringLiteral("Tessaly Software LLC"), MapDialogRect(kMakerDlu, base));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    SetDlgCtrlID(ok, IDOK);
    ok->setDefault(true);
    ok->setGeometry(MapDialogRect(kOkDlu, base));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    InstallFocusFrame(ok); // the style's own mark is faint

    // Made before the link below it, so a screen reader reads them top to bottom.
    AddText(this, QStringLiteral("Visit us on the web:"), MapDialogRect(kNoticeDlu, base));

    QLabel* link = AddText(this, MakerSiteAddress(), MapDialogRect(kLinkDlu, base));
    link->setObjectName(QStringLiteral("IDC_WEBSITE_LINK"));
    SetDlgCtrlID(link, IDC_WEBSITE_LINK);
    setTabOrder(ok, link);
}

bool CAboutDlg::OnInitDialog() {
    m_wndLink.SubclassDlgItem(IDC_WEBSITE_LINK, this);
    m_wndLink.m_strTarget = MakerSiteAddress();
    return true;
}

int CAboutDlg::DoModal() {
    // Without a parent of its own the box belongs to the main window, as on Windows.
    if (parentWidget() == nullptr && AfxGetMainWnd() != nullptr)
        setParent(AfxGetMainWnd(), windowFlags());
    setWindowModality(Qt::WindowModal);
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}
