// The toolbar with text labels: labels from the string table, one common button size
// measured over every item, pictures normal and hot, and where a press goes.
#include "platform/core/CommCtrl.h"
#include "platform/widgets/Resources.h"
#include "res/resource.h"
#include "toolbar/CTextToolBar.h"
#include "toolbar/ToolBarLabel.h"

#include <QAction>
#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QToolButton>
#include <QWindow>

namespace {

constexpr UINT kTestToolBar = 900;

// Makes separators far larger than any button.
class TallSeparatorStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_ToolBarSeparatorExtent)
            return 200;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

// A strip of solid cells, one colour per picture.
QPixmap SolidStrip(const QList<QColor>& colours) {
    QPixmap strip(24 * int(colours.size()), 24);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    for (int i = 0; i < colours.size(); ++i)
        p.fillRect(i * 24 + 4, 4, 16, 16, colours[i]);
    return strip;
}

int CountColour(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) == colour;
    return n;
}

} // namespace

class TestTextToolBar : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void labelOfString_data();
    void labelOfString();
    void labelsFromStringTable_data();
    void labelsFromStringTable();
    void labelsOfUnusualStrings();
    void oneSizeForAllButtons();
    void aboutSpacesWidenButtons();
    void separatorsTakePartInMeasurement();
    void reloadAndUnknownResource();
    void hotImagesUnderMouse();
    void pressTriggersSharedAction();
    void dropDownRequestGoesNowhere();
};

void TestTextToolBar::cleanup() {
    ResetResourcesForTesting();
}

void TestTextToolBar::labelOfString_data() {
    QTest::addColumn<QString>("string");
    QTest::addColumn<QString>("label");
    QTest::newRow("two pieces") << "Add files to join\nAdd Files"
                                << "Add Files";
    QTest::newRow("spaces kept") << "About this software\n   About   "
                                 << "   About   ";
    QTest::newRow("no newline") << "Join everything"
                                << "Join everything";
    QTest::newRow("newlines in a row") << "Join\n\n\nNow"
                                       << "Now";
    QTest::newRow("trailing newline") << "Join files\nJoin\n"
                                      << "Join";
    QTest::newRow("three pieces") << "a\nb\nc"
                                  << "c";
    QTest::newRow("only newlines") << "\n\n" << QString();
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("blank piece is a label") << "Tip\n "
                                            << " ";
}

void TestTextToolBar::labelOfString() {
    QFETCH(QString, string);
    QFETCH(QString, label);
    QCOMPARE(ToolBarLabel(string), label);
}

void TestTextToolBar::labelsFromStringTable_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<UINT>("id");
    QTest::addColumn<QString>("label");
    QTest::newRow("new") << 0 << UINT(ID_FILE_NEWLIST) << "New List";
    QTest::newRow("separator") << 1 << 0u << QString();
    QTest::newRow("add") << 2 << UINT(ID_FILE_ADDFILES) << "Add Files";
    QTest::newRow("remove") << 4 << UINT(ID_FILE_REMOVEFILES) << "Remove";
    QTest::newRow("join") << 6 << UINT(ID_ACTION_JOIN) << "Join Files";
    QTest::newRow("last separator") << 7 << 0u << QString();
    QTest::newRow("about") << 8 << UINT(ID_HELP_ABOUT) << "   About   ";
}

void TestTextToolBar::labelsFromStringTable() {
    QFETCH(int, index);
    QFETCH(UINT, id);
    QFETCH(QString, label);
    CTextToolBar toolbar;
    QCOMPARE(toolbar.LoadToolBarWithLabels(IDR_TOOLBAR), true);
    QCOMPARE(toolbar.GetCount(), 9);
    QCOMPARE(toolbar.GetItemID(index), id);
    QToolButton* button = toolbar.GetButton(index);
    QCOMPARE(button == nullptr, id == 0);
    if (button) {
        QCOMPARE(button->text(), label);
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        QVERIFY(button->autoRaise());
    }
}

