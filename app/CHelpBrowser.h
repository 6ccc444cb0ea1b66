// The page view of the help window: a text browser that reads pages, style sheets and
// pictures out of the compressed help.
#pragma once

#include <QHelpEngineCore>
#include <QPointer>
#include <QTextBrowser>

class CHelpBrowser : public QTextBrowser {
    Q_OBJECT

public:
    explicit CHelpBrowser(QWidget* parent = nullptr);

    void SetHelpEngine(QHelpEngineCore* pEngine) { m_pEngine = pEngine; }

    QVariant loadResource(int type, const QUrl& name) override;

protected:
    void changeEvent(QEvent* e) override;

private:
    void FitLinkColours();

    QPointer<QHelpEngineCore> m_pEngine;
};
