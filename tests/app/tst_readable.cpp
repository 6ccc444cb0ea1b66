// Every window read in a light and a dark palette: contrast measured on grabbed pixels (the
// About box's link, the help pages' texts and links, the list's focus frame), the About box
// by keyboard and for a screen reader, the help window's names and pane key, and toolbar
// presses through the accessibility interface that return before their dialog opens.
#include "app/CVantrelDlg.h"
#include "app/HelpWindow.h"
#include "banner/CAboutDlg.h"
#include "banner/CExplorer1.h"
#include "listview/CFlatListCtrl.h"
#include "platform/core/AfxMessageBox.h"
#include "platform/core/UiThread.h"
#include "platform/widgets/Contrast.h"
#include "platform/widgets/ShellOpen.h"
#include "res/resource.h"
#include "tests/support/GuiTestSupport.h"
#include "toolbar/CTextToolBar.h"

#include <QAccessible>
#include <QApplication>
#include <QHash>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleFactory>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>

#include <cstdio>

namespace {

// qt6ct's "darker" colour scheme, role by role as its file lists them.
QPalette DarkerSchemePalette() {
    const char* colours[] = {"#ffffff", "#424245", "#979797",  "#5e5c5b", "#302f2e", "#4a4947",
                             "#ffffff", "#ffffff", "#ffffff",  "#3d3d3d", "#222020", "#e7e4e0",
                             "#12608a", "#f9f9f9", "#0986d3",  "#a70b06", "#5c5b5a", "#ffffff",
                             "#3f3f36", "#ffffff", "#80ffffff"};
    QPalette pal;
    for (int role = 0; role < QPalette::NColorRoles; ++role)
        pal.setColor(QPalette::ColorRole(role), QColor::fromString(colours[role]));
    return pal;
}

void UsePalette(const QString& name) {
    QApplication::setPalette(name == "dark"           ? DarkPalette()
                             : name == "qt6ct darker" ? DarkerSchemePalette()
                                                      : QApplication::style()->standardPalette());
}

// Within r, the ground is the commonest colour and the ink the one that stands out most from
// it (the text's full colour, where a glyph covers whole pixels).
double InkContrast(const QImage& image, const QRect& r) {
    const QRect area = r.intersected(image.rect());
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb ground = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            ground = it.key();
        }
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = std::max(best, ContrastRatio(QColor(it.key()), QColor(ground)));
    return best;
}

bool HasColour(const QImage& image, const QColor& colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
}

void Report(const char* what, const QString& palette, double ratio) {
    std::printf("contrast %-28s %-6s %5.2f:1\n", what, qPrintable(palette), ratio);
}

void AddPaletteRows() {
    QTest::addColumn<QString>("palette");
    QTest::newRow("light") << "light";
    QTest::newRow("dark") << "dark";
    QTest::newRow("qt6ct darker") << "qt6ct darker";
}

} // namespace

