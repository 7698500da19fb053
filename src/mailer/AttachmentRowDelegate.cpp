#include "mailer/AttachmentRowDelegate.h"

#include <QFileInfo>
#include <QPainter>
#include <QStyle>

void TAttachmentRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                   const QModelIndex &index) const
{
    const QRect row = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette &palette = option.palette;
    painter->save();
    painter->fillRect(row, selected ? palette.highlight() : palette.base());
    const QIcon icon = m_icons.icon(QFileInfo(index.data(PathRole).toString()));
    if (!icon.isNull())
        icon.paint(painter, QRect(row.left() + 1, row.top() + 1, 16, 16));
    painter->setPen(selected ? palette.highlightedText().color() : palette.text().color());
    painter->drawText(row.adjusted(20, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.backgroundColor = selected ? palette.highlight().color() : palette.base().color();
        const QWidget *widget = option.widget;
        QStyle *style = widget ? widget->style() : nullptr;
        if (style)
            style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
    painter->restore();
}

QSize TAttachmentRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    return {QStyledItemDelegate::sizeHint(option, index).width() + 20, RowHeight};
}
