#pragma once

#include "common/failure.h"
#include "console/surroundings.h"
#include "monitor/pollstate.h"
#include "serial/connection.h"

#include <QByteArray>
#include <QMainWindow>
#include <QPointer>

#include <exception>
#include <functional>
#include <optional>
#include <utility>

class QAction;
class QCheckBox;
class QDateTime;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace smartcar {

enum class CarCode : quint8;
class CommPort;
class InstrumentPanel;
class KeyedStatusBar;
class PortBox;
class Shape;
class SpeedTrend;
class Spoken;
class ReplayDrive;
class ReplayWindow;

// The console's main window. It owns every control, the serial port service MSComm1, the
// receive-poll timer Timer1 and the frame buffer. Controls carry their names as objectName,
// so tests and tools find them with findChild.
//
// Every window event reaches its handler through run(), which keeps failures from crossing
// the event loop. Once closed (Exit, its close box, or the end button) the window counts as
// released: a handler that was waiting in PacedWait finds that out through waitPaced() and
// returns without touching anything, and the object deletes itself once no handler of it is
// running any more. Create it with new.
class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    explicit Form1(const Surroundings& surroundings = {}, QWidget* parent = nullptr);
    ~Form1() override;

    // The text of the status panel keyed "status".
    QString statusText() const;

    // Runs one handler. A Failure ends it at the failing step and goes to the error report;
    // the console carries on.
    template <typename F>
    void run(F&& handler);

    // Start-up and connection.
    void Form_Load();
    void Int_Click();
    void cmbCOM_Click();
    void cmdOpenCOM_Click();
    void cmdEnd_Click();
    void Exit_Click();

    // Driving the car.
    void Advanced_Click();
    void Retreat_Click();
    void Start_Click();
    void Stop_Click();
    void Left_Click();
    void Right_Click();
    void Check1_Click();
    void Send_Click();

    // Speed monitoring.
    void cmdStart_Click();
    void Timer1_Timer();

    // Reference windows.
    void user_Click();
    void tech_Click();
    void commlist_Click();

    // The instrument in 功能预留区 (form1_instrument.cpp).
    void cmdTraffic_Click();
    void cmdRecord_Click();
    void cmdReplay_Click();
    // Opens the 回放 window with the recording at `path` (the command line's FILE, a dropped
    // file, the file dialog's choice); a file that cannot be read is boxed.
    void openReplay(const QString& path);
    // Recordings go into the folder smartcar-console of `documents`, by default the machine's
    // documents folder (none when empty).
    void setDocumentsFolder(const QString& documents);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    friend struct Form1Layout; // the table of controls in form1_layout.cpp

    void buildControls();
    void buildMenu();
    void buildStatusBar();
    void connectHandlers();

    void fillPortList();
    // Selects an entry from code; runs the change step exactly as the operator's pick does.
    void selectPortEntry(int index);
    void onPortDisconnected(const QString& reason);
    void onReconnected(const QString& device);
    void onStillWaiting(const QString& cause);
    // Shows what a connection step decided.
    void showConnection(const Connection::Shows& shows);
    // Greys the last reading out, or gives a new one (`value`) its own look; a screen reader
    // hears either.
    void showReadingStale(bool stale, std::optional<quint8> value = {});
    // The trend's description: the latest reading and the alarm speed.
    void describeTrend();
    // Names every control as the label or frame caption beside it reads (form1_layout.cpp).
    void nameControls();
    void startPoll();
    void showSilence(const Silence::Seen& seen);

    void setStatus(const QString& text);
    // PacedWait for this window: false when the window was released or the program is
    // ending meanwhile, in which case the caller returns at once.
    bool waitPaced(int ms);
    void release();
    void endProgram();
    void handlerFinished();
    void reportFailureHere(const Failure& failure);
    void reportUnexpectedHere(const std::exception& e);
    // Fronts the window when it is open, otherwise builds it afresh with make().
    static void showWindow(QPointer<QWidget>& window, const std::function<QWidget*()>& make);