class TestReadable : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStyleFactory::create("Fusion")); }
    void init() { ResetUiThreadCallsForTesting(); }
    void cleanup() {
        SetShellOpenHookForTesting({});
        SetMessageBeepHookForTesting({});
        CloseTopLevelsAfterTest();
        UsePalette("light");
    }

    void aboutLinkByKeyboardAndContrast_data() {
        QTest::addColumn<QString>("palette");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("opens");
        QTest::newRow("light, Enter") << "light" << int(Qt::Key_Return) << true;
        QTest::newRow("light, Space, fails") << "light" << int(Qt::Key_Space) << false;
        QTest::newRow("dark, Space") << "dark" << int(Qt::Key_Space) << true;
        QTest::newRow("dark, Enter, fails") << "dark" << int(Qt::Key_Return) << false;
    }
    void aboutLinkByKeyboardAndContrast() {
        QFETCH(QString, palette);
        QFETCH(int, key);
        QFETCH(bool, opens);
        UsePalette(palette);
        QList<QUrl> opened;
        int beeps = 0;
        SetShellOpenHookForTesting([&](const QUrl& url) {
            opened << url;
            return opens;
        });
        SetMessageBeepHookForTesting([&](UINT) { ++beeps; });
        CAboutDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        auto* ok = dlg.findChild<QPushButton*>();
        auto* link = dlg.findChild<QLabel*>("IDC_WEBSITE_LINK");
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ok));
        QTest::keyClick(dlg.windowHandle(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(link));

        const QColor ground = dlg.palette().color(QPalette::Window);
        const QImage before = link->grab().toImage();
        const double unvisited = InkContrast(before, before.rect());
        Report("About link", palette, unvisited);
        QVERIFY(unvisited >= 4.5);
        if (palette == "light") // blue is kept on a light window
            QVERIFY(HasColour(before, QColor(0, 0, 255)));
        // The focus frame is drawn in the link's colour, so it reads as well as the text.
        const QColor frame = before.pixelColor(0, before.height() / 2);
        QVERIFY2(ContrastRatio(frame, ground) >= 3, qPrintable(frame.name()));

        QTest::keyClick(dlg.windowHandle(), Qt::Key(key));
        QCOMPARE(opened.size(), 1);
        QCOMPARE(beeps, opens ? 0 : 1);
        QVERIFY(dlg.isVisible()); // Enter on the link does not end the box
        const QImage after = link->grab().toImage();
        QCOMPARE(after != before, opens);
        if (palette == "light" && opens)
            QVERIFY(HasColour(after, QColor(128, 0, 128)));
        const double visited = InkContrast(after, after.rect());
        Report(opens ? "About link, visited" : "About link, after a beep", palette, visited);
        QVERIFY(visited >= 4.5);

        QTest::keyClick(dlg.windowHandle(), Qt::Key_Tab); // back round to OK
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ok));
    }

    void aboutBoxForAScreenReader() {
        QList<QUrl> opened;
        SetShellOpenHookForTesting([&](const QUrl& url) {
            opened << url;
            return true;
        });
        CAboutDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QAccessibleInterface* box = QAccessible::queryAccessibleInterface(&dlg);
        QStringList read;
        QAccessibleInterface* link = nullptr;
        for (int i = 0; i < box->childCount(); ++i) {
            QAccessibleInterface* child = box->child(i);
            if (!child->text(QAccessible::Name).isEmpty())
                read << child->text(QAccessible::Name);
            if (child->role() == QAccessible::Link)
                link = child;
        }
        QVERIFY(link != nullptr);
        QCOMPARE(read.mid(read.indexOf("Visit us on the web:")),
                 QStringList({"Visit us on the web:", link->text(QAccessible::Name)}));
        QVERIFY(link->actionInterface()->actionNames().contains(
            QAccessibleActionInterface::pressAction()));
        link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(opened.size(), 0); // returned first
        QTRY_COMPARE(opened.size(), 1);
    }

    void helpPagesReadInEveryPalette_data() { AddPaletteRows(); }
    void helpPagesReadInEveryPalette() {
        QFETCH(QString, palette);
        UsePalette(palette);
        HelpWindow help(QStringLiteral(VANTREL_BIN_DIR));
        QVERIFY2(help.IsHelpLoaded(), qPrintable(help.ErrorText()));
        auto* page = help.findChild<QTextBrowser*>("helpPage");
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        struct Sample {
            const char* pszWhat;
            const char* pszPage;
            const char* pszText;
        };
        const Sample samples[] = {
            {"help heading", "messages.html", "Messages"},
            {"help message text", "messages.html", "There are no files to remove!"},
            {"help refused names", "messages.html", "These files could not be added to the list:"},
            {"help body text", "index.html", "Vantrel joins files."},
            {"help link", "index.html", "Add the files"},
        };
        for (const Sample& s : samples) {
            page->setSource(page->source().resolved(QUrl(QString::fromLatin1(s.pszPage))));
            QTRY_VERIFY(page->source().toString().endsWith(s.pszPage));
            const QTextCursor found = page->document()->find(QString::fromUtf8(s.pszText));
            QVERIFY2(!found.isNull(), s.pszText);
            QTextCursor start(page->document());
            start.setPosition(found.selectionStart());
            page->ensureCursorVisible();
            const QRect r = page->cursorRect(start).united(page->cursorRect(found));
            const QImage image = page->viewport()->grab().toImage();
            const double ratio = InkContrast(image, r);
            Report(s.pszWhat, palette, ratio);
            QVERIFY2(ratio >= 4.5, s.pszWhat);
        }
    }

    void helpWindowNamesAndPaneKey() {
        HelpWindow help(QStringLiteral(VANTREL_BIN_DIR));
        QVERIFY(help.IsHelpLoaded());
        help.show();
        QVERIFY(QTest::qWaitForWindowActive(&help));
        QWidget* tree = help.ContentsTree();
        QWidget* page = help.findChild<QTextBrowser*>("helpPage");
        for (QObject* o : {static_cast<QObject*>(&help), static_cast<QObject*>(tree),
                           static_cast<QObject*>(page)})
            QVERIFY(!QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name).isEmpty());
        page->setFocus();
        QTest::keyClick(help.windowHandle(), Qt::Key_F6);
        QTRY_VERIFY(tree->hasFocus());
        QTest::keyClick(help.windowHandle(), Qt::Key_F6);
        QTRY_VERIFY(page->hasFocus());
        QTest::keyClick(help.windowHandle(), Qt::Key_F6, Qt::ShiftModifier);
        QTRY_VERIFY(tree->hasFocus());
    }

    void sortMarkStandsOut_data() { AddPaletteRows(); }
    void sortMarkStandsOut() {
        QFETCH(QString, palette);
        UsePalette(palette);
        CVantrelDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        CFlatListCtrl* list = dlg.FileList();
        QVERIFY(list->AddFileRow(QCoreApplication::applicationFilePath()) == 0);
        QWidget* header = list->horizontalHeader()->viewport();
        const QImage unsorted = header->grab().toImage();
        list->OnHeaderItemClick(0, 0);
        const QImage sorted = header->grab().toImage();
        // Every pixel of the mark against the face beside it.
        const QColor face = unsorted.pixelColor(2, unsorted.height() / 2);
        int pixels = 0;
        double weakest = 21;
        for (int y = 0; y < sorted.height(); ++y)
            for (int x = 0; x < sorted.width(); ++x)
                if (sorted.pixel(x, y) != unsorted.pixel(x, y)) {
                    ++pixels;
                    weakest = std::min(weakest, ContrastRatio(sorted.pixelColor(x, y), face));
                }
        QVERIFY(pixels > 4);
        QVERIFY2(weakest >= 3.0, qPrintable(QString::number(weakest)));
    }

    // The frame around the current row, selected or not, and inside an empty list.
    void focusFrameStandsOut_data() {
        QTest::addColumn<QString>("palette");
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<bool>("addedWhileFocused"); // rows that came into the focused list
        for (const char* pal : {"light", "dark"}) {
            QTest::addRow("%s, selected row", pal) << pal << 2 << true << false;
            QTest::addRow("%s, unselected row", pal) << pal << 2 << false << false;
            QTest::addRow("%s, empty list", pal) << pal << 0 << false << false;
            QTest::addRow("%s, rows added to the empty list", pal) << pal << 2 << false << true;
        }
        QTest::addRow("qt6ct darker, selected row") << "qt6ct darker" << 2 << true << false;
    }
    void focusFrameStandsOut() {
        QFETCH(QString, palette);
        QFETCH(int, rows);
        QFETCH(bool, selected);
        QFETCH(bool, addedWhileFocused);
        UsePalette(palette);
        CVantrelDlg dlg;
        CFlatListCtrl* list = dlg.FileList();
        const auto addRows = [&] {
            for (int i = 0; i < rows; ++i)
                QVERIFY(list->AddFileRow(QCoreApplication::applicationFilePath()) >= 0);
        };
        if (!addedWhileFocused)
            addRows();
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        list->setFocus();
        QTRY_VERIFY(list->hasFocus());
        QRect frame = list->viewport()->rect().adjusted(1, 1, -2, -2);
        // The first row that came in is current, not selected, so the arrows work at once.
        const int current = addedWhileFocused ? 0 : 1;
        if (addedWhileFocused) {
            addRows();
            QCOMPARE(list->currentIndex().row(), 0);
            QCOMPARE(list->GetNextSelectedItem(), -1);
        } else if (rows > 0) {
            list->selectionModel()->setCurrentIndex(list->model()->index(1, 0),
                                                    selected ? QItemSelectionModel::ClearAndSelect
                                                             : QItemSelectionModel::Clear);
        }
        if (rows > 0) {
            const QRect row = list->visualRect(list->model()->index(current, 0));
            frame = QRect(row.left() + 1, row.top() + 1, row.width() - 3, row.height() - 3);
        }
        const QImage image = list->viewport()->grab().toImage();
        const QColor edge = image.pixelColor(frame.left(), frame.center().y());
        const QColor inside = image.pixelColor(frame.left() + 1, frame.top() + 1);
        const double ratio = ContrastRatio(edge, inside);
        Report(rows == 0  ? "focus frame, empty list"
               : selected ? "focus frame, selected row"
                          : "focus frame, unselected row",
               palette, ratio);
        QVERIFY(ratio >= 3);
        if (selected) { // the selected row's text, inside the frame, right of the icon
            const QRect text = frame.adjusted(list->iconSize().width() + 8, 2, -2, -2);
            Report("selected row text", palette, InkContrast(image, text));
            QVERIFY(InkContrast(image, text) >= 4.5);
        }
        // Without the focus there is no frame.
        dlg.findChild<QWidget*>("IDC_OUTPUT_FILE")->setFocus();
        QTRY_VERIFY(!list->hasFocus());
        const QImage unfocused = list->viewport()->grab().toImage();
        QVERIFY(ContrastRatio(unfocused.pixelColor(frame.left(), frame.center().y()),
                              unfocused.pixelColor(frame.left() + 1, frame.top() + 1)) < 1.5);
    }

    // Where the focus is shows at least 3:1 against how the control looks without it: the
    // edge of the output field, the "..." button, a box's buttons and the panes that draw no
    // focus of their own.
    void focusShows_data() {
        QTest::addColumn<QString>("palette");
        QTest::addColumn<QString>("control");
        for (const char* pal : {"light", "dark", "qt6ct darker"})
            for (const char* control : {"output field", "browse button", "Yes of a box", "banner",
                                        "help contents", "help page"})
                QTest::addRow("%s, %s", pal, control) << pal << control;
    }
    void focusShows() {
        QFETCH(QString, palette);
        QFETCH(QString, control);
        UsePalette(palette);
        CVantrelDlg dlg;
        HelpWindow help(QStringLiteral(VANTREL_BIN_DIR));
        QWidget* window = control.startsWith("help") ? static_cast<QWidget*>(&help) : &dlg;
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTextBrowser* banner = dlg.Banner()->GetView();
        banner->setHtml("<p>News</p>");
        banner->show();
        QWidget* output = dlg.findChild<QWidget*>("IDC_OUTPUT_FILE");
        QWidget* browse = dlg.findChild<QWidget*>("IDC_BROWSE_OUTPUT");
        QWidget* tree = help.ContentsTree();
        QWidget* page = help.findChild<QTextBrowser*>("helpPage");
        // The control focused and then another, compared on the two outermost lines halfway
        // down the left edge; 0 when the focus does not move as asked.
        const auto change = [](QWidget* widget, QWidget* other) -> double {
            widget->setFocus();
            if (!QTest::qWaitFor([&] { return widget->hasFocus(); }))
                return 0;
            const QImage focused = widget->grab().toImage();
            other->setFocus();
            if (!QTest::qWaitFor([&] { return !widget->hasFocus(); }))
                return 0;
            const QImage unfocused = widget->grab().toImage();
            double most = 0;
            for (int x : {0, 1, 2})
                most = std::max(most, ContrastRatio(focused.pixelColor(x, focused.height() / 2),
                                                    unfocused.pixelColor(x, focused.height() / 2)));
            return most;
        };
        const QHash<QString, std::pair<QWidget*, QWidget*>> pairs = {
            {"output field", {output, browse}},
            {"browse button", {browse, output}},
            {"banner", {banner, output}},
            {"help contents", {tree, page}},
            {"help page", {page, tree}}};
        double ratio = 0;
        if (control == "Yes of a box") {
            const CTopLevelWatch watch = WhenBoxShown([&](QMessageBox* box) {
                ratio = change(box->button(QMessageBox::Yes), box->button(QMessageBox::No));
                box->reject();
            });
            AfxMessageBox(QStringLiteral("Question"), MB_YESNO | MB_ICONQUESTION);
        } else {
            ratio = change(pairs[control].first, pairs[control].second);
        }
        Report(QString("focus, %1").arg(control).toLatin1().constData(), palette, ratio);
        QVERIFY(ratio >= 3);
    }

    // The press comes back before the dialog or box it opens is even shown.
    void accessiblePressReturnsAtOnce_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("withRow");
        QTest::newRow("Add Files") << int(ID_FILE_ADDFILES) << false;
        QTest::newRow("New List, the first button") << int(ID_FILE_NEWLIST) << true;
        QTest::newRow("Remove, nothing to remove") << int(ID_FILE_REMOVEFILES) << false;
        QTest::newRow("browse button") << int(IDC_BROWSE_OUTPUT) << false;
    }
    void accessiblePressReturnsAtOnce() {
        QFETCH(int, command);
        QFETCH(bool, withRow);
        CVantrelDlg dlg;
        if (withRow)
            QVERIFY(dlg.FileList()->AddFileRow(QCoreApplication::applicationFilePath()) == 0);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QAbstractButton* button =
            command == IDC_BROWSE_OUTPUT
                ? static_cast<QAbstractButton*>(dlg.findChild<QPushButton*>("IDC_BROWSE_OUTPUT"))
                : dlg.ToolBar()->GetButton(dlg.ToolBar()->CommandToIndex(command));
        QVERIFY(button != nullptr);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(button);
        QCOMPARE(iface->role(), QAccessible::Button);
        QVERIFY(!iface->text(QAccessible::Name).isEmpty());
        bool shown = false;
        const bool box = command == ID_FILE_NEWLIST || command == ID_FILE_REMOVEFILES;
        const CTopLevelWatch watch = box ? WhenBoxShown([&](QMessageBox*) { shown = true; })
                                         : WhenTopLevelShown("QFileDialog", [&](QWidget* fd) {
                                               shown = true;
                                               fd->close();
                                           });
        iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(!shown);
        QTRY_VERIFY(shown);
    }
};

QTEST_MAIN(TestReadable)
#include "tst_readable.moc"
