#pragma once

#include <QStyledItemDelegate>

namespace smartcar {

// Plain text on a plain background, for the lists that repaint several times a second (the
// traffic on the line, a recording played back). The style's own item painting lays every
// cell out as rich text; plain drawing costs a fraction of that. A row the model colours
// (Qt::ForegroundRole), or marks as failed in `failedRole`, is drawn in red.
class PlainRows : public QStyledItemDelegate
{
public:
    explicit PlainRows(QObject* parent, int failedRole = -1);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    int m_failedRole;
};

} // namespace smartcar
