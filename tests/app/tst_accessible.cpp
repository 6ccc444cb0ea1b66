// What a screen reader gets from the main window, read through Qt's accessibility interfaces.
#include "app/CVantrelDlg.h"
#include "app/HelpWindow.h"
#include "banner/BannerLayout.h"
#include "banner/CExplorer1.h"
#include "listview/CFlatListCtrl.h"
#include "platform/widgets/CStatusBarCtrl.h"
#include "res/resource.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/TestSupport.h"
#include "toolbar/CTextToolBar.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>

namespace {

// Offscreen Qt has no bridge; on Windows it starts only when a UI Automation client asks.
bool BridgeActive() {
    return QGuiApplication::platformName() == QLatin1String("xcb") &&
           QTest::qWaitFor([] { return QAccessible::isActive(); }, 5000);
}

QList<void*> s_focused; // the objects or interfaces of the focus events recorded

} // namespace

class TestAccessible : public QObject {
    Q_OBJECT

private slots:
    void controlsHaveNamesAndRoles_data() {
        QTest::addColumn<QString>("object");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("described");
        QTest::newRow("file list")
            << "IDC_FILE_LIST" << int(QAccessible::Table) << "Files to join" << true;
        QTest::newRow("output field") << "IDC_OUTPUT_FILE" << int(QAccessible::EditableText)
                                      << "Output file name and path" << true;
        QTest::newRow("browse button")
            << "IDC_BROWSE_OUTPUT" << int(QAccessible::Button) << "Choose the output file" << false;
        QTest::newRow("banner") << "IDC_BANNER" << int(QAccessible::Client) << "Banner" << true;
#ifdef Q_OS_WIN
        const char* hint = "Drag and drop files from Windows Explorer or click Add Files button";
#else
        const char* hint = "Drag and drop files from your file manager or click Add Files button";
#endif
        QTest::newRow("status bar")
            << "IDC_STATUS_BAR" << int(QAccessible::StatusBar) << hint << false;
    }
    void controlsHaveNamesAndRoles() {
        QFETCH(QString, object);
        QFETCH(int, role);
        QFETCH(QString, name);
        QFETCH(bool, described);
        CVantrelDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto* widget = dlg.findChild<QWidget*>(object);
        QVERIFY(widget != nullptr);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(iface != nullptr && iface->isValid());
        QCOMPARE(int(iface->role()), role);
        QCOMPARE(iface->text(QAccessible::Name), name);
        QCOMPARE(!iface->text(QAccessible::Description).isEmpty(), described);
        // A reader finds it by walking down from the window.
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&dlg);
        QVERIFY(window->indexOfChild(iface) >= 0);
    }

    void bannerPageReadWithItsName() {
        CVantrelDlg dlg;
        QTextBrowser* view = dlg.Banner()->GetView();
        view->setHtml("<p>News of the day</p>");
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(view);
        QCOMPARE(iface->text(QAccessible::Name), QString("Banner"));
        QVERIFY(!iface->text(QAccessible::Description).isEmpty());
        QVERIFY(iface->textInterface() != nullptr);
        QCOMPARE(iface->textInterface()->text(0, iface->textInterface()->characterCount()),
                 QString("News of the day"));
    }

    void toolbarAndButtonsNamedByTheirLabels() {
        CVantrelDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(dlg.ToolBar());
        QCOMPARE(bar->role(), QAccessible::ToolBar);
        QCOMPARE(bar->text(QAccessible::Name), QString("Toolbar"));
        QStringList names;
        for (int i = 0; i < bar->childCount(); ++i) {
            QAccessibleInterface* child = bar->child(i);
            // The bar's own overflow button is hidden while every button fits.
            if ((child->role() == QAccessible::Button ||
                 child->role() == QAccessible::ButtonMenu) &&
                !child->state().invisible)
                names << child->text(QAccessible::Name);
        }
        QCOMPARE(names, QStringList({"New List", "Add Files", "Remove", "Join Files", "About"}));
        // The button still shows its padded label.
        QCOMPARE(dlg.ToolBar()->GetButtonText(dlg.ToolBar()->GetCount() - 1),
                 QString("   About   "));
    }

    void statusBarReadsWhatItShows_data() {
        QTest::addColumn<QStringList>("parts");
        QTest::addColumn<QString>("read");
        QTest::newRow("first part") << QStringList{"Ready", ""} << "Ready";
        QTest::newRow("both parts") << QStringList{"Joining", "3 files"} << "Joining 3 files";
        QTest::newRow("second only") << QStringList{"", "3 files"} << "3 files";
        QTest::newRow("nothing") << QStringList{"", ""} << "";
    }
    void statusBarReadsWhatItShows() {
        QFETCH(QStringList, parts);
        QFETCH(QString, read);
        CStatusBarCtrl bar;
        const int edges[] = {100, -1};
        QVERIFY(bar.SetParts(2, edges));
        for (int i = 0; i < parts.size(); ++i)
            QVERIFY(bar.SetText(parts[i], i));
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&bar);
        QCOMPARE(iface->role(), QAccessible::StatusBar);
        QCOMPARE(iface->text(QAccessible::Name), read);
    }

    // A screen reader asks for the word, sentence or line around the caret whenever it moves.
    void textAroundEveryOffsetOfTheTextFields_data() {
        QTest::addColumn<bool>("inAddFiles");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("wordAtOne");
#ifdef Q_OS_WIN
        const bool kDialogs[] = {false}; // the system's own file dialog has no Qt line edit
#else
        const bool kDialogs[] = {false, true};
#endif
        const char* rows[][3] = {{"path", "/tmp/x", "tmp"},
                                 {"two quoted", R"("a.txt" "b.txt")", "a"},
                                 {"leading space", " lead", "lead"},
                                 {"dots", "..", ".."},
                                 {"slash", "/", "/"},
                                 {"empty", "", ""}};
        for (const bool inAddFiles : kDialogs) {
            for (const auto& [name, text, wordAtOne] : rows)
                QTest::addRow("%s: %s", inAddFiles ? "Add Files name" : "output", name)
                    << inAddFiles << QString(text) << QString(wordAtOne);
        }
    }
    void textAroundEveryOffsetOfTheTextFields() {
        QFETCH(bool, inAddFiles);
        QFETCH(QString, text);
        QFETCH(QString, wordAtOne);
        const auto ask = [&](QLineEdit* edit) {
            QVERIFY(edit != nullptr);
            edit->setText(text);
            QAccessibleTextInterface* iface =
                QAccessible::queryAccessibleInterface(edit)->textInterface();
            QVERIFY(iface != nullptr);
            using Ask = QString (QAccessibleTextInterface::*)(int, QAccessible::TextBoundaryType,
                                                              int*, int*) const;
            for (const Ask call : {&QAccessibleTextInterface::textBeforeOffset,
                                   &QAccessibleTextInterface::textAtOffset,
                                   &QAccessibleTextInterface::textAfterOffset}) {
                for (const auto type : {QAccessible::CharBoundary, QAccessible::WordBoundary,
                                        QAccessible::SentenceBoundary, QAccessible::LineBoundary}) {
                    for (int offset = -2; offset <= text.size() + 1; ++offset) {
                        int start = 0;
                        int end = 0;
                        QElapsedTimer clock;
                        clock.start();
                        const QString item = (iface->*call)(offset, type, &start, &end);
                        QVERIFY(clock.elapsed() < 100);
                        QVERIFY(start == -1 ? end == -1 : 0 <= start && start < end);
                        QVERIFY(end <= text.size());
                        QCOMPARE(item, start == -1 ? QString() : text.mid(start, end - start));
                    }
                }
            }
            int start = 0;
            int end = 0;
            QCOMPARE(iface->textAtOffset(1, QAccessible::WordBoundary, &start, &end), wordAtOne);
        };
        CVantrelDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        if (!inAddFiles)
            return ask(dlg.findChild<QLineEdit*>("IDC_OUTPUT_FILE"));
        bool asked = false;
        const CTopLevelWatch watch = WhenTopLevelShown("QFileDialog", [&](QWidget* fd) {
            ask(fd->findChild<QLineEdit*>("fileNameEdit"));
            asked = true;
            static_cast<QDialog*>(fd)->reject();
        });
        dlg.GetCommandAction(ID_FILE_ADDFILES)->trigger();
        QVERIFY(asked);
    }

    // After each move or sort the current row is read at its new place, after a sort with its
    // direction; a sort also changes the header item's description. Nothing in between is read,
    // and the cell that had the focus is still alive: a screen reader is still holding it.
    void movesAndSortsAreAnnounced_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QList<int>>("selected"); // of the rows b.bin, c.bin, a.bin
        QTest::addColumn<int>("current");
        QTest::addColumn<QStringList>("heard");
        const QList<int> c{1};
        QTest::newRow("Alt+Up") << int(Qt::Key_Up) << c << 1 << QStringList{"c.bin, row 1 of 3"};
        QTest::newRow("Alt+Down") << int(Qt::Key_Down) << c << 1
                                  << QStringList{"c.bin, row 3 of 3"};
        QTest::newRow("Alt+Home") << int(Qt::Key_Home) << c << 1
                                  << QStringList{"c.bin, row 1 of 3"};
        QTest::newRow("Alt+End") << int(Qt::Key_End) << c << 1 << QStringList{"c.bin, row 3 of 3"};
        QTest::newRow("Alt+S") << int(Qt::Key_S) << c << 1
                               << QStringList{"Sorted ascending, A to Z",
                                              "c.bin, row 3 of 3, Sorted ascending, A to Z"};
        QTest::newRow("two rows, Alt+Down")
            << int(Qt::Key_Down) << QList<int>{0, 1} << 1 << QStringList{"c.bin, row 3 of 3"};
        QTest::newRow("two rows, Alt+Home")
            << int(Qt::Key_Home) << QList<int>{1, 2} << 2 << QStringList{"a.bin, row 2 of 3"};
        QTest::newRow("two rows, Alt+Up")
            << int(Qt::Key_Up) << QList<int>{1, 2} << 2 << QStringList{"a.bin, row 2 of 3"};
        QTest::newRow("two rows, Alt+End")
            << int(Qt::Key_End) << QList<int>{0, 1} << 1 << QStringList{"c.bin, row 3 of 3"};
        QTest::newRow("current not moved, Alt+Up")
            << int(Qt::Key_Up) << QList<int>{2} << 1 << QStringList{"c.bin, row 3 of 3"};
        QTest::newRow("current not moved, Alt+Home")
            << int(Qt::Key_Home) << QList<int>{2} << 0 << QStringList{"b.bin, row 2 of 3"};
        QTest::newRow("current not moved, Alt+End")
            << int(Qt::Key_End) << QList<int>{0} << 1 << QStringList{"c.bin, row 1 of 3"};
        QTest::newRow("current keeps its place, Alt+Down")
            << int(Qt::Key_Down) << QList<int>{0} << 2 << QStringList{"row 3 of 3"};
    }
    void movesAndSortsAreAnnounced() {
        QFETCH(int, key);
        QFETCH(QList<int>, selected);
        QFETCH(int, current);
        QFETCH(QStringList, heard);
        CVantrelDlg dlg;
        CFlatListCtrl* list = dlg.FileList();
        QTemporaryDir dir;
        for (const char* name : {"b.bin", "c.bin", "a.bin"}) {
            WriteFile(dir.filePath(name), "x");
            QVERIFY(list->AddFileRow(dir.filePath(name)) >= 0);
        }
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        list->setCurrentCell(current, 0, QItemSelectionModel::NoUpdate);
        list->clearSelection();
        for (const int row : selected)
            list->selectionModel()->select(list->model()->index(row, 0),
                                           QItemSelectionModel::Select);
        if (!BridgeActive())
            QSKIP("no accessibility bridge here: tst_accessible_events runs this");
        QAccessibleTableInterface* table =
            QAccessible::queryAccessibleInterface(list)->tableInterface();
        const QAccessible::Id focused = QAccessible::uniqueId(table->cellAt(current, 0));
        static QStringList s_heard;
        s_heard.clear();
        const auto record = [](QAccessibleEvent* event) {
            const QAccessibleInterface* iface = event->accessibleInterface();
            if (iface == nullptr)
                return;
            // What a reader says: a changed description alone, a focused cell with its name.
            const QString place = iface->text(QAccessible::Description);
            if (event->type() == QAccessible::DescriptionChanged)
                s_heard << place;
            else if (event->type() == QAccessible::Focus)
                s_heard << QFileInfo(iface->text(QAccessible::Name)).fileName() + ", " + place;
        };
        QAccessible::installUpdateHandler(record);
        QTest::keyClick(list, Qt::Key(key), Qt::AltModifier);
        QAccessible::installUpdateHandler(nullptr);
        QCOMPARE(s_heard, heard);
        QVERIFY(QAccessible::accessibleInterface(focused) != nullptr);
    }

    // The help page and the banner are documents, read at a caret the keys move; the mouse
    // selects their text, and a link the keyboard marks is announced as focused and shown.
    void pagesReadAtTheCaret_data() {
        QTest::addColumn<bool>("banner");
        QTest::newRow("help page") << false;
        QTest::newRow("banner") << true;
    }
    void pagesReadAtTheCaret() {
        QFETCH(bool, banner);
        CVantrelDlg dlg;
        HelpWindow help(QStringLiteral(VANTREL_BIN_DIR));
        QWidget* window = banner ? static_cast<QWidget*>(&dlg) : &help;
        auto* view = banner ? dlg.Banner()->GetView() : help.findChild<QTextBrowser*>("helpPage");
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QApplication::setActiveWindow(window); // no window manager gives it under the bridge
        view->setHtml("<p>First</p><p>Second line</p>" + QString("<p>.</p>").repeated(40) +
                      "<p><a href=\"https://example.com/\">A link</a></p>");
        view->setLineWrapMode(QTextEdit::FixedPixelWidth);
        view->setLineWrapColumnOrWidth(50); // "Second line" wraps
        view->show();
        view->setFocus();
        const auto* layout = qobject_cast<BannerLayout*>(view->document()->documentLayout());
        QVERIFY(!banner || QTest::qWaitFor([&] { return layout->IsCurrent(); }));
        QAccessibleInterface* page = QAccessible::queryAccessibleInterface(view);
        QCOMPARE(page->role(), QAccessible::Document);
        QAccessibleTextInterface* text = page->textInterface();
        QCOMPARE(text->text(0, 20), QString("First\nSecond line\n.\n"));
        int from = 0;
        int to = 0;
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Down);
        QCOMPARE(text->textAtOffset(-2, QAccessible::LineBoundary, &from, &to), QString("line\n"));
        QTest::keyClick(view, Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(text->textAtOffset(-2, QAccessible::WordBoundary, &from, &to), QString("Second "));
        // A drag over a word selects it, as a double click on one does.
        const auto at = [&](int offset) {
            return view->viewport()->mapFromGlobal(text->characterRect(offset).center());
        };
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at(0) - QPoint(2, 0));
        QTest::mouseMove(view->viewport(), at(4) + QPoint(2, 0));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at(4) + QPoint(2, 0));
        QCOMPARE(view->textCursor().selectedText(), QString("First"));
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at(14));
        QCOMPARE(view->textCursor().selectedText(), QString("line"));
        if (!BridgeActive())
            QSKIP("no accessibility bridge here: tst_accessible_events runs this");
        s_focused.clear();
        QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
            if (event->type() == QAccessible::Focus)
                s_focused << event->accessibleInterface();
        });
        QTest::keyClick(view, Qt::Key_Tab);
        QTRY_COMPARE(s_focused.size(), 1);
        auto* link = static_cast<QAccessibleInterface*>(s_focused.first());
        QCOMPARE(link->role(), QAccessible::Link);
        QCOMPARE(link->text(QAccessible::Name), QString("A link"));
        const QRect pane(view->viewport()->mapToGlobal(QPoint()), view->viewport()->size());
        QTRY_VERIFY(pane.contains(link->rect()));
        // Off the link, the page has the focus again before its caret moves.
        QTest::keyClick(view, Qt::Key_Up);
        QAccessible::installUpdateHandler(nullptr);
        QCOMPARE(s_focused.size(), 2);
        QCOMPARE(s_focused.last(), page);
    }

    // The contents follow the page shown without taking the focus away from it.
    void helpFocusEventsOnlyForFocus() {
        HelpWindow help(QStringLiteral(VANTREL_BIN_DIR));
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        if (!BridgeActive())
            QSKIP("no accessibility bridge here: tst_accessible_events runs this");
        auto* page = help.findChild<QTextBrowser*>("helpPage");
        page->setFocus();
        s_focused.clear();
        QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
            if (event->type() == QAccessible::Focus)
                s_focused << event->object();
        });
        page->setSource(page->source().resolved(QUrl("messages.html"))); // a link followed
        QCOMPARE(help.ContentsTree()->currentItem()->text(0), QString("Messages"));
        page->backward(); // Alt+Left
        QAccessible::installUpdateHandler(nullptr);
        QVERIFY(!s_focused.contains(help.ContentsTree()));
    }
};

QTEST_MAIN(TestAccessible)
#include "tst_accessible.moc"
