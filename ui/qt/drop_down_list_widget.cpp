#include "ui/qt/drop_down_list_widget.h"

#include <QAbstractItemView>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace wrenfield::ui {

DropDownListWidget::DropDownListWidget(QWidget* parent)
    : QComboBox(parent)
{
    setEditable(false);
    // The popup drops down below the list and shows this many entries before
    // it scrolls (the birthweight list has 94), in every style: some styles
    // would otherwise open a menu as high as the screen.
    setStyleSheet(QStringLiteral("combobox-popup: 0;"));
    setMaxVisibleItems(12);
}

void DropDownListWidget::showPopup()
{
    // The popup is at least as wide as its longest entry, so that no entry is
    // cut off even where the closed list is narrow.
    QAbstractItemView* popup = view();
    const int needed =
        popup->sizeHintForColumn(0) + popup->verticalScrollBar()->sizeHint().width() + 2 * popup->frameWidth() + 4;
    popup->setMinimumWidth(std::max(width(), needed));
    QComboBox::showPopup();
    // The open list has the colours of the closed one: a popup window does
    // not inherit its palette from the list, and the list's style sheet gives
    // the entries' area a palette of its own.
    for (QWidget* part : {popup->window(), static_cast<QWidget*>(popup), popup->viewport()})
        part->setPalette(palette());
}

void DropDownListWidget::paintEvent(QPaintEvent* /*event*/)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    // Frame and arrow button as the style draws them; the field itself flat in
    // the list's colour.
    option.currentText.clear();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);

    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    painter.fillRect(field, palette().color(QPalette::Base));
    const QRect textArea = field.adjusted(2, 0, -1, 0);
    const QString shown = fontMetrics().elidedText(currentText(), Qt::ElideRight, textArea.width());
    // While the list has the focus, its text is highlighted.
    const bool focused = hasFocus() && !view()->isVisible() && !shown.isEmpty();
    if (focused) {
        QRect marked = textArea.adjusted(-1, 2, 0, -2);
        marked.setWidth(std::min(fontMetrics().horizontalAdvance(shown) + 2, field.right() - marked.left()));
        painter.fillRect(marked, palette().color(QPalette::Highlight));
    }
    painter.setPen(palette().color(focused ? QPalette::HighlightedText : QPalette::Text));
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

}  // namespace wrenfield::ui
