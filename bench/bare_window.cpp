// The reference for start-up: a Qt window of the program's size that shows nothing.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setFixedSize(536, 425);
    window.show();
    return application.exec();
}
