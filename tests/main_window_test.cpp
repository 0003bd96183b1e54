#include "app/main_window.h"

#include <gtest/gtest.h>
#include <QAbstractItemView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <climits>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/window_operations.h"
#include "services/gbk.h"
#include "tests/support/widget_application.h"

namespace {

Text gbk(const char* utf8) { return utf8ToGbk(utf8).value(); }

QString qs(const char* utf8) { return QString::fromUtf8(utf8); }

class MainWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { widgetApplication(); }

    void SetUp() override { window = std::make_unique<MainWindow>(); }

    void showActive() {
        showCentredOnPrimaryScreen(*window);
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    std::vector<QComboBox*> lists() const {
        return {window->组合框4, window->组合框3, window->组合框1, window->组合框2};
    }

    // The focusable controls in the order Tab visits them.
    std::vector<QWidget*> tabOrder() const {
        return {window->组合框4, window->组合框3, window->组合框1, window->组合框2, window->编辑框1,
                window->按钮1,   window->按钮2,   window->按钮4,   window->按钮3,   window->按钮5};
    }

    // The control that holds the focus, also when an inner part of it (a list's field) has it.
    QWidget* focusedControl() const {
        for (QWidget* widget = QApplication::focusWidget(); widget != nullptr;
             widget = widget->parentWidget()) {
            if (widget->parentWidget() == window.get()) return widget;
        }
        return nullptr;
    }

    std::vector<QSignalSpy*> spyOnButtons(std::vector<std::unique_ptr<QSignalSpy>>& spies) const {
        std::vector<QSignalSpy*> result;
        for (QPushButton* button :
             {window->按钮1, window->按钮2, window->按钮3, window->按钮4, window->按钮5}) {
            spies.push_back(std::make_unique<QSignalSpy>(button, &QPushButton::clicked));
            result.push_back(spies.back().get());
        }
        return result;
    }

    std::unique_ptr<MainWindow> window;
};

struct Placement {
    const char* name;
    QRect rect;
    bool takesFocus;
    QWidget* (*member)(MainWindow&);
};

const Placement kPlacements[] = {
    {"分组框1", {0, 1, 344, 424}, false, [](MainWindow& w) -> QWidget* { return w.分组框1; }},
    {"图片框1", {8, 15, 328, 408}, false, [](MainWindow& w) -> QWidget* { return w.图片框1; }},
    {"标签4", {352, 7, 48, 32}, false, [](MainWindow& w) -> QWidget* { return w.标签4; }},
    {"组合框4", {409, 15, 120, 20}, true, [](MainWindow& w) -> QWidget* { return w.组合框4; }},
    {"标签3", {352, 46, 48, 32}, false, [](MainWindow& w) -> QWidget* { return w.标签3; }},
    {"组合框3", {409, 52, 120, 20}, true, [](MainWindow& w) -> QWidget* { return w.组合框3; }},
    {"标签1", {352, 78, 48, 32}, false, [](MainWindow& w) -> QWidget* { return w.标签1; }},
    {"组合框1", {409, 86, 120, 20}, true, [](MainWindow& w) -> QWidget* { return w.组合框1; }},
    {"标签2", {352, 118, 48, 32}, false, [](MainWindow& w) -> QWidget* { return w.标签2; }},
    {"组合框2", {409, 126, 120, 20}, true, [](MainWindow& w) -> QWidget* { return w.组合框2; }},
    {"标签5", {352, 162, 48, 32}, false, [](MainWindow& w) -> QWidget* { return w.标签5; }},
    {"编辑框1", {410, 164, 119, 24}, true, [](MainWindow& w) -> QWidget* { return w.编辑框1; }},
    {"按钮1", {360, 211, 72, 40}, true, [](MainWindow& w) -> QWidget* { return w.按钮1; }},
    {"按钮2", {456, 211, 72, 40}, true, [](MainWindow& w) -> QWidget* { return w.按钮2; }},
    {"按钮4", {361, 259, 72, 40}, true, [](MainWindow& w) -> QWidget* { return w.按钮4; }},
    {"按钮3", {456, 259, 72, 40}, true, [](MainWindow& w) -> QWidget* { return w.按钮3; }},
    {"按钮5", {392, 304, 112, 32}, true, [](MainWindow& w) -> QWidget* { return w.按钮5; }},
    {"标签6", {352, 344, 184, 80}, false, [](MainWindow& w) -> QWidget* { return w.标签6; }},
};

void PrintTo(const Placement& placement, std::ostream* out) { *out << placement.name; }

class ControlPlacementTest : public MainWindowTest,
                             public ::testing::WithParamInterface<Placement> {};

TEST_P(ControlPlacementTest, ControlHasItsNamePlaceAndFocusBehaviour) {
    const Placement& control = GetParam();
    auto* found = window->findChild<QWidget*>(qs(control.name));
    ASSERT_NE(found, nullptr) << control.name;
    EXPECT_EQ(found, control.member(*window));
    EXPECT_EQ(found->geometry(), control.rect);
    QWidget* expectedParent = found == window->图片框1 ? static_cast<QWidget*>(window->分组框1)
                                                       : static_cast<QWidget*>(window.get());
    EXPECT_EQ(found->parentWidget(), expectedParent);
    EXPECT_EQ((found->focusPolicy() & Qt::TabFocus) != 0, control.takesFocus);
    EXPECT_FALSE(found->testAttribute(Qt::WA_SetFont)) << "no control has a font of its own";
}

INSTANTIATE_TEST_SUITE_P(EveryControl, ControlPlacementTest, ::testing::ValuesIn(kPlacements));

TEST_F(MainWindowTest, WindowHasAFixedClientAreaAndNoMaximiseButton) {
    EXPECT_EQ(window->size(), QSize(536, 425));
    EXPECT_EQ(window->minimumSize(), QSize(536, 425));
    EXPECT_EQ(window->maximumSize(), QSize(536, 425));
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(window->isWindow());
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window->windowTitle().trimmed().isEmpty());
    EXPECT_FALSE(window->windowIcon().isNull());
}

