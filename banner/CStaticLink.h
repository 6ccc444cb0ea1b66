// A static text control turned into a hyperlink: underlined, blue until opened and purple
// after, opening its target when the left button goes down, with a hand cursor over it.
// Like a subclassed window it is attached to an existing label of a dialog, which it then
// draws and whose mouse input it takes.
#pragma once

#include "platform/core/WinTypes.h"

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class CStaticLink : public QObject {
    Q_OBJECT

public:
    explicit CStaticLink(const QString& lpText = QString(), bool bDeleteOnDestroy = false);
    ~CStaticLink() override;

    // Takes over the parent's label with that control id; false when there is none.
    bool SubclassDlgItem(UINT nID, QWidget* pParent);
    // The label it draws, or null before SubclassDlgItem or after the label is gone.
    QLabel* GetSafeHwnd() const { return m_pWnd; }

    QString m_strTarget;
    QColor m_crText;
    std::optional<QFont> m_fontLink; // made on the first paint
    bool m_bSelfDelete;

    static const QColor s_crUnvisited;
    static const QColor s_crVisited;
    static std::optional<QCursor> s_hHandCursor;
    static bool s_bHandCursorTried;

    // Lets a test start again as a fresh process would.
    static void ResetHandCursorForTesting();

protected:
    // Called once the label has been destroyed; deletes the link when asked to.
    virtual void PostNcDestroy();

    bool eventFilter(QObject* watched, QEvent* event) override;

    // Paints the text; false when the label is not a text label and paints itself.
    bool CtlColor();
    void OnLButtonDown();
    bool OnSetCursor();
    // m_crText as drawn: in a dark palette, the palette's own link colour for that state.
    QColor DisplayColour() const;

private:
    QPointer<QLabel> m_pWnd;
};