void TestTextToolBar::labelsOfUnusualStrings() {
    SetStringResourceForTesting(40001, "Whole string");
    SetStringResourceForTesting(40002, "Description\n\n\nLast");
    SetStringResourceForTesting(40004, "\n\n");
    SetStringResourceForTesting(0, "Zero\nZero"); // a separator takes no label all the same
    SetToolBarResourceForTesting(kTestToolBar, {40001, 0, 40002, 40003, 40004, 0});
    CTextToolBar toolbar;
    QCOMPARE(toolbar.LoadToolBarWithLabels(kTestToolBar), true);
    QStringList labels;
    for (int i = 0; i < toolbar.GetCount(); ++i)
        labels << (toolbar.GetButton(i) ? toolbar.GetButtonText(i) : QStringLiteral("|"));
    QCOMPARE(labels, QStringList({"Whole string", "|", "Last", "", "", "|"}));
}

void TestTextToolBar::oneSizeForAllButtons() {
    QWidget window;
    auto* toolbar = new CTextToolBar(&window);
    QVERIFY(toolbar->LoadToolBarWithLabels(IDR_TOOLBAR));
    toolbar->adjustSize();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QSize common = toolbar->GetButtonSize();
    QVERIFY(common.width() > 0 && common.height() > 24);
    int widest = 0;
    int left = -1;
    for (int i = 0; i < toolbar->GetCount(); ++i) {
        if (QToolButton* button = toolbar->GetButton(i)) {
            QCOMPARE(button->size(), common);
            QVERIFY(button->isVisible());
            QVERIFY2(button->x() > left, "buttons should stand in resource order");
            left = button->x();
            widest = std::max(widest, button->sizeHint().width());
        }
    }
    QCOMPARE(common.width(), widest + 2);
}

void TestTextToolBar::aboutSpacesWidenButtons() {
    CTextToolBar toolbar;
    QVERIFY(toolbar.LoadToolBarWithLabels(IDR_TOOLBAR));
    const QSize withSpaces = toolbar.GetButtonSize();
    // The About button, widened by its spaces, is the one that sets the width.
    QCOMPARE(withSpaces.width(), toolbar.GetButton(8)->sizeHint().width() + 2);

    SetStringResourceForTesting(ID_HELP_ABOUT, "About this software\nAbout");
    QVERIFY(toolbar.LoadToolBarWithLabels(IDR_TOOLBAR));
    QCOMPARE(toolbar.GetButtonText(8), QStringLiteral("About"));
    QVERIFY2(toolbar.GetButtonSize().width() < withSpaces.width(),
             qPrintable(
                 QString("%1 vs %2").arg(toolbar.GetButtonSize().width()).arg(withSpaces.width())));
    QCOMPARE(toolbar.GetButtonSize().height(), withSpaces.height());
}

void TestTextToolBar::separatorsTakePartInMeasurement() {
    CTextToolBar plain;
    QVERIFY(plain.LoadToolBarWithLabels(IDR_TOOLBAR));
    QVERIFY(plain.GetButtonSize().height() < 150);

    // Separators are made with the application's style.
    const QString styleName = QApplication::style()->name();
    QApplication::setStyle(new TallSeparatorStyle);
    auto restore = qScopeGuard([&] { QApplication::setStyle(styleName); });
    CTextToolBar toolbar;
    QVERIFY(toolbar.LoadToolBarWithLabels(IDR_TOOLBAR));
    QCOMPARE(toolbar.GetItemSize(1), QSize(200, 200));
    QCOMPARE(toolbar.GetButtonSize(), QSize(202, 204));

    // Without a separator, the buttons alone set the size.
    SetToolBarResourceForTesting(kTestToolBar, {ID_FILE_NEWLIST, ID_HELP_ABOUT});
    QVERIFY(toolbar.LoadToolBarWithLabels(kTestToolBar));
    QVERIFY(toolbar.GetButtonSize().height() < 150);
}

void TestTextToolBar::reloadAndUnknownResource() {
    CTextToolBar toolbar;
    QVERIFY(toolbar.LoadToolBarWithLabels(IDR_TOOLBAR));
    const QSize size = toolbar.GetButtonSize();
    QVERIFY(toolbar.LoadToolBarWithLabels(IDR_TOOLBAR));
    QCOMPARE(toolbar.GetCount(), 9);
    QCOMPARE(toolbar.GetButtonSize(), size);
    QCOMPARE(toolbar.GetButtonText(2), QStringLiteral("Add Files"));

    QCOMPARE(toolbar.LoadToolBarWithLabels(4242), false);
    QCOMPARE(toolbar.GetCount(), 9);
    QCOMPARE(toolbar.GetButtonSize(), size);
    QCOMPARE(toolbar.GetButtonText(8), QStringLiteral("   About   "));
}

