// The page view of the help window: a text browser whose links stay readable in any palette.
#pragma once

#include <QTextBrowser>

class HelpBrowser : public QTextBrowser {
    Q_OBJECT

public:
    explicit HelpBrowser(QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* e) override;

private:
    void FitLinkColours();
};
