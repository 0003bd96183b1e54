// A second start-up reference: the bare window with one label of Chinese text. It pays what
// any window showing such text pays on first paint (fontconfig's configuration, loading a CJK
// font, shaping), which the bare window never does.
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setFixedSize(536, 425);
    QLabel label(QString::fromUtf8("操作提醒：选好需要的课本后请先点击查看按钮"), &window);
    label.setGeometry(352, 344, 184, 80);
    label.setWordWrap(true);
    window.show();
    return application.exec();
}