void TestTextToolBar::hotImagesUnderMouse() {
    const QList<QColor> normal = {Qt::red, Qt::darkRed, Qt::blue, Qt::darkBlue, Qt::darkCyan};
    const QList<QColor> hot = {Qt::green, Qt::darkGreen, Qt::yellow, Qt::darkYellow, Qt::cyan};
    QWidget window;
    auto* toolbar = new CTextToolBar(&window);
    QVERIFY(toolbar->LoadToolBarWithLabels(IDR_TOOLBAR));
    toolbar->SetImageList(SolidStrip(normal));
    toolbar->SetHotImageList(SolidStrip(hot));
    toolbar->adjustSize();
    window.resize(toolbar->size() + QSize(40, 40));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Moves through the window system, which tells widgets the mouse entered or left them.
    QWindow* handle = window.windowHandle();
    const QPoint away(window.width() - 5, window.height() - 5);
    QTest::mouseMove(handle, away);

    const int buttons[] = {0, 2, 4, 6, 8};
    for (int n = 0; n < 5; ++n) {
        QToolButton* button = toolbar->GetButton(buttons[n]);
        QTRY_VERIFY(!button->underMouse());
        const QImage idle = button->grab().toImage();
        QVERIFY2(CountColour(idle, normal[n].rgb()) > 100, qPrintable(QString::number(n)));
        QCOMPARE(CountColour(idle, hot[n].rgb()), 0);

        QTest::mouseMove(handle, button->mapTo(&window, button->rect().center()));
        QTRY_VERIFY(button->underMouse());
        const QImage under = button->grab().toImage();
        QVERIFY2(CountColour(under, hot[n].rgb()) > 100, qPrintable(QString::number(n)));
        QCOMPARE(CountColour(under, normal[n].rgb()), 0);
        QTest::mouseMove(handle, away);
    }
}

void TestTextToolBar::pressTriggersSharedAction() {
    QWidget window;
    auto* toolbar = new CTextToolBar(&window);
    QVERIFY(toolbar->LoadToolBarWithLabels(IDR_TOOLBAR));
    toolbar->adjustSize();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // Without a lookup the button's own action carries the command id.
    QToolButton* join = toolbar->GetButton(6);
    QSignalSpy own(join->defaultAction(), &QAction::triggered);
    QTest::mouseClick(join, Qt::LeftButton);
    QCOMPARE(own.count(), 1);
    QCOMPARE(join->defaultAction()->data().toUInt(), UINT(ID_ACTION_JOIN));

    QList<UINT> sent;
    QAction shared[2];
    const UINT ids[2] = {ID_ACTION_JOIN, ID_HELP_ABOUT};
    for (int i = 0; i < 2; ++i)
        connect(&shared[i], &QAction::triggered, this, [&sent, id = ids[i]] { sent << id; });
    toolbar->SetActionLookup([&](UINT nID) -> QAction* {
        for (int i = 0; i < 2; ++i)
            if (ids[i] == nID)
                return &shared[i];
        return nullptr;
    });
    QTest::mouseClick(join, Qt::LeftButton);
    QTest::mouseClick(toolbar->GetButton(8), Qt::LeftButton);
    QTest::mouseClick(toolbar->GetButton(0), Qt::LeftButton); // no shared action: goes nowhere
    QCOMPARE(sent, QList<UINT>({ID_ACTION_JOIN, ID_HELP_ABOUT}));
    // The menu keeps its own texts and gets no pictures from the toolbar.
    QVERIFY(shared[0].text().isEmpty());
    QVERIFY(shared[0].icon().isNull());
}

void TestTextToolBar::dropDownRequestGoesNowhere() {
    CTextToolBar toolbar;
    QVERIFY(toolbar.LoadToolBarWithLabels(IDR_TOOLBAR));
    NMHDR header;
    header.hwndFrom = &toolbar;
    header.idFrom = AFX_IDW_TOOLBAR;
    header.code = TBN_DROPDOWN;
    LRESULT result = 77;
    QCOMPARE(toolbar.OnNotify(0, reinterpret_cast<LPARAM>(&header), &result), false);
    QCOMPARE(result, LRESULT(77));
}

QTEST_MAIN(TestTextToolBar)
#include "tst_texttoolbar.moc"
