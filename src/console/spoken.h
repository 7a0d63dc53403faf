#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QWidget;

namespace smartcar {

// What a screen reader hears of the parts of a window that change by themselves: the reading,
// the lamp, the trend, the status panel. A part's accessible name or description follows what
// it shows, and each change raises the event a screen reader listens for: at once, or, when
// the part changed less than kGap ago, once kGap has passed, with the part's latest text. So a
// flood of readings is heard a few times a second, never more, and the last word is the state
// on show.
class Spoken : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kGap{400};
    enum class Field { Name, Description };
    // Announcements waiting beyond these many, the oldest goes unheard.
    static constexpr int kQueuedAnnouncements = 3;

    // Announcements are made by a widget of `window`'s own, never shown.
    explicit Spoken(QWidget* window);
    ~Spoken() override;

    // `part`'s accessible `field` becomes `text`; nothing is raised when it already is.
    void set(QWidget* part, Field field, const QString& text);
    // Spoken wherever the keyboard is: a new status message, the lamp coming on. One each kGap,
    // in their order.
    void announce(const QString& text);
    QWidget* announcer() const { return m_announcer; }

    // The reading label's name (see makeReading), and with `value` its value as well (a value
    // change besides the name's).
    void setReading(QLabel* label, const QString& name, std::optional<int> value);

private:
    struct Part;
    Part& partFor(QWidget* widget, Field field);
    // Whether what the part shows a screen reader is its latest text and value already.
    static bool heard(const Part& part);
    void change(Part& part);
    void flush(Part& part);

    void announceNext();

    std::vector<std::unique_ptr<Part>> m_parts;
    QWidget* m_announcer;
    QStringList m_announcements; // waiting
    QElapsedTimer m_sinceAnnounced;
    QTimer m_nextAnnouncement;
};

} // namespace smartcar
