// The About box as a user meets it: its texts and layout in dialog units, the ways it ends,
// and its link: opened on the press, purple once opened and blue in every new box, a beep
// when nothing can open it, its own text as the target when it has none, the hand cursor.
#include "app/CVantrelDlg.h"
#include "banner/CAboutDlg.h"
#include "banner/CStaticLink.h"
#include "banner/MakerSite.h"
#include "platform/core/UiThread.h"
#include "platform/widgets/DialogUnits.h"
#include "platform/widgets/DlgItem.h"
#include "platform/widgets/ShellOpen.h"
#include "res/resource.h"
#include "tests/support/GuiTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

QLabel* LinkLabel(QWidget* dlg) {
    return dlg->findChild<QLabel*>("IDC_WEBSITE_LINK");
}

bool HasPixel(QWidget* widget, const QColor& color) {
    const QImage image = widget->grab().toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (QColor(image.pixel(x, y)) == color)
                return true;
        }
    }
    return false;
}

// A dialog with labels that carry control ids, for links made by hand.
struct LinkDialog {
    LinkDialog() {
        for (int i = 0; i < 2; ++i) {
            labels[i] = new QLabel(&dlg);
            labels[i]->setGeometry(10, 10 + 30 * i, 200, 20);
            SetDlgCtrlID(labels[i], 2000 + i);
        }
        dlg.resize(240, 80);
    }
    QDialog dlg;
    QLabel* labels[2];
};

} // namespace

class TestAboutDlg : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void templateLayout_data();
    void templateLayout();
    void captionIconAndDefaultButton();
    void endedBy_data();
    void endedBy();
    void linkOpensOnPressAndEveryBoxStartsBlue_data();
    void linkOpensOnPressAndEveryBoxStartsBlue();
    void emptyTargetOpensTheVisibleText_data();
    void emptyTargetOpensTheVisibleText();
    void linkUnderlinedInDialogFontOnDialogBackground();
    void handCursorTriedOncePerProcess_data();
    void handCursorTriedOncePerProcess();
    void selfDeletionFollowsTheFlag_data();
    void selfDeletionFollowsTheFlag();

private:
    QList<QUrl> m_opened;
    int m_nBeeps = 0;
    bool m_bOpenSucceeds = true;
};

void TestAboutDlg::init() {
    ResetUiThreadCallsForTesting();
    m_opened.clear();
    m_nBeeps = 0;
    m_bOpenSucceeds = true;
    SetShellOpenHookForTesting([this](const QUrl& url) {
        m_opened << url;
        return m_bOpenSucceeds;
    });
    SetMessageBeepHookForTesting([this](UINT) { ++m_nBeeps; });
}

void TestAboutDlg::cleanup() {
    SetShellOpenHookForTesting({});
    SetMessageBeepHookForTesting({});
    SetHandCursorHookForTesting({});
    CloseTopLevelsAfterTest();
}

void TestAboutDlg::templateLayout_data() {
    QTest::addColumn<QRect>("dlu");
    QTest::addColumn<QString>("text"); // empty: the notice line, worded freely
    QTest::newRow("version") << QRect(40, 8, 115, 8) << "Vantrel Version 1.4";
    QTest::newRow("maker") << QRect(40, 19, 119, 8) << "Tessaly Software LLC";
    QTest::newRow("link") << QRect(39, 41, 114, 8) << MakerSiteAddress();
    QTest::newRow("notice") << QRect(39, 30, 119, 8) << QString();
}

void TestAboutDlg::templateLayout() {
    QFETCH(QRect, dlu);
    QFETCH(QString, text);
    CAboutDlg dlg;
    const DialogBaseUnits base = GetDialogBaseUnits(dlg.font());
    QCOMPARE(dlg.size(), MapDialogSize({225, 58}, base));
    QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
    QLabel* found = nullptr;
    for (QLabel* label : dlg.findChildren<QLabel*>()) {
        if (label->geometry() == MapDialogRect(dlu, base))
            found = label;
    }
    QVERIFY(found != nullptr);
    if (!text.isEmpty())
        QCOMPARE(found->text(), text);
    QVERIFY(!found->text().isEmpty());
    // The whole text shows, underlined font or not.
    QFont underlined = found->font();
    underlined.setUnderline(true);
    QVERIFY2(QFontMetrics(underlined).horizontalAdvance(found->text()) <= found->width(),
             qPrintable(found->text()));
}