TEST_F(MainWindowTest, WindowIsCentredOnThePrimaryScreenWhenShown) {
    showActive();
    // The frame is placed before the platform has added its decoration around the client area.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect frame = window->frameGeometry();
    const QPoint offset = frame.center() - screen.center();
    EXPECT_LE(std::abs(offset.x()), frame.width() - window->width() + 1);
    EXPECT_LE(std::abs(offset.y()), frame.height() - window->height() + 1);
}

TEST_F(MainWindowTest, ControlsStartInTheirInitialState) {
    showActive();
    EXPECT_EQ(text(*window->编辑框1), "1");
    for (QComboBox* list : lists()) {
        SCOPED_TRACE(list->objectName().toStdString());
        EXPECT_EQ(selectedIndex(*list), -1);
        EXPECT_TRUE(list->currentText().isEmpty());
        EXPECT_TRUE(list->isEditable());
    }
    EXPECT_TRUE(picture(*window->图片框1).empty());
    for (QWidget* control : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        EXPECT_TRUE(control->isVisible() && control->isEnabled())
            << control->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, LabelsShowTheirTextsAligned) {
    const struct {
        QLabel* label;
        const char* text;
    } cases[] = {{window->标签4, "课本"},
                 {window->标签3, "版本"},
                 {window->标签1, "年级"},
                 {window->标签2, "上下册"},
                 {window->标签5, "页码"}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.label->text(), qs(c.text));
        EXPECT_EQ(c.label->alignment(), Qt::AlignCenter);
        EXPECT_FALSE(c.label->wordWrap());
    }
    EXPECT_EQ(window->标签6->text(),
              qs("操作提醒：\r\n选好需要的课本后请先点击查看按钮，如显示有课本，请先预览总页数，"
                 "填到页码框里，请再进行下载！"));
    EXPECT_EQ(window->标签6->alignment(), Qt::AlignHCenter | Qt::AlignTop);
    EXPECT_TRUE(window->标签6->wordWrap());
}

TEST_F(MainWindowTest, ButtonsShowTheirCaptionsAndNoneIsDefault) {
    const struct {
        QPushButton* button;
        const char* caption;
    } cases[] = {{window->按钮1, "下载"},
                 {window->按钮2, "查看"},
                 {window->按钮3, "下一页"},
                 {window->按钮4, "上一页"},
                 {window->按钮5, "打开网站"}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.button->text(), qs(c.caption));
        EXPECT_FALSE(c.button->isDefault());
        EXPECT_FALSE(c.button->autoDefault());
    }
}

