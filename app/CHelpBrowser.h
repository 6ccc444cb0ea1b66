// The page view of the help window: a text browser whose links stay readable in any palette.
#pragma once

#include <QTextBrowser>

class CHelpBrowser : public QTextBrowser {
    Q_OBJECT

public:
    explicit CHelpBrowser(QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* e) override;

private:
    void FitLinkColours();
};
