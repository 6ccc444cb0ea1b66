#include "app/CVantrelDlg.h"

#include "app/MenuBar.h"
#include "banner/CExplorer1.h"
#include "banner/CWebCtrlInterFace.h"
#include "banner/MakerSite.h"
#include "listview/CFlatListCtrl.h"
#include "platform/core/UiThread.h"
#include "platform/widgets/AccessibleLineEdit.h"
#include "platform/widgets/AccessiblePress.h"
#include "platform/widgets/CStatusBarCtrl.h"
#include "platform/widgets/DialogUnits.h"
#include "platform/widgets/FocusFrame.h"
#include "platform/widgets/MessageBox.h"
#include "platform/widgets/ModalLoop.h"
#include "platform/widgets/Resources.h"
#include "platform/widgets/ScreenFit.h"
#include "res/resource.h"
#include "res/ResourceTables.h"
#include "toolbar/CTextToolBar.h"

#include <QAction>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QWindow>

namespace {

// The window's layout, in dialog units (a quarter of the font's average character width, an
// eighth of its height).
const QSize kClientDlu(328, 239);
const QRect kFileListDlu(5, 37, 317, 139);
const QRect kEtchedLineDlu(0, 31, 328, 1);
const QRect kOutputGroupDlu(5, 180, 317, 31);
const QRect kOutputEditDlu(15, 192, 272, 13);
const QRect kBrowseButtonDlu(293, 192, 15, 12);
const QRect kBannerDlu(285, 8, 37, 15);

constexpr int kFileColumnWidth = 470;

} // namespace

CVantrelDlg::CVantrelDlg(QWidget* pParent) : QDialog(pParent) {
    // Its own taskbar entry, minimisable, never resizable or maximisable.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QString::fromUtf8(kAppCaption));
    InstallAccessibleLineEdits(); // for this window and every dialog it opens
    m_hIcon = LoadWindowIcon(IDR_MAINFRAME);
    CreateControls();
    OnInitDialog();
}

CVantrelDlg::~CVantrelDlg() = default;

void CVantrelDlg::CreateControls() {
    const DialogBaseUnits base = GetDialogBaseUnits(font());
    setFixedSize(MapDialogSize(kClientDlu, base));

    m_ctlFileList = new CFlatListCtrl(this);
    m_ctlFileList->setObjectName(QStringLiteral("IDC_FILE_LIST"));
    m_ctlFileList->setGeometry(MapDialogRect(kFileListDlu, base));
    m_ctlFileList->setAccessibleName(QStringLiteral("Files to join"));
    m_ctlFileList->setAccessibleDescription(
        QStringLiteral("The files are joined in this order, from top to bottom"));

    auto* etchedLine = new QFrame(this);
    etchedLine->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    etchedLine->setGeometry(MapDialogRect(kEtchedLineDlu, base).adjusted(0, 0, 0, 1));

    auto* outputGroup = new QGroupBox(QStringLiteral("Output file name and path"), this);
    outputGroup->setGeometry(MapDialogRect(kOutputGroupDlu, base));

    m_pOutputEdit = new QLineEdit(this);
    m_pOutputEdit->setObjectName(QStringLiteral("IDC_OUTPUT_FILE"));
    m_pOutputEdit->setReadOnly(true);
    m_pOutputEdit->setGeometry(MapDialogRect(kOutputEditDlu, base));
    // Named by its group box, as a reader would name a field by the label it sits under.
    m_pOutputEdit->setAccessibleName(outputGroup->title());
    m_pOutputEdit->setAccessibleDescription(
        QStringLiteral("Read-only; set with the Choose the output file button"));

    m_pBrowseButton = new QPushButton(QStringLiteral("..."), this);
    m_pBrowseButton->setObjectName(QStringLiteral("IDC_BROWSE_OUTPUT"));
    // Enter in the other controls ends the dialog; it must not press this button.
    m_pBrowseButton->setAutoDefault(false);
    m_pBrowseButton->setGeometry(MapDialogRect(kBrowseButtonDlu, base));
    m_pBrowseButton->setAccessibleName(QStringLiteral("Choose the output file"));
    SetDeferredAccessiblePress(m_pBrowseButton);
    // The style's own focus marks on these change the edge by less than 3:1 (2:1 in dark
    // schemes), or not at all.
    InstallFocusFrame(m_pOutputEdit);
    InstallFocusFrame(m_pBrowseButton);
    connect(m_pBrowseButton, &QPushButton::clicked, this, &CVantrelDlg::OnBrowseOutput);

    m_wndBanner = new CExplorer1(this);
    m_wndBanner->setObjectName(QStringLiteral("IDC_BANNER"));
    m_wndBanner->setGeometry(MapDialogRect(kBannerDlu, base));
    // The page's view is what takes the focus: it carries the names a screen reader reads.
    for (QWidget* banner : std::initializer_list<QWidget*>{m_wndBanner, m_wndBanner->GetView()}) {
        banner->setAccessibleName(QStringLiteral("Banner"));
        banner->setAccessibleDescription(QStringLiteral("News from the maker's web site"));
    }
    InstallFocusFrame(m_wndBanner->GetView());

    setTabOrder(m_ctlFileList, m_pOutputEdit);
    setTabOrder(m_pOutputEdit, m_pBrowseButton);
}

