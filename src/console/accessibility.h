#pragma once

class QLabel;
class QString;
class QWidget;

namespace smartcar {

// The property of a label made a reading: the reading it shows (R/Min), -1 before the first.
inline constexpr char kReadingProperty[] = "smartcarReading";

// The property of the widget that makes announcements (makeAnnouncer).
inline constexpr char kAnnouncerProperty[] = "smartcarAnnouncer";

// Makes `widget`, which is never shown, a notification whose name a screen reader speaks
// whenever announce() is called on it, wherever the keyboard is. Qt 6.4 has no announcement of
// its own; a notification that shows is what Orca speaks unasked.
void makeAnnouncer(QWidget* widget);
// Speaks `text` through an announcer.
void announce(QWidget* announcer, const QString& text);

// Makes `label` a reading, which tells a screen reader its value besides its name. Before
// anything asks about the label: the answer is kept for the label's life.
void makeReading(QLabel* label);

// The console's own accessible interfaces, for the application's life; harmless to call again:
//  - a reading label is static text with a value, 0 to 255 R/Min;
//  - an announcer is a notification that counts as showing, though it is never drawn;
//  - a text box tells its whole text as one run of attributes. Qt's own tells an empty run at
//    every offset, which Orca joins into a run one character short and so speaks a box holding
//    "120" as "12".
void installAccessibleInterfaces();

} // namespace smartcar