TEST_F(MainWindowTest, PageNumberBoxIsCentredAndUnlimited) {
    EXPECT_EQ(window->编辑框1->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(window->编辑框1->maxLength(), INT_MAX);
    const std::string longText(40000, '7');
    text(*window->编辑框1, longText);
    EXPECT_EQ(text(*window->编辑框1), longText);
}

TEST_F(MainWindowTest, ListsHoldTheCatalogueInOrder) {
    const struct {
        QComboBox* list;
        std::vector<const char*> items;
    } cases[] = {
        {window->组合框4, {"语文", "数学", "英语", "历史", "政治", "物理", "生物", "化学", "地理"}},
        {window->组合框3, {"部编版", "人教版", "苏教版", "北师大", "沪教版", "语文版", "西师大版"}},
        {window->组合框1,
         {"一年级", "二年级", "三年级", "四年级", "五年级", "六年级", "七年级", "八年级",
          "九年级"}},
        {window->组合框2, {"上册", "下册"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list->objectName().toStdString());
        ASSERT_EQ(c.list->count(), static_cast<int>(c.items.size()));
        for (int i = 0; i < c.list->count(); ++i) EXPECT_EQ(itemText(*c.list, i), gbk(c.items[i]));
    }
}

TEST_F(MainWindowTest, ItemTextOutsideTheListIsEmpty) {
    EXPECT_EQ(itemText(*window->组合框4, 8), gbk("地理"));
    EXPECT_EQ(itemText(*window->组合框4, 9), "");
    EXPECT_EQ(itemText(*window->组合框3, 6), gbk("西师大版"));
    EXPECT_EQ(itemText(*window->组合框3, 7), "");
    for (QComboBox* list : lists()) {
        for (int index : {-1, INT_MIN, INT_MAX}) EXPECT_EQ(itemText(*list, index), "");
    }
}

TEST_F(MainWindowTest, TypingIntoAListNeitherAddsNorChangesItems) {
    showActive();
    for (QComboBox* list : lists()) {
        SCOPED_TRACE(list->objectName().toStdString());
        std::vector<Text> before;
        for (int i = 0; i < list->count(); ++i) before.push_back(itemText(*list, i));
        list->setFocus();
        QTest::keyClicks(list, "abc");
        QTest::keyClick(list, Qt::Key_Return);
        EXPECT_EQ(list->currentText(), "abc");
        ASSERT_EQ(list->count(), static_cast<int>(before.size()));
        for (int i = 0; i < list->count(); ++i) EXPECT_EQ(itemText(*list, i), before[i]);
        EXPECT_EQ(selectedIndex(*list), -1);
    }
}

TEST_F(MainWindowTest, OpenListReachesAtMost160PixelsFromTheControlsTop) {
    showActive();
    int scrolling = 0;
    for (QComboBox* list : lists()) {
        SCOPED_TRACE(list->objectName().toStdString());
        list->showPopup();
        QWidget* popup = list->view()->window();
        ASSERT_TRUE(popup->isVisible());
        const int top = list->mapToGlobal(QPoint(0, 0)).y();
        const int reach = popup->geometry().bottom() + 1 - top;
        EXPECT_GE(popup->geometry().top(), top + list->height() - 1) << "the list opens below";
        EXPECT_LE(reach, 160);
        if (list->view()->verticalScrollBar()->isVisible()) {
            ++scrolling;
            EXPECT_EQ(reach, 160);
        } else {
            const QModelIndex last = list->model()->index(list->count() - 1, 0);
            EXPECT_LE(list->view()->visualRect(last).bottom(), list->view()->viewport()->height());
        }
        list->hidePopup();
    }
    EXPECT_GE(scrolling, 1) << "no list was long enough to measure its full reach";
}

TEST_F(MainWindowTest, OpenListRowsAreOnePixelTallerThanUsual) {
    QComboBox usual;
    usual.setEditable(true);
    usual.addItem(qs("语文"));
    for (QComboBox* list : lists()) {
        EXPECT_EQ(list->view()->sizeHintForRow(0), usual.view()->sizeHintForRow(0) + 1);
    }
}

TEST_F(MainWindowTest, TabVisitsTheFocusableControlsForwardAndBackward) {
    showActive();
    const std::vector<QWidget*> order = tabOrder();
    ASSERT_EQ(focusedControl(), order.front());
    for (std::size_t step = 1; step <= order.size(); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(focusedControl(), order[step % order.size()]) << "forward step " << step;
    }
    for (std::size_t step = 1; step <= order.size(); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(focusedControl(), order[(order.size() - step) % order.size()])
            << "backward step " << step;
    }
}

TEST_F(MainWindowTest, EnterRunsNothingAndKeepsTheFocus) {
    showActive();
    std::vector<std::unique_ptr<QSignalSpy>> owner;
    const std::vector<QSignalSpy*> clicks = spyOnButtons(owner);
    for (QWidget* control : tabOrder()) {
        for (Qt::Key enter : {Qt::Key_Return, Qt::Key_Enter}) {
            control->setFocus();
            ASSERT_EQ(focusedControl(), control);
            QTest::keyClick(QApplication::focusWidget(), enter);
            EXPECT_EQ(focusedControl(), control) << control->objectName().toStdString();
        }
    }
    for (QSignalSpy* spy : clicks) EXPECT_EQ(spy->count(), 0);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, EscClosesTheWindowFromEveryControl) {
    for (std::size_t i = 0; i < tabOrder().size(); ++i) {
        window = std::make_unique<MainWindow>();
        showActive();
        QWidget* control = tabOrder()[i];
        control->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_FALSE(window->isVisible()) << control->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, EscClosesTheWindowWhileAListIsOpen) {
    showActive();
    window->组合框3->setFocus();
    window->组合框3->showPopup();
    QWidget* popup = window->组合框3->view()->window();
    ASSERT_TRUE(popup->isVisible());
    ASSERT_EQ(QApplication::activePopupWidget(), popup);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, EscElsewhereInTheProgramLeavesTheWindowOpen) {
    showActive();
    QWidget other;
    other.show();
    QTest::keyClick(&other, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, TheLatestWindowIsTheProgramsWindowUntilDestroyed) {
    EXPECT_EQ(&mainWindow(), window.get());
    auto second = std::make_unique<MainWindow>();
    EXPECT_EQ(&mainWindow(), second.get());
    second.reset();
    window = std::make_unique<MainWindow>();
    EXPECT_EQ(&mainWindow(), window.get());
}

}  // namespace
