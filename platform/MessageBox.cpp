#include "MessageBox.h"

#include "UiThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QList>
#include <QMessageBox>

namespace {

MessageBoxHook s_hook;
QPointer<QWidget> s_pMainWnd;
QList<QPointer<QMessageBox>> s_openBoxes;

int DefaultAnswer(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_YESNO:
        return IDNO;
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
        return IDCANCEL;
    default:
        return IDOK;
    }
}

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
        return DefaultAnswer(type);
    }
}

// Runs on the user-interface thread.
int ShowBox(QWidget* owner, const QString& text, const QString& caption, UINT type) {
    if (s_hook)
        return s_hook(MessageBoxCall{owner, text, caption, type});

    QMessageBox box(IconFor(type), caption, text, ButtonsFor(type), owner);
    // Modal to its owner only; an ownerless box leaves every window usable.
    box.setWindowModality(owner != nullptr ? Qt::WindowModal : Qt::NonModal);
    QPointer<QMessageBox> guard(&box);
    s_openBoxes.append(guard);

    QEventLoop loop;
    QObject::connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
    box.show();
    loop.exec(QEventLoop::DialogExec);
    s_openBoxes.removeAll(guard);

    QAbstractButton* clicked = box.clickedButton();
    return clicked != nullptr ? AnswerFor(box.standardButton(clicked), type) : DefaultAnswer(type);
}

} // namespace

int MessageBox(QWidget* owner, const QString& text, const QString& caption, UINT type) {
    int answer = DefaultAnswer(type);
    RunOnUiThread([&] { answer = ShowBox(owner, text, caption, type); });
    return answer;
}

int AfxMessageBox(const QString& text, UINT type) {
    int answer = DefaultAnswer(type);
    RunOnUiThread([&] { answer = ShowBox(s_pMainWnd.data(), text, AfxGetAppTitle(), type); });
    return answer;
}

QString AfxGetAppTitle() {
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

void SetMessageBoxHook(MessageBoxHook hook) {
    s_hook = std::move(hook);
}
