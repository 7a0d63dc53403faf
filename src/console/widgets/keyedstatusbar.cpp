#include "console/widgets/keyedstatusbar.h"

#include "console/widgets/twips.h"

#include <QDateTime>
#include <QLocale>

namespace smartcar {

namespace {
constexpr int kClockIntervalMs = 1000;
}

KeyedStatusBar::KeyedStatusBar(WallClock now, QWidget* parent)
    : QStatusBar(parent)
    , m_now(std::move(now))
{
    setSizeGripEnabled(false);
    m_clock.setInterval(kClockIntervalMs);
    connect(&m_clock, &QTimer::timeout, this, &KeyedStatusBar::refreshClock);
    m_clock.start();
}

QLabel* KeyedStatusBar::addPanel(int widthTwips, Style style, const QString& text, const Key& key)
{
    auto* label = new QLabel(this);
    // A panel may carry a device path or the system's words: shown as written, never as markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setFixedWidth(px(widthTwips));
    label->setIndent(2);
    if (!key.name.isEmpty()) {
        label->setObjectName(QStringLiteral("panel_") + key.name);
        m_keyed.insert(key.name, label);
    }
    if (style == Style::Date)
        m_datePanels << label;
    else if (style == Style::Time)
        m_timePanels << label;
    addWidget(label);
    refreshClock();
    return label;
}

QLabel* KeyedStatusBar::panel(const Key& key) const
{
    return m_keyed.value(key.name, nullptr);
}

void KeyedStatusBar::letShrink(QLabel* panel)
{
    // Growing panels take the spare width up to their maximum before the bar's closing
    // stretch does; shrinking ones give way down to one pixel, not to their text's width.
    panel->setMinimumWidth(1);
    panel->setSizePolicy(QSizePolicy::Expanding, panel->sizePolicy().verticalPolicy());
    panel->setToolTip(panel->text());
}

void KeyedStatusBar::refreshClock()
{
    const QDateTime now = m_now();
    const QLocale locale = QLocale::system();
    for (QLabel* l : std::as_const(m_datePanels))
        l->setText(locale.toString(now.date(), QLocale::ShortFormat));
    for (QLabel* l : std::as_const(m_timePanels))
        l->setText(locale.toString(now.time(), QStringLiteral("H:mm")));
}

} // namespace smartcar