    void buildInstrument(const RecordingDisk& disk);
    // Bytes the poll read at `at` (none: the car fell silent), with the lamp as it is now.
    void noteReceived(const QDateTime& at, const QByteArray& bytes);
    // A reading the poll has just shown, whether it lit the lamp, and whether it is the first
    // after a silence.
    void noteReading(quint8 reading, bool alarm, bool afterGap);
    void onRecordingFailed();

    // 按记录行驶 (form1_replay.cpp).
    void replayDriveRequested(qint64 fromMs);
    void startReplayDrive(qint64 fromMs);
    // Stops a running drive: a turn it began is centred, then the brake goes unless `braked`
    // (the stop is itself the brake).
    void stopReplayDrive(const QString& why, bool braked = false);
    void endReplayDrive(const QString& why, bool braked);

    void writeCommand();
    void sendCode(CarCode code);
    void sendSpeedFrame(CarCode code);
    void turn(CarCode turnCode, CarCode centreCode);

    // The controls the handlers use; the others are found by their objectName only.
    // Driving pad.
    QPushButton* Advanced = nullptr;
    QPushButton* Left = nullptr;
    QPushButton* Right = nullptr;
    QPushButton* Retreat = nullptr;
    QPushButton* Start = nullptr;
    QPushButton* Stop = nullptr;
    QLineEdit* NewSpeed = nullptr;
    QLineEdit* ChangeTime = nullptr;

    // Ranging and raw command.
    QCheckBox* Check1 = nullptr;
    QLineEdit* command = nullptr;
    QPushButton* Send = nullptr;

    // Banner.
    QLabel* Label6 = nullptr;

    // Speed monitoring.
    QLineEdit* MaxSpeed = nullptr;
    Shape* LED1 = nullptr;
    SpeedTrend* Trend = nullptr;
    QLabel* lblValue = nullptr;

    // Settings.
    PortBox* cmbCOM = nullptr;
    QLineEdit* delaytime = nullptr;
    QPushButton* cmdOpenCOM = nullptr;
    QPushButton* cmdStart = nullptr;
    QPushButton* cmdEnd = nullptr;

    // 功能预留区.
    QPushButton* cmdRecord = nullptr;

    // Menu bar.
    QAction* Int = nullptr;
    QAction* commlist = nullptr;
    QAction* tech = nullptr;
    QAction* user = nullptr;
    QAction* Exit = nullptr;

    KeyedStatusBar* StatusBar1 = nullptr;
    // What a screen reader hears of the reading, the lamp, the trend and the status panel.
    Spoken* m_spoken = nullptr;

    CommPort* MSComm1 = nullptr;
    QTimer* Timer1 = nullptr;
    // The connection steps' decisions, and bringing the device back after an unplug nobody
    // asked for.
    Connection* m_connection = nullptr;

    // The frame buffer: every command replaces it with a fresh one of the frame's length.
    QByteArray SendBuf;
    // The turn time in milliseconds of the last turn whose turn time was read successfully.
    qint32 TurnTime = 0;

    // Reference windows: created on first showing, gone once closed.
    QPointer<QWidget> m_form2;
    QPointer<QWidget> m_form3;
    QPointer<QWidget> m_form4;
    // The traffic list: created on first showing, gone once closed.
    QPointer<QWidget> m_trafficWindow;

    InstrumentPanel* m_instrument = nullptr;
    // The 回放 window, single: made on opening a recording, gone once closed.
    QPointer<ReplayWindow> m_replayWindow;
    ReplayDrive* m_replayDrive = nullptr;
    // A send of the drive's is on its way: the traffic row says it was replayed.
    bool m_sendingReplayed = false;
    QString m_documents;

    // What the poll keeps between ticks: their order, the car's silence, the lamp.
    PollState m_poll;
    WallClock m_now; // the time of day the status bar, the traffic list and the recording use
    int m_handlerDepth = 0;
    bool m_released = false;
    bool m_deleteScheduled = false;
};

template <typename F>
void Form1::run(F&& handler)
{
    if (m_released)
        return;
    ++m_handlerDepth;
    try {
        std::forward<F>(handler)();
    } catch (const Failure& failure) {
        if (!m_released)
            reportFailureHere(failure);
    } catch (const std::exception& e) {
        if (!m_released)
            reportUnexpectedHere(e);
    }
    handlerFinished();
}

} // namespace smartcar
