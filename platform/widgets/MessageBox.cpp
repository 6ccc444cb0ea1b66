#include "platform/widgets/MessageBox.h"

#include "platform/core/UiThread.h"
#include "platform/widgets/FocusFrame.h"
#include "platform/widgets/ModalLoop.h"
#include "platform/widgets/ScreenFit.h"

#include "platform/widgets/Resources.h"
#include "res/resource.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QList>
#include <QMessageBox>
#include <QScreen>
#include <QWindow>

#include <memory>

namespace {

MessageBoxHook s_hook;
QPointer<QWidget> s_pMainWnd;
QList<QPointer<QMessageBox>> s_openBoxes;

QMessageBox::StandardButtons ButtonsFor(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MB_YESNOCANCEL:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MB_YESNO:
        return QMessageBox::Yes | QMessageBox::No;
    default:
        return QMessageBox::Ok;
    }
}

QMessageBox::Icon IconFor(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONASTERISK:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// The icon's meaning in words: a screen reader cannot see it, so a warning and a question
// would otherwise sound alike.
QString KindFor(QMessageBox::Icon icon) {
    switch (icon) {
    case QMessageBox::Critical:
        return QMessageBox::tr("Error");
    case QMessageBox::Question:
        return QMessageBox::tr("Question");
    case QMessageBox::Warning:
        return QMessageBox::tr("Warning");
    case QMessageBox::Information:
        return QMessageBox::tr("Information");
    default:
        return {};
    }
}

int AnswerFor(QMessageBox::StandardButton button, UINT type) {
    switch (button) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Cancel:
        return IDCANCEL;
    default:
        return DefaultMessageBoxAnswer(type);
    }
}

// The window an ownerless box stays with: the main window, else whichever is active.
QWidget* AnchorWindow() {
    if (s_pMainWnd && s_pMainWnd->isVisible())
        return s_pMainWnd->window();
    QWidget* active = QApplication::activeWindow();
    return active != nullptr && active->isVisible() ? active : nullptr;
}

// An ownerless box leaves the window usable, but must not get lost behind it: it stays above
// its anchor (transient for it, without modality) and appears over the anchor's centre.
class AnchoredBox : public QMessageBox {
public:
    AnchoredBox(Icon icon, const QString& caption, const QString& text, StandardButtons buttons,
                QWidget* anchor)
        : QMessageBox(icon, caption, text, buttons), m_anchor(anchor) {
        if (anchor == nullptr)
            return;
        winId(); // the box's own window, so it can be tied to the anchor's before it shows
        if (QWindow* anchorWindow = anchor->windowHandle())
            windowHandle()->setTransientParent(anchorWindow);
    }

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event); // settles the box's size
        if (!m_anchor)
            return;
        // Frames, title bars included, are what is centred and kept on screen.
        QRect box(QPoint(0, 0), frameGeometry().size());
        box.moveCenter(m_anchor->frameGeometry().center());
        if (const QScreen* screen = m_anchor->screen())
            box.moveTopLeft(TopLeftInside(box, screen->availableGeometry()));
        move(box.topLeft());
    }

private:
    QPointer<QWidget> m_anchor;
};

// Runs on the user-interface thread.
int ShowBox(QWidget* owner, const QString& text, const QString& caption, UINT type) {
    if (s_hook)
        return s_hook(MessageBoxCall{owner, text, caption, type});

    std::unique_ptr<QMessageBox> pBox;
    if (owner != nullptr) {
        pBox = std::make_unique<QMessageBox>(IconFor(type), caption, text, ButtonsFor(type), owner);
        // Modal to its owner only.
        pBox->setWindowModality(Qt::WindowModal);
    } else {
        pBox = std::make_unique<AnchoredBox>(IconFor(type), caption, text, ButtonsFor(type),
                                             AnchorWindow());
        pBox->setWindowModality(Qt::NonModal);
    }
    QMessageBox& box = *pBox;
    box.setAccessibleDescription(KindFor(box.icon()));
    for (QAbstractButton* button : box.buttons())
        InstallFocusFrame(button); // the style's own mark is faint
    QPointer<QMessageBox> guard(&box);
    s_openBoxes.append(guard);

    // The keyboard goes to the box, wherever it was.
    RunModalLoop(box, true);
    s_openBoxes.removeAll(guard);

    QAbstractButton* clicked = box.clickedButton();
    return clicked != nullptr ? AnswerFor(box.standardButton(clicked), type)
                              : DefaultMessageBoxAnswer(type);
}

} // namespace

int MessageBox(QWidget* owner, const QString& text, const QString& caption, UINT type) {
    int answer = DefaultMessageBoxAnswer(type);
    RunOnUiThread([&] { answer = ShowBox(owner, text, caption, type); });
    return answer;
}

void InstallMessageBoxes() {
    SetMessageBoxPresenter([](const QString& text, UINT type) {
        return ShowBox(s_pMainWnd.data(), text, AfxGetAppTitle(), type);
    });
    SetUiShutdownHook(&CloseAllMessageBoxes);
}

QString AfxGetAppTitle() {
    // The program's display name when the string table has one; the executable's name
    // (lower case on most systems) is the fall-back.
    const QString title = LoadString(AFX_IDS_APP_TITLE);
    if (!title.isEmpty())
        return title;
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

void AfxSetMainWnd(QWidget* pWnd) {
    s_pMainWnd = pWnd;
}

QWidget* AfxGetMainWnd() {
    return s_pMainWnd.data();
}

void CloseAllMessageBoxes() {
    const auto boxes = s_openBoxes;
    for (const QPointer<QMessageBox>& box : boxes) {
        if (box)
            box->reject();
    }
}

void SetMessageBoxHookForTesting(MessageBoxHook hook) {
    s_hook = std::move(hook);
}
