#pragma once

#include <QFileIconProvider>
#include <QStyledItemDelegate>

// Draws a row of the attachment lists: 18 pixels high, the file's small icon
// at the left edge and its text 20 pixels in, the selection in the highlight
// colour and a focus rectangle on the focused row.
class TAttachmentRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // The full path of a row's file, for its icon.
    static constexpr int PathRole = Qt::UserRole + 1;
    static constexpr int RowHeight = 18;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    QFileIconProvider m_icons;
};
