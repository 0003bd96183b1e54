#include "app/main_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <initializer_list>
#include <limits>

#include "app/command_bindings.h"
#include "app/window_operations.h"

// Resources of a static library are only linked in when something names them.
static void loadResources() { Q_INIT_RESOURCE(resources); }

namespace {

constexpr int kClientWidth = 536;
constexpr int kClientHeight = 425;
// An open list reaches this far down from the top of its control.
constexpr int kOpenListReach = 160;
constexpr int kUnlimitedLength = std::numeric_limits<int>::max();

const char* const kHint =
    "操作提醒：\r\n"
    "选好需要的课本后请先点击查看按钮，如显示有课本，请先预览总页数，填到页码框里，请再进行下载！";

template <typename Control>
Control* placed(Control* control, const char* name, QRect rect) {
    control->setObjectName(QString::fromUtf8(name));
    control->setGeometry(rect);
    return control;
}

QLabel* makeLabel(QWidget* parent, const char* name, QRect rect, const char* text) {
    auto* label = placed(new QLabel(QString::fromUtf8(text), parent), name, rect);
    label->setAlignment(Qt::AlignCenter);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

QLabel* makeHint(QWidget* parent, QRect rect) {
    QLabel* hint = makeLabel(parent, "标签6", rect, kHint);
    hint->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    hint->setWordWrap(true);
    return hint;
}

QPushButton* makeButton(QWidget* parent, const char* name, QRect rect, const char* caption) {
    auto* button = placed(new QPushButton(QString::fromUtf8(caption), parent), name, rect);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// The list opens from the last pixel row of the field down; its height is limited so that it
// ends kOpenListReach pixels below the control's top, and longer catalogues scroll.
void limitOpenListHeight(QComboBox& list) {
    QStyleOptionComboBox option;
    option.initFrom(&list);
    option.editable = true;
    const QRect field = list.style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                     QStyle::SC_ComboBoxListBoxPopup, &list);
    list.view()->parentWidget()->setMaximumHeight(kOpenListReach - field.bottom());
    list.setMaxVisibleItems(list.count());
}

// Each row of the open list is one pixel taller than the style would make it.
void heightenRows(QComboBox& list) {
    QAbstractItemView& view = *list.view();
    for (int row = 0; row < list.count(); ++row) {
        const QSize usual = view.sizeHintForIndex(view.model()->index(row, 0));
        list.setItemData(row, QSize(usual.width(), usual.height() + 1), Qt::SizeHintRole);
    }
}

QComboBox* makeList(QWidget* parent, const char* name, QRect rect,
                    std::initializer_list<const char*> items) {
    auto* list = placed(new QComboBox(parent), name, rect);
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->lineEdit()->setMaxLength(kUnlimitedLength);
    for (const char* item : items) list->addItem(QString::fromUtf8(item));
    list->setCurrentIndex(-1);
    list->clearEditText();
    heightenRows(*list);
    limitOpenListHeight(*list);
    return list;
}

// The selection shows only while the box has the focus, also when the window loses it.
void hideSelectionWhenInactive(QLineEdit& box) {
    QPalette palette = box.palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Inactive, QPalette::Base));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Inactive, QPalette::Text));
    box.setPalette(palette);
}

QLineEdit* makePageBox(QWidget* parent, QRect rect) {
    auto* box = placed(new QLineEdit(QStringLiteral("1"), parent), "编辑框1", rect);
    box->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    box->setMaxLength(kUnlimitedLength);
    hideSelectionWhenInactive(*box);
    return box;
}

bool isPlainEscape(const QEvent& event) {
    if (event.type() != QEvent::KeyPress) return false;
    const auto& key = static_cast<const QKeyEvent&>(event);
    return key.key() == Qt::Key_Escape && (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

// True for the window itself and everything it owns, popups of its lists included.
bool ownedBy(const QObject* object, const QObject* owner) {
    for (; object != nullptr; object = object->parent())
        if (object == owner) return true;
    return false;
}

void frameWindow(QWidget& window) {
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint);
    window.setFixedSize(kClientWidth, kClientHeight);
    // The title bar stays blank; Qt would show the program's name for an empty title.
    window.setWindowTitle(QStringLiteral(" "));
    window.setWindowIcon(QIcon(QStringLiteral(":/icons/textbook-pages.png")));
}

void placeCatalogue(MainWindow& w) {
    w.标签4 = makeLabel(&w, "标签4", {352, 7, 48, 32}, "课本");
    w.组合框4 = makeList(&w, "组合框4", {409, 15, 120, 20},
                         {"语文", "数学", "英语", "历史", "政治", "物理", "生物", "化学", "地理"});
    w.标签3 = makeLabel(&w, "标签3", {352, 46, 48, 32}, "版本");
    w.组合框3 = makeList(&w, "组合框3", {409, 52, 120, 20},
                         {"部编版", "人教版", "苏教版", "北师大", "沪教版", "语文版", "西师大版"});
    w.标签1 = makeLabel(&w, "标签1", {352, 78, 48, 32}, "年级");
    w.组合框1 = makeList(
        &w, "组合框1", {409, 86, 120, 20},
        {"一年级", "二年级", "三年级", "四年级", "五年级", "六年级", "七年级", "八年级", "九年级"});
    w.标签2 = makeLabel(&w, "标签2", {352, 118, 48, 32}, "上下册");
    w.组合框2 = makeList(&w, "组合框2", {409, 126, 120, 20}, {"上册", "下册"});
}

void placeCommands(MainWindow& w) {
    w.标签5 = makeLabel(&w, "标签5", {352, 162, 48, 32}, "页码");
    w.编辑框1 = makePageBox(&w, {410, 164, 119, 24});
    w.按钮1 = makeButton(&w, "按钮1", {360, 211, 72, 40}, "下载");
    w.按钮2 = makeButton(&w, "按钮2", {456, 211, 72, 40}, "查看");
    w.按钮4 = makeButton(&w, "按钮4", {361, 259, 72, 40}, "上一页");
    w.按钮3 = makeButton(&w, "按钮3", {456, 259, 72, 40}, "下一页");
    w.按钮5 = makeButton(&w, "按钮5", {392, 304, 112, 32}, "打开网站");
    w.标签6 = makeHint(&w, {352, 344, 184, 80});
}

// Top to bottom through the catalogue, then the page number, then the buttons row by row.
void orderTabStops(MainWindow& w) {
    QWidget* const order[] = {w.组合框4, w.组合框3, w.组合框1, w.组合框2, w.编辑框1,
                              w.按钮1,   w.按钮2,   w.按钮4,   w.按钮3,   w.按钮5};
    for (std::size_t i = 1; i < std::size(order); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    loadResources();
    frameWindow(*this);
    分组框1 = placed(new QGroupBox(this), "分组框1", {0, 1, 344, 424});
    分组框1->setFocusPolicy(Qt::NoFocus);
    图片框1 = placed(new PictureBox(分组框1), "图片框1", {8, 15, 328, 408});
    图片框1->setFocusPolicy(Qt::NoFocus);
    placeCatalogue(*this);
    placeCommands(*this);
    orderTabStops(*this);
    bindCommands(*this);
    qApp->installEventFilter(this);
    registerMainWindow(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    unregisterMainWindow(this);
}

void MainWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    emit painted();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (isPlainEscape(*event) && ownedBy(watched, this)) {
        close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void showCentredOnPrimaryScreen(QWidget& window) {
    QRect frame = window.frameGeometry();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
    window.show();
}
