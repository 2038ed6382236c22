// Every text of the five windows readable whole at the designed sizes: the static texts of the
// definitions and the values the program writes into its controls, measured with the font the
// control is drawn in against the room the style leaves for text, with a pixel to spare where a
// text would otherwise touch its control's edge. A control with text must also lie inside what
// holds it, or its edge is cut off. A message box is wide enough for its title.
#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>
#include <map>

#include "support/ui_test_support.h"

namespace uitest {
namespace {

using ui::ControlKind;

class TextFitTest : public UiTest {};

// The widest values the program writes into controls whose definitions hold no such text: the
// edit window's sentence with a two-digit month and day, periods of two digits (the most the new
// window takes) and three, the arrows' largest values, result lines, the import's caption.
const std::multimap<std::string, std::string> kDesignedValues = {
    {"EditPeriodicItemWindow/标签说明周期事项", "我在2015年12月29日约定，在今后每"},
    {"EditPeriodicItemWindow/编辑框循环周期", "100"},
    {"NewPeriodicItemWindow/编辑框循环周期", "12"},
    {"MainWindow/编辑框2", "150"},
    {"ImportContactsWindow/分组框3", "正在导入数据，请稍等……"},
    {"MainWindow/列表框_日志搜索结果", "2015年12月31日"},
    {"MainWindow/列表框_日志搜索结果", "未找到！"},
    {"MainWindow/列表框_提醒搜索结果", "2015年12月31日"},
    {"MainWindow/列表框_备忘搜索结果", "找到！请点击查看"},
    {"MainWindow/列表框_人脉搜索结果", "未找到！"},
    {"MainWindow/标签_加密状态", "未加密"},
    {"MainWindow/标签_加密状态", "已加密"},
};

// Result lines may outnumber the rows a list shows; all but the one-line memo list then carry
// their scroll bar beside the text.
bool mayScroll(const std::string& key) { return key != "MainWindow/列表框_备忘搜索结果"; }

// Width the text of a one-line edit box is laid out in: the style's contents rectangle less the
// box's text margins and the two pixels QLineEdit keeps on either side. QLineEdit scrolls a
// text whose width plus the caret's pixel exceeds it.
int lineEditRoom(QLineEdit* e) {
    QStyleOptionFrame o;
    o.initFrom(e);
    o.rect = e->rect();
    o.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &o, e) : 0;
    o.state |= QStyle::State_Sunken;
    const QMargins m = e->textMargins();
    return e->style()->subElementRect(QStyle::SE_LineEditContents, &o, e).width() - m.left() - m.right() - 4;
}

void expectFits(const std::string& key, const QString& text, const QFontMetrics& fm, int roomWidth,
                int roomHeight, bool wrap) {
    const QRect needed = fm.boundingRect(QRect(0, 0, roomWidth, 100000), wrap ? Qt::TextWordWrap : 0, text);
    EXPECT_TRUE(needed.width() <= roomWidth && needed.height() < roomHeight)
        << key << " \"" << text.toStdString() << "\" needs " << needed.width() << "x" << needed.height()
        << ", has " << roomWidth << "x" << roomHeight;
}

TEST_F(TextFitTest, EveryTextIsReadableWholeInItsControl) {
    for (const ui::WindowDef* w : forms::allWindows()) {
        ASSERT_TRUE(ui::loadWindow(w->name)) << w->name;
        for (const ui::ControlDef& c : w->controls) {
            if (ui::isComponentKind(c.kind)) continue;
            const std::string key = std::string(w->name) + "/" + c.name;
            QWidget* wd = widget(w->name, c.name);
            ASSERT_NE(wd, nullptr) << key;
            QStringList texts;
            if (*c.text && c.kind != ControlKind::TabControl && c.kind != ControlKind::ComboBox)
                texts << QString::fromUtf8(c.text);
            if (c.kind == ControlKind::ComboBox) texts << QString::fromUtf8(c.items).split('\n');
            for (auto [it, end] = kDesignedValues.equal_range(key); it != end; ++it)
                texts << QString::fromStdString(it->second);
            if (texts.isEmpty()) continue;
            EXPECT_TRUE(wd->parentWidget()->rect().contains(wd->geometry()))
                << key << " at " << c.left << "," << c.top << " " << c.width << "x" << c.height
                << " is cut by " << wd->parentWidget()->width() << "x" << wd->parentWidget()->height();
            const QFontMetrics fm(wd->font());
            QStyle* style = wd->style();
            for (const QString& text : texts) {
                if (auto* label = qobject_cast<QLabel*>(wd)) {
                    const QRect r = label->contentsRect();
                    expectFits(key, text, fm, r.width(), r.height(), label->wordWrap());
                } else if (auto* button = qobject_cast<QPushButton*>(wd)) {
                    QStyleOptionButton o;
                    o.initFrom(button);
                    const QRect r = style->subElementRect(QStyle::SE_PushButtonContents, &o, button);
                    expectFits(key, text, fm, r.width(), r.height(), false);
                } else if (auto* check = qobject_cast<QAbstractButton*>(wd)) {
                    QStyleOptionButton o;
                    o.initFrom(check);
                    o.text = text;
                    const bool radio = c.kind == ControlKind::RadioButton;
                    const QRect r = style->subElementRect(
                        radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &o, check);
                    expectFits(key, text, fm, r.width(), r.height(), false);
                } else if (auto* group = qobject_cast<QGroupBox*>(wd)) {
                    QStyleOptionGroupBox o;
                    o.initFrom(group);
                    o.text = text;
                    o.lineWidth = 1;
                    o.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
                    o.textAlignment = group->alignment();
                    const QRect r =
                        style->subControlRect(QStyle::CC_GroupBox, &o, QStyle::SC_GroupBoxLabel, group);
                    // The style sizes the caption's place to the caption as it draws it, from the
                    // place's top on the baseline; its strokes lie inside the box and above the
                    // controls under them.
                    EXPECT_LT(r.right(), group->width()) << key << " \"" << text.toStdString() << "\"";
                    const QRect ink = fm.tightBoundingRect(text).translated(r.left(), r.top() + fm.ascent());
                    int room = group->height();
                    for (QWidget* child : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                        if (child->x() <= ink.right() && child->geometry().right() >= ink.left())
                            room = std::min(room, child->y());
                    EXPECT_TRUE(ink.top() >= 0 && ink.bottom() < room)
                        << key << " \"" << text.toStdString() << "\" drawn from " << ink.top() << " to "
                        << ink.bottom() << ", room from 0 to " << room - 1;
                } else if (auto* line = qobject_cast<QLineEdit*>(wd)) {
                    EXPECT_LE(fm.horizontalAdvance(text) + 1, lineEditRoom(line))
                        << key << " \"" << text.toStdString() << "\"";
                } else if (auto* combo = qobject_cast<QComboBox*>(wd)) {
                    const int room = combo->lineEdit() ? lineEditRoom(combo->lineEdit()) : [&] {
                        QStyleOptionComboBox o;
                        o.initFrom(combo);
                        return style
                            ->subControlRect(QStyle::CC_ComboBox, &o, QStyle::SC_ComboBoxEditField, combo)
                            .width();
                    }();
                    EXPECT_LE(fm.horizontalAdvance(text) + 1, room)
                        << key << " \"" << text.toStdString() << "\"";
                } else if (auto* list = qobject_cast<QAbstractItemView*>(wd)) {
                    // Lines start two pixels inside the frame: one seems to touch it.
                    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
                    EXPECT_GE(margin, 2) << key;
                    const int bar = mayScroll(key) ? style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr,
                                                                        list->verticalScrollBar())
                                                   : 0;
                    const int room = list->width() - 2 * list->frameWidth() - bar - 2 * margin;
                    EXPECT_LE(fm.horizontalAdvance(text), room) << key << " \"" << text.toStdString() << "\"";
                    EXPECT_LE(fm.height(), list->height() - 2 * list->frameWidth()) << key;
                } else {
                    ADD_FAILURE() << key << ": no measure for this kind of control";
                }
            }
        }
    }
}

TEST_F(TextFitTest, AMessageBoxIsWideEnoughForItsTitle) {
    for (const char* title : {"信息！", "信息：", "错误！", "询问？", "询问：", "警告！", "确认文件替换"}) {
        QMessageBox box;
        ui::setUpMessageBox(box, "密码错误！", ui::kMbIconInfo, title);
        box.show();
        const int needed = QFontMetrics(box.font()).horizontalAdvance(QString::fromUtf8(title)) * 3 / 2;
        EXPECT_GE(box.width(), needed + ui::kTitleBarControls) << title;
    }
}

}  // namespace
}  // namespace uitest