bool CVantrelDlg::OnInitDialog() {
    UpdateData(false);
    CreateMenu();
    CreateStatusBar();
    CreateToolBar();
    setWindowIcon(m_hIcon);

    m_ctlFileList->InsertColumn(0, QStringLiteral("Files to join"), LVCFMT_LEFT, kFileColumnWidth);
    m_ctlFileList->SetExtendedStyle(m_ctlFileList->GetExtendedStyle() | LVS_EX_GRIDLINES |
                                    LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT);
    InitBanner();
    if (m_wndStatusBar != nullptr)
        m_wndStatusBar->SetText(LoadString(IDS_STATUS_DRAG_HINT), 0);
    m_ctlFileList->setFocus();
    return true;
}

void CVantrelDlg::InitBanner() {
    m_wndBanner->SetHost(m_bannerHost);
    m_wndBanner->Navigate(BannerPageAddress());
}

QAction* CVantrelDlg::AddCommand(UINT nID, const QString& text) {
    struct Command {
        void (CVantrelDlg::*handler)() = nullptr;
        bool bEditsList = false; // held back by the list while rows are dragged
    };
    static const QHash<UINT, Command> commands = {
        {ID_FILE_NEWLIST, {&CVantrelDlg::OnNewList, true}},
        {ID_FILE_ADDFILES, {&CVantrelDlg::OnAddFiles, true}},
        {ID_FILE_REMOVEFILES, {&CVantrelDlg::OnRemoveFiles, true}},
        {ID_FILE_EXIT, {&CVantrelDlg::OnExit}},
        {ID_ACTION_JOIN, {&CVantrelDlg::OnJoin}},
        {ID_HELP_ABOUT, {&CVantrelDlg::OnAbout}},
        {ID_HELP_CONTENTS, {&CVantrelDlg::OnHelpContents}},
    };
    auto* action = new QAction(text, this);
    action->setData(nID);
    const Command command = commands.value(nID);
    if (command.bEditsList)
        m_ctlFileList->ConnectEdit(action, [this, command] { (this->*command.handler)(); });
    else if (command.handler)
        connect(action, &QAction::triggered, this, command.handler);
    m_actions.insert(nID, action);
    return action;
}

void CVantrelDlg::CreateMenu() {
    // The menu bar sits in the client area, above the controls, which keep their places
    // relative to it; the window's size does not change.
    m_pMenuBar = new MenuBar(this);
    for (const MenuPopup& popup : LoadMenu(IDR_MAINMENU)) {
        QMenu* menu = m_pMenuBar->addMenu(popup.strText);
        for (const MenuItem& item : popup.items) {
            if (item.nID == 0)
                menu->addSeparator();
            else
                menu->addAction(AddCommand(item.nID, item.strText));
        }
    }
    const int menuHeight = m_pMenuBar->sizeHint().height();
    m_pMenuBar->setGeometry(0, 0, width(), menuHeight);
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child != m_pMenuBar)
            child->move(child->x(), child->y() + menuHeight);
    }
}