void TestAboutDlg::captionIconAndDefaultButton() {
    CAboutDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(dlg.windowTitle(), QString("About Corvane"));
    const DialogBaseUnits base = GetDialogBaseUnits(dlg.font());
    auto* ok = qobject_cast<QPushButton*>(GetDlgItem(&dlg, IDOK));
    QVERIFY(ok != nullptr);
    QCOMPARE(ok->text(), QString("OK"));
    QVERIFY(ok->isDefault());
    QCOMPARE(ok->geometry(), MapDialogRect({168, 5, 50, 14}, base));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ok));
    const QPoint iconAt = MapDialogRect({7, 5, 20, 20}, base).topLeft();
    auto* icon = qobject_cast<QLabel*>(dlg.childAt(iconAt + QPoint(4, 4)));
    QVERIFY(icon != nullptr);
    QVERIFY(!icon->pixmap().isNull());
    QCOMPARE(icon->pos(), iconAt);
    QVERIFY(!(dlg.windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
}

void TestAboutDlg::endedBy_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("OK clicked") << "ok" << IDOK;
    QTest::newRow("Enter") << "enter" << IDOK;
    QTest::newRow("Esc") << "esc" << IDCANCEL;
    QTest::newRow("close box") << "close" << IDCANCEL;
}

void TestAboutDlg::endedBy() {
    QFETCH(QString, how);
    QFETCH(int, result);
    CAboutDlg dlg;
    bool seen = false;
    const CTopLevelWatch watch = WhenTopLevelShown("CAboutDlg", [&](QWidget* box) {
        seen = true;
        QVERIFY(box->isModal());
        if (how == "ok")
            QTest::mouseClick(static_cast<QPushButton*>(GetDlgItem(box, IDOK)), Qt::LeftButton);
        else if (how == "enter")
            QTest::keyClick(box, Qt::Key_Return);
        else if (how == "esc")
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->close(); // what the close box asks for
    });
    QCOMPARE(dlg.DoModal(), result);
    QVERIFY(seen);
}

void TestAboutDlg::linkOpensOnPressAndEveryBoxStartsBlue_data() {
    QTest::addColumn<bool>("opens");
    QTest::newRow("opened") << true;
    QTest::newRow("nothing can open it") << false;
}

void TestAboutDlg::linkOpensOnPressAndEveryBoxStartsBlue() {
    QFETCH(bool, opens);
    m_bOpenSucceeds = opens;
    CVantrelDlg main;
    AfxSetMainWnd(&main);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    const QUrl address(MakerSiteAddress());
    for (int opening = 1; opening <= 2; ++opening) {
        bool checked = false;
        const CTopLevelWatch watch = WhenTopLevelShown("CAboutDlg", [&](QWidget* box) {
            QCOMPARE(box->parentWidget(), static_cast<QWidget*>(&main)); // owned by the window
            QLabel* link = LinkLabel(box);
            QVERIFY(HasPixel(link, CStaticLink::s_crUnvisited));
            QTest::mousePress(link, Qt::LeftButton, {}, link->rect().center());
            QCOMPARE(m_opened.size(), opening); // on the press, before any release
            QCOMPARE(m_opened.last(), address);
            QCOMPARE(m_nBeeps, opens ? 0 : opening);
            QCOMPARE(HasPixel(link, CStaticLink::s_crVisited), opens);
            QCOMPARE(HasPixel(link, CStaticLink::s_crUnvisited), !opens);
            QTest::mouseRelease(link, Qt::LeftButton, {}, link->rect().center());
            QCOMPARE(m_opened.size(), opening);
            checked = true;
            box->close();
        });
        main.GetCommandAction(ID_HELP_ABOUT)->trigger();
        QVERIFY(checked);
    }
    AfxSetMainWnd(nullptr);
}

void TestAboutDlg::emptyTargetOpensTheVisibleText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("opened"); // empty: nothing opened, no beep
    QTest::newRow("empty target") << "http://tessaly.example/"
                                  << ""
                                  << "http://tessaly.example/";
    QTest::newRow("target set") << "Our site"
                                << "http://tessaly.example/a"
                                << "http://tessaly.example/a";
    QTest::newRow("no target, no text") << ""
                                        << ""
                                        << "";
}

