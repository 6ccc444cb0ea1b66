// A status bar split into parts by their right edges, as the common status control is.
#pragma once

#include <QStringList>
#include <QVector>
#include <QWidget>

class CStatusBarCtrl : public QWidget {
    Q_OBJECT

public:
    explicit CStatusBarCtrl(QWidget* parent = nullptr);

    // Right edges in client pixels; -1 runs the part to the right edge.
    bool SetParts(int nParts, const int* pWidths);
    int GetParts() const { return static_cast<int>(m_aRightEdges.size()); }
    bool SetText(const QString& text, int nPane);
    QString GetText(int nPane) const;
    QRect GetRect(int nPane) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVector<int> m_aRightEdges;
    QStringList m_texts;
};
