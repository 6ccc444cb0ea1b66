// A Qt generic plugin that tst_install loads into the installed, unmodified vantrel
// (QT_QPA_GENERIC_PLUGINS): it opens Help > Contents through the menu bar as a user would,
// prints what the help window shows, and closes the program. VANTREL_PROBE_HOLD_MS keeps both
// windows on screen that long first, for a screenshot.
#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QGenericPlugin>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeView>
#include <QWindow>

#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

// Shown and mapped: on Wayland a window is exposed only once the compositor has configured it.
QWidget* VisibleTopLevel(const char* className) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->inherits(className) && w->windowHandle() &&
            w->windowHandle()->isExposed())
            return w;
    }
    return nullptr;
}

QString PlainText(const QAction* action) {
    return action->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
}

QAction* ActionNamed(const QList<QAction*>& actions, const QString& text) {
    for (QAction* a : actions) {
        if (PlainText(a) == text)
            return a;
    }
    return nullptr;
}

void Say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// Runs each step until it reports done; a step that never completes ends the process, so a
// broken install fails the test instead of hanging it.
class InstallProbe : public QObject {
public:
    explicit InstallProbe(QObject* parent) : QObject(parent) {
        m_steps = {
            [this] { return FindMainWindow(); },  [this] { return ReportBannerModule(); },
            [this] { return OpenHelpMenu(); },    [this] { return ClickContents(); },
            [this] { return ReportHelp(); },      [this] { return Hold(); },
            [this] { return CloseEverything(); },
        };
        m_timer.setInterval(50);
        connect(&m_timer, &QTimer::timeout, this, &InstallProbe::Tick);
        m_timer.start();
        qApp->installEventFilter(this);
    }

private:
    // The pane starts its load from a call it queues when first painted: two hops behind that
    // paint, the load has been tried, and the module loaded or refused.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->inherits("CExplorer1")) {
            qApp->removeEventFilter(this);
            QMetaObject::invokeMethod(
                this,
                [this] {
                    QMetaObject::invokeMethod(
                        this, [this] { m_bBannerTried = true; }, Qt::QueuedConnection);
                },
                Qt::QueuedConnection);
        }
        return false;
    }

    void Tick() {
        if (m_nStep >= m_steps.size())
            return;
        if (m_steps[m_nStep]()) {
            ++m_nStep;
            return;
        }
        if (m_deadline.hasExpired()) {
            Say(QStringLiteral("probe: timed out at step %1").arg(m_nStep));
            ::_exit(3);
        }
    }

    bool FindMainWindow() {
        m_pMain = VisibleTopLevel("CVantrelDlg");
        if (!m_pMain)
            return false;
        Say(QStringLiteral("app: name=%1 desktop=%2 platform=%3 title=%4")
                .arg(QCoreApplication::applicationName(), QGuiApplication::desktopFileName(),
                     QGuiApplication::platformName(), m_pMain->windowTitle()));
        return true;
    }

    // The banner's library, loaded once the window has been painted: where it came from, and
    // whether the pane made its loader from it.
    bool ReportBannerModule() {
        QFile maps(QStringLiteral("/proc/self/maps"));
        if (!m_bBannerTried || !maps.open(QIODevice::ReadOnly))
            return false;
        QString module = QStringLiteral("none");
        for (const QByteArray& line : maps.readAll().split('\n')) {
            if (const qsizetype at = line.indexOf('/'); at >= 0 && line.contains("vantrel-banner"))
                module = QString::fromLocal8Bit(line.mid(at));
        }
        bool bLoader = false;
        for (const QObject* child : m_pMain->findChildren<QObject*>())
            bLoader = bLoader || child->inherits("BannerLoader");
        Say(QStringLiteral("banner: module=%1 loader=%2")
                .arg(module, bLoader ? QStringLiteral("yes") : QStringLiteral("no")));
        return true;
    }

    bool OpenHelpMenu() {
        auto* bar = m_pMain->findChild<QMenuBar*>();
        QAction* help = bar ? ActionNamed(bar->actions(), QStringLiteral("Help")) : nullptr;
        if (!help || !help->menu())
            return false;
        m_pHelpMenu = help->menu();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(help).center());
        return true;
    }

    bool ClickContents() {
        QAction* contents = ActionNamed(m_pHelpMenu->actions(), QStringLiteral("Contents"));
        if (!m_pHelpMenu->isVisible() || !contents)
            return false;
        QTest::mouseClick(m_pHelpMenu, Qt::LeftButton, {},
                          m_pHelpMenu->actionGeometry(contents).center());
        return true;
    }

    bool ReportHelp() {
        QWidget* help = VisibleTopLevel("HelpWindow");
        if (!help)
            return false;
        if (auto* error = help->findChild<QLabel*>(QStringLiteral("helpError"));
            error && error->isVisible()) {
            Say(QStringLiteral("help: error %1").arg(error->text().simplified()));
            return true;
        }
        auto* tree = help->findChild<QTreeView*>(QStringLiteral("helpContents"));
        auto* page = help->findChild<QTextBrowser*>(QStringLiteral("helpPage"));
        if (!tree || !page || !tree->isVisible() || tree->model()->rowCount() == 0)
            return false;
        const QModelIndex top = tree->model()->index(0, 0);
        Say(QStringLiteral("help: contents=%1 topics=%2 page=%3")
                .arg(top.data().toString())
                .arg(tree->model()->rowCount(top))
                .arg(page->source().fileName()));
        m_pHelp = help;
        const int hold = qEnvironmentVariableIntValue("VANTREL_PROBE_HOLD_MS");
        m_hold.setRemainingTime(hold);
        m_deadline.setRemainingTime(m_deadline.remainingTime() + hold);
        return true;
    }

    bool Hold() {
        if (!m_hold.hasExpired())
            return false;
        if (m_pHelp)
            m_pHelp->close();
        return true;
    }

    bool CloseEverything() {
        m_pMain->close();
        return true;
    }

    QTimer m_timer;
    QDeadlineTimer m_deadline{20000};
    QDeadlineTimer m_hold;
    QList<std::function<bool()>> m_steps;
    qsizetype m_nStep = 0;
    QWidget* m_pMain = nullptr;
    QMenu* m_pHelpMenu = nullptr;
    QWidget* m_pHelp = nullptr;
    bool m_bBannerTried = false;
};

} // namespace

class InstallProbePlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "installprobe.json")

public:
    QObject* create(const QString& key, const QString&) override {
        if (key.compare(QLatin1String("vantrelprobe"), Qt::CaseInsensitive) != 0)
            return nullptr;
        return new InstallProbe(nullptr);
    }
};

#include "InstallProbe.moc"
