#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "app/picture_box.h"

// The program's one window. The controls keep the names the catalogue window has always had;
// code refers to them by these names.
class MainWindow : public QWidget {
    Q_OBJECT
  public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    QGroupBox* 分组框1;
    PictureBox* 图片框1;
    QLabel* 标签1;
    QLabel* 标签2;
    QLabel* 标签3;
    QLabel* 标签4;
    QLabel* 标签5;
    QLabel* 标签6;
    QComboBox* 组合框1;  // grade
    QComboBox* 组合框2;  // volume
    QComboBox* 组合框3;  // edition
    QComboBox* 组合框4;  // subject
    QLineEdit* 编辑框1;  // page number
    QPushButton* 按钮1;  // 下载
    QPushButton* 按钮2;  // 查看
    QPushButton* 按钮3;  // 下一页
    QPushButton* 按钮4;  // 上一页
    QPushButton* 按钮5;  // 打开网站

  signals:
    // After each paint of the window's own area, before its controls paint theirs.
    void painted();

  protected:
    void paintEvent(QPaintEvent* event) override;
    // Sees Esc before any control, an open list's popup included, so Esc always closes.
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Shows the window with its frame centred on the primary screen's available area.
void showCentredOnPrimaryScreen(QWidget& window);