void CVantrelDlg::CreateStatusBar() {
    if (m_wndStatusBar == nullptr) {
        m_wndStatusBar = new CStatusBarCtrl(this);
        m_wndStatusBar->setObjectName(QStringLiteral("IDC_STATUS_BAR"));
    }
    const int barHeight = m_wndStatusBar->sizeHint().height();
    m_wndStatusBar->setGeometry(0, height() - barHeight, width(), barHeight);
    m_aStatusParts[0] = width() / 4 * 3;
    m_aStatusParts[1] = -1;
    m_wndStatusBar->SetParts(2, m_aStatusParts);
    m_wndStatusBar->SetText(LoadString(IDS_TOOLBAR_MESSAGE), 0);
}

void CVantrelDlg::CreateToolBar() {
    m_wndToolBar = new CTextToolBar(this);
    m_wndToolBar->setAccessibleName(QStringLiteral("Toolbar"));
    m_wndToolBar->SetActionLookup([this](UINT nID) { return GetCommandAction(nID); });
    if (!m_wndToolBar->LoadToolBarWithLabels(IDR_TOOLBAR)) {
        delete m_wndToolBar; // the window works without it
        m_wndToolBar = nullptr;
        return;
    }
    LoadToolBarImages();
    const int top = m_pMenuBar != nullptr ? m_pMenuBar->height() : 0;
    const QSize size = m_wndToolBar->sizeHint();
    m_wndToolBar->setGeometry(0, top, qMin(size.width(), m_wndBanner->x()), size.height());
    m_wndToolBar->show();
}

// Only the pictures drawn for the screen's density are decoded; the others when the window moves
// to a screen of another density (event()).
void CVantrelDlg::LoadToolBarImages() {
    const qreal ratio = devicePixelRatioF();
    m_bToolBarDoubleDensity = ratio > 1.0;
    m_wndToolBar->SetImageList(LoadBitmap(IDB_TOOLBAR, ratio));
    m_wndToolBar->SetHotImageList(LoadBitmap(IDB_TOOLBAR_HOT, ratio));
}

void CVantrelDlg::OnScreenChanged() {
    if (m_wndToolBar != nullptr && (devicePixelRatioF() > 1.0) != m_bToolBarDoubleDensity)
        LoadToolBarImages();
}

bool CVantrelDlg::event(QEvent* event) {
    const bool result = QDialog::event(event);
    if (event->type() == QEvent::Show) {
        // On a screen of another density the toolbar takes the pictures drawn for it.
        connect(windowHandle(), &QWindow::screenChanged, this, &CVantrelDlg::OnScreenChanged,
                Qt::UniqueConnection);
        KeepFrameOnScreen(this);
        // Where the frame is not known yet, the move that comes with it places the window
        // again; later moves are the user's.
        m_bPlacingFrame = windowHandle() != nullptr && windowHandle()->frameMargins().isNull();
        if (m_bPlacingFrame)
            QTimer::singleShot(2000, this, [this] { m_bPlacingFrame = false; });
    } else if (event->type() == QEvent::Move && m_bPlacingFrame && windowHandle() != nullptr &&
               !windowHandle()->frameMargins().isNull()) {
        // Framed now by the window manager: the real frame is kept inside, once.
        m_bPlacingFrame = false;
        KeepFrameOnScreen(this);
    }
    return result;
}

bool CVantrelDlg::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate)
        m_strOutputFile = m_pOutputEdit->text();
    else
        m_pOutputEdit->setText(m_strOutputFile);
    return true;
}

int CVantrelDlg::DoModal() {
    // Ownerless: the boxes it opens stay usable beside it.
    setWindowModality(Qt::NonModal);
    return RunModalLoop(*this) == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CVantrelDlg::OnOK() {
    UpdateData(true);
    accept();
}

void CVantrelDlg::keyPressEvent(QKeyEvent* event) {
    // The list claims every key, so these only arrive from the other controls.
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            // Enter presses a button that has the focus, as on the original platform; the
            // "..." button can be reached with Tab.
            if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
                button->click();
                return;
            }
            OnOK();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void CVantrelDlg::changeEvent(QEvent* event) {
    // Some window managers maximise on a title-bar double click whatever the size hints say.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
        setWindowState(windowState() & ~Qt::WindowMaximized);
    QDialog::changeEvent(event);
}

void CVantrelDlg::done(int r) {
    QDialog::done(r);
    // The window is gone: no box or completion notice may appear from now on, and any box
    // still up goes with it.
    ShutdownUiThreadCalls();
}
