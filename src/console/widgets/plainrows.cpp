#include "console/widgets/plainrows.h"

#include <QPainter>

namespace smartcar {

namespace {
const QColor kFailedRed(192, 0, 0);
} // namespace

PlainRows::PlainRows(QObject* parent, int failedRole)
    : QStyledItemDelegate(parent)
    , m_failedRole(failedRole)
{
}

void PlainRows::paint(QPainter* painter, const QStyleOptionViewItem& option,
                      const QModelIndex& index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    if (selected)
        painter->fillRect(option.rect, option.palette.brush(QPalette::Highlight));
    QColor text = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    if (!selected) {
        const QVariant own = index.data(Qt::ForegroundRole);
        if (own.canConvert<QColor>())
            text = own.value<QColor>();
        else if (m_failedRole >= 0 && index.data(m_failedRole).toBool())
            text = kFailedRed;
    }
    painter->setPen(text);
    const QRect r = option.rect.adjusted(4, 0, -4, 0);
    painter->drawText(r, Qt::AlignLeft | Qt::AlignVCenter,
                      option.fontMetrics.elidedText(index.data().toString(), Qt::ElideRight,
                                                    r.width()));
}

} // namespace smartcar
