// The start-up benchmark's comparison: a plain Qt Widgets window with the same kinds of widgets
// as Vantrel's (menu bar, toolbar with pictures and labels, a table with a header, a group box
// with a line edit and a button, a text browser, a status line, a window icon), built the
// straightforward way.
#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QIcon Picture(const QColor& colour, int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setBrush(colour);
    painter.drawEllipse(pixmap.rect().adjusted(1, 1, -1, -1));
    return QIcon(pixmap);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QDialog window;
    window.setWindowTitle(QStringLiteral("Baseline"));
    window.setWindowIcon(Picture(Qt::darkBlue, 32));

    auto* layout = new QVBoxLayout(&window);
    auto* menuBar = new QMenuBar;
    for (const char* name : {"&File", "&Action", "&Help"})
        menuBar->addMenu(QString::fromLatin1(name))->addAction(QStringLiteral("Item"));
    layout->setMenuBar(menuBar);

    auto* toolBar = new QToolBar;
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (const char* name : {"New", "Add", "Remove", "Join", "Help"})
        toolBar->addAction(Picture(Qt::darkGreen, 24), QString::fromLatin1(name));
    auto* banner = new QTextBrowser;
    banner->setHtml(QStringLiteral("<p>News <a href=\"https://example.org/\">link</a></p>"));
    banner->setFixedSize(60, 28);
    auto* top = new QHBoxLayout;
    top->addWidget(toolBar);
    top->addWidget(banner);
    layout->addLayout(top);

    auto* table = new QTableWidget(0, 1);
    table->setHorizontalHeaderLabels({QStringLiteral("Files to join")});
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    layout->addWidget(table);

    auto* group = new QGroupBox(QStringLiteral("Output file name and path"));
    auto* row = new QHBoxLayout(group);
    row->addWidget(new QLineEdit);
    row->addWidget(new QPushButton(QStringLiteral("...")));
    layout->addWidget(group);
    layout->addWidget(new QLabel(QStringLiteral("Drag files into the list")));

    window.resize(560, 480);
    window.show();
    return app.exec();
}
