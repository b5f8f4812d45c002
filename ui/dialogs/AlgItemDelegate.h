#pragma once

#include <QPixmap>
#include <QStyledItemDelegate>

// Draws the entries of the contact-logic list: the text 1 pixel right of the
// entry's left edge, its picture 22 pixels right of it and 1 pixel above the top.
class AlgItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The 41 x 16 pictures: 0 "Ein" (the contact counts when it closes, a rising
    // edge), 1 "Aus" (when it opens, a falling edge).
    static QPixmap Picture(int alg);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
