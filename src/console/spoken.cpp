#include "console/spoken.h"

#include "console/accessibility.h"

#include <QAccessible>
#include <QLabel>

namespace smartcar {

struct Spoken::Part
{
    QPointer<QWidget> widget;
    Field field = Field::Name;
    QString text;
    std::optional<int> value;
    QElapsedTimer sinceLast; // since the part last raised an event
    QTimer later;
};

Spoken::Spoken(QWidget* window)
    : QObject(window)
    , m_announcer(new QWidget(window))
{
    m_announcer->setObjectName(QStringLiteral("announcer"));
    makeAnnouncer(m_announcer);
    m_nextAnnouncement.setSingleShot(true);
    connect(&m_nextAnnouncement, &QTimer::timeout, this, &Spoken::announceNext);
}

void Spoken::announce(const QString& text)
{
    m_announcements.append(text);
    if (m_announcements.size() > kQueuedAnnouncements)
        m_announcements.removeFirst();
    announceNext();
}

void Spoken::announceNext()
{
    if (m_announcements.isEmpty() || m_nextAnnouncement.isActive())
        return;
    if (m_sinceAnnounced.isValid() && !m_sinceAnnounced.hasExpired(kGap.count())) {
        m_nextAnnouncement.start(int(kGap.count() - m_sinceAnnounced.elapsed()));
        return;
    }
    smartcar::announce(m_announcer, m_announcements.takeFirst());
    m_sinceAnnounced.start();
    if (!m_announcements.isEmpty())
        m_nextAnnouncement.start(int(kGap.count()));
}

Spoken::~Spoken() = default;

Spoken::Part& Spoken::partFor(QWidget* widget, Field field)
{
    for (const auto& part : m_parts) {
        if (part->widget == widget && part->field == field)
            return *part;
    }
    auto part = std::make_unique<Part>();
    part->widget = widget;
    part->field = field;
    part->later.setSingleShot(true);
    connect(&part->later, &QTimer::timeout, this, [this, p = part.get()] { flush(*p); });
    m_parts.push_back(std::move(part));
    return *m_parts.back();
}

void Spoken::set(QWidget* part, Field field, const QString& text)
{
    Part& p = partFor(part, field);
    p.text = text;
    change(p);
}

void Spoken::setReading(QLabel* label, const QString& name, std::optional<int> value)
{
    Part& p = partFor(label, Field::Name);
    p.text = name;
    if (value)
        p.value = value;
    change(p);
}

bool Spoken::heard(const Part& p)
{
    const QWidget* w = p.widget;
    if (p.field == Field::Description)
        return w->accessibleDescription() == p.text;
    return w->accessibleName() == p.text && (!p.value || w->property(kReadingProperty) == *p.value);
}

void Spoken::change(Part& p)
{
    if (p.later.isActive() || heard(p))
        return; // the pending flush takes the latest text
    if (!p.sinceLast.isValid() || p.sinceLast.hasExpired(kGap.count()))
        flush(p);
    else
        p.later.start(int(kGap.count() - p.sinceLast.elapsed()));
}

void Spoken::flush(Part& p)
{
    if (!p.widget || heard(p))
        return;
    p.sinceLast.start();
    QWidget* w = p.widget;
    if (p.field == Field::Description) {
        w->setAccessibleDescription(p.text); // raises DescriptionChanged
        return;
    }
    if (w->accessibleName() != p.text)
        w->setAccessibleName(p.text); // raises NameChanged
    if (p.value && w->property(kReadingProperty) != *p.value) {
        w->setProperty(kReadingProperty, *p.value);
        QAccessibleValueChangeEvent event(w, *p.value);
        QAccessible::updateAccessibility(&event);
    }
}

} // namespace smartcar