void TestAboutDlg::emptyTargetOpensTheVisibleText() {
    QFETCH(QString, text);
    QFETCH(QString, target);
    QFETCH(QString, opened);
    LinkDialog d;
    d.labels[0]->setText(text);
    CStaticLink link(target);
    QVERIFY(link.SubclassDlgItem(2000, &d.dlg));
    d.dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d.dlg));
    QTest::mouseClick(d.labels[0], Qt::LeftButton);
    QCOMPARE(m_opened, opened.isEmpty() ? QList<QUrl>() : QList<QUrl>({QUrl(opened)}));
    QCOMPARE(m_nBeeps, 0);
    QCOMPARE(link.m_crText,
             opened.isEmpty() ? CStaticLink::s_crUnvisited : CStaticLink::s_crVisited);
}

void TestAboutDlg::linkUnderlinedInDialogFontOnDialogBackground() {
    CAboutDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QLabel* label = LinkLabel(&dlg);
    const QImage image = label->grab().toImage();
    QTRY_VERIFY(dlg.m_wndLink.m_fontLink.has_value());
    QFont expected = dlg.font();
    expected.setUnderline(true);
    QCOMPARE(*dlg.m_wndLink.m_fontLink, expected);
    // Right of the text, the dialog's own background shows through.
    const QColor background = dlg.palette().color(QPalette::Window);
    QCOMPARE(QColor(image.pixel(image.width() - 1, 0)), background);
    // The underline: a row of blue pixels under the text.
    int longestRun = 0;
    for (int y = 0; y < image.height(); ++y) {
        int run = 0;
        for (int x = 0; x < image.width(); ++x) {
            run = QColor(image.pixel(x, y)) == CStaticLink::s_crUnvisited ? run + 1 : 0;
            longestRun = qMax(longestRun, run);
        }
    }
    const int textWidth = QFontMetrics(expected).horizontalAdvance(label->text());
    QVERIFY2(longestRun >= textWidth * 9 / 10, qPrintable(QString::number(longestRun)));
}

void TestAboutDlg::handCursorTriedOncePerProcess_data() {
    QTest::addColumn<bool>("loads");
    QTest::newRow("hand cursor loads") << true;
    QTest::newRow("hand cursor missing") << false;
}

void TestAboutDlg::handCursorTriedOncePerProcess() {
    QFETCH(bool, loads);
    CStaticLink::ResetHandCursorForTesting();
    int tries = 0;
    SetHandCursorHookForTesting([&]() -> std::optional<QCursor> {
        ++tries;
        if (!loads)
            return std::nullopt;
        return QCursor(Qt::PointingHandCursor);
    });
    LinkDialog d;
    CStaticLink first("http://a.example/");
    CStaticLink second("http://b.example/");
    QVERIFY(first.SubclassDlgItem(2000, &d.dlg));
    QVERIFY(second.SubclassDlgItem(2001, &d.dlg));
    d.dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d.dlg));
    for (int round = 0; round < 3; ++round) {
        for (QLabel* label : d.labels) {
            QTest::mouseMove(label, QPoint(5, 5));
            QTest::mouseMove(label, QPoint(20, 8));
        }
    }
    QCOMPARE(tries, 1);
    for (QLabel* label : d.labels) {
        QCOMPARE(label->testAttribute(Qt::WA_SetCursor), loads);
        if (loads)
            QCOMPARE(label->cursor().shape(), Qt::PointingHandCursor);
    }
}

void TestAboutDlg::selfDeletionFollowsTheFlag_data() {
    QTest::addColumn<bool>("selfDelete");
    QTest::newRow("deletes itself") << true;
    QTest::newRow("stays") << false;
}

void TestAboutDlg::selfDeletionFollowsTheFlag() {
    QFETCH(bool, selfDelete);
    auto* d = new LinkDialog;
    QPointer<CStaticLink> link = new CStaticLink(QString(), selfDelete);
    QVERIFY(link->SubclassDlgItem(2000, &d->dlg));
    delete d;
    QCOMPARE(link.isNull(), selfDelete);
    if (!link.isNull()) {
        QCOMPARE(link->GetSafeHwnd(), nullptr);
        delete link.data();
    }
}

QTEST_MAIN(TestAboutDlg)
#include "tst_aboutdlg.moc"
