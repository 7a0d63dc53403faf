#pragma once

#include <QWidget>

class QLabel;
class QTableView;

namespace smartcar {

class TrafficLog;

// The window "通信记录": every frame sent and every read of the car's bytes since start, the
// newest at the bottom. The list follows the newest row unless the operator has scrolled up;
// selected rows are copied, tab-separated, with Ctrl+C or the copy button.
//
// It belongs to the main window: one at a time, gone when closed or when the main window goes.
// Esc in it brakes, as in the main window; it has no other key of its own.
class TrafficWindow : public QWidget
{
    Q_OBJECT
public:
    TrafficWindow(TrafficLog* log, QWidget* owner);
    ~TrafficWindow() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void copySelection();
    void showCounts();

    TrafficLog* m_log;
    QTableView* m_rows;
    QLabel* m_counts;
    bool m_following = true;
    bool m_keepingEnd = false;
};

} // namespace smartcar
