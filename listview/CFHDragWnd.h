// The floating picture of a header column while it is dragged: a borderless window that
// follows the cursor and never takes focus or input.
#pragma once

#include "platform/core/WinTypes.h"

#include <QRect>
#include <QWidget>

class CFlatHeaderCtrl;
class QPainter;

class CFHDragWnd : public QWidget {
    Q_OBJECT

public:
    CFHDragWnd();

    // Places the hidden window at rect (screen coordinates) to show item nItem of pHeader.
    virtual bool Create(const QRect& rect, CFlatHeaderCtrl* pHeader, int nItem);
    virtual void DrawContent(QPainter& dc);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    CFlatHeaderCtrl* m_pHeader = nullptr;
    int m_nItem = -1;
};
