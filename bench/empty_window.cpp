// The baseline of the start-up benchmark: a Qt Widgets program that only shows a window.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Baseline"));
    window.resize(400, 300);
    window.show();
    return app.exec();
}
