// Measures what the console costs and how fast it answers, with the real main window
// offscreen and a pseudo-terminal as the car. Prints a table of medians and 99th percentiles
// beside the physical reference (one byte takes 1.04 ms on the wire at 9600 baud 8N1) and
// the target of each figure. Nothing here asserts anything: it only measures.
#include "bench/resident.h"
#include "common/pacedwait.h"
#include "console/errorreport.h"
#include "console/form1.h"
#include "console/windows/replaywindow.h"
#include "instrument/instrumentpanel.h"
#include "replay/recording.h"
#include "support/ptypair.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimeZone>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

namespace smartcar {

namespace {

using Clock = std::chrono::steady_clock;

struct Row
{
    QString name;
    QString unit;
    double median = 0;
    double p99 = 0;
    int samples = 0;
    QString reference;
    QString target;
    QString failed = {}; // why the measurement could not be made; empty when it was
};

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

Row summarise(const QString& name, const QString& unit, const std::vector<double>& v,
              const QString& reference, const QString& target)
{
    return {name, unit, percentile(v, 0.5), percentile(v, 0.99), int(v.size()), reference, target};
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
        + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Reads the car end on its own thread and stamps every byte with the moment it arrived.
class CarEnd
{
public:
    explicit CarEnd(PtyPair& pty)
        : m_pty(pty)
    {
    }
    ~CarEnd() { stop(); }

    void start()
    {
        m_running = true;
        m_thread = std::thread([this] { loop(); });
    }
    void stop()
    {
        m_running = false;
        if (m_thread.joinable())
            m_thread.join();
    }
    // Waits until `count` bytes have arrived in all; returns the stamp of the last one, or
    // nothing if they have not come within `limit` (a frame lost on the way). The wait yields
    // rather than sleeps: a thread asleep on a condition lets its core go idle, and waking the
    // car's reader on an idle core adds tens of microseconds that are the machine's, not the
    // console's, to every press.
    std::optional<Clock::time_point> waitFor(size_t count,
                                             std::chrono::milliseconds limit = kLostAfter)
    {
        const auto until = Clock::now() + limit;
        for (;;) {
            {
                std::lock_guard lock(m_mutex);
                if (m_stamps.size() >= count)
                    return m_stamps[count - 1];
            }
            if (Clock::now() > until)
                return std::nullopt;
            std::this_thread::yield();
        }
    }
    // Far beyond anything the line takes (a frame is on the wire within milliseconds).
    static constexpr std::chrono::milliseconds kLostAfter{5000};
    size_t received()
    {
        std::lock_guard lock(m_mutex);
        return m_stamps.size();
    }
    std::vector<std::pair<uint8_t, Clock::time_point>> bytes()
    {
        std::lock_guard lock(m_mutex);
        std::vector<std::pair<uint8_t, Clock::time_point>> out;
        for (size_t i = 0; i < m_stamps.size(); ++i)
            out.emplace_back(m_bytes[i], m_stamps[i]);
        return out;
    }
    void reset()
    {
        std::lock_guard lock(m_mutex);
        m_stamps.clear();
        m_bytes.clear();
    }

private:
    void loop()
    {
        while (m_running) {
            const QByteArray got = m_pty.read(1, std::chrono::milliseconds(20));
            if (got.isEmpty())
                continue;
            const auto now = Clock::now();
            std::lock_guard lock(m_mutex);
            for (char c : got) {
                m_bytes.push_back(uint8_t(c));
                m_stamps.push_back(now);
            }
        }
    }

    PtyPair& m_pty;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<Clock::time_point> m_stamps;
    std::vector<uint8_t> m_bytes;
};

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Bench
{
    PtyPair car;
    Form1* form = nullptr;

    template <typename T>
    T* get(const char* name)
    {
        return form->findChild<T*>(QString::fromLatin1(name));
    }

    bool open(const RecordingDisk& disk = {})
    {
        Surroundings surroundings;
        surroundings.ports.setOverride(1, car.slavePath());
        surroundings.recordingDisk = disk;
        form = new Form1(surroundings);
        form->show();
        get<QPushButton>("cmdOpenCOM")->click();
        return !get<QPushButton>("cmdOpenCOM")->isEnabled();
    }
};

Row pressToWire(Bench& b, CarEnd& end, const char* control, int frameBytes, int presses)
{
    QPushButton* button = b.get<QPushButton>(control);
    std::vector<double> v;
    QString lost;
    end.reset();
    size_t expected = 0;
    for (int i = 0; i < presses; ++i) {
        const auto t0 = Clock::now();
        button->click();
        expected += size_t(frameBytes);
        const auto t1 = end.waitFor(expected);
        if (!t1) {
            lost = QStringLiteral("press %1: frame lost").arg(i + 1);
            break;
        }
        v.push_back(ms(*t1 - t0));
        QCoreApplication::processEvents();
    }
    Row r = summarise(QStringLiteral("press to wire: %1 (%2 byte%3)")
                          .arg(QString::fromLatin1(control))
                          .arg(frameBytes)
                          .arg(frameBytes > 1 ? "s" : ""),
                      QStringLiteral("ms"), v,
                      frameBytes == 1 ? QStringLiteral("1 byte on the wire: 1.04 ms")
                                      : QStringLiteral("2 bytes on the wire: 2.08 ms"),
                      QStringLiteral("median < 0.3, p99 < 1"));
    r.failed = lost;
    return r;
}

Row turnAccuracy(Bench& b, CarEnd& end, int turns)
{
    b.get<QLineEdit>("ChangeTime")->setText(QStringLiteral("50"));
    QPushButton* left = b.get<QPushButton>("Left");
    std::vector<double> late;
    QString lost;
    for (int i = 0; i < turns; ++i) {
        end.reset();
        left->click();
        if (!end.waitFor(2)) {
            lost = QStringLiteral("turn %1: frame lost").arg(i + 1);
            break;
        }
        const auto bytes = end.bytes();
        late.push_back(ms(bytes[1].second - bytes[0].second) - 50.0);
        PacedWait(5);
    }
    const double earliest = late.empty() ? 0 : *std::min_element(late.begin(), late.end());
    Row r = summarise(QStringLiteral("turn: centring frame late by"), QStringLiteral("ms"), late,
                      QStringLiteral("turn time 50 ms; earliest %1 ms").arg(earliest, 0, 'f', 2),
                      QStringLiteral("median < 2, never early"));
    r.failed = lost;
    return r;
}

// The brake clicked 100 ms into a 500 ms turn: how soon it is on the wire, while the turn holds
// the console for its centring frame.
Row brakeDuringTurn(Bench& b, CarEnd& end, int turns)
{
    b.get<QLineEdit>("ChangeTime")->setText(QStringLiteral("500"));
    QPushButton* left = b.get<QPushButton>("Left");
    QPushButton* stop = b.get<QPushButton>("Stop");
    std::vector<double> v;
    QString lost;
    for (int i = 0; i < turns && lost.isEmpty(); ++i) {
        end.reset();
        Clock::time_point pressed;
        QTimer::singleShot(100, stop, [&] {
            pressed = Clock::now();
            stop->click();
        });
        left->click(); // returns after the centring frame
        const auto wire = end.waitFor(3);
        const auto bytes = end.bytes();
        if (!wire || bytes[1].first != 0x87) {
            lost = QStringLiteral("turn %1: the brake did not come between the turn's frames")
                       .arg(i + 1);
            break;
        }
        v.push_back(ms(bytes[1].second - pressed));
    }
    Row r = summarise(QStringLiteral("brake during a turn: press to wire"), QStringLiteral("ms"), v,
                      QStringLiteral("1 byte on the wire: 1.04 ms; the turn holds 500 ms"),
                      QStringLiteral("median < 0.3, p99 < 1"));
    r.failed = lost;
    return r;
}

// Far beyond a tick and its sampling: a reading not shown by then was lost.
constexpr std::chrono::milliseconds kShownWithin{2000};

Row readingToScreen(Bench& b, int readings)
{
    b.get<QLineEdit>("delaytime")->setText(QStringLiteral("10"));
    QPushButton* start = b.get<QPushButton>("cmdStart");
    auto* timer = b.get<QTimer>("Timer1");
    if (!timer->isActive())
        start->click();
    QLabel* value = b.get<QLabel>("lblValue");
    std::vector<double> v;
    QString lost;
    for (int i = 0; i < readings; ++i) {
        const uint8_t byte = uint8_t(i % 2 ? 0x11 : 0x22);
        const QString want = QString::number(byte) + QStringLiteral("R/Min");
        PacedWait(13 * (i % 8)); // arrive at different points of the 100 ms tick
        const auto t0 = Clock::now();
        b.car.write(QByteArray(1, char(byte)));
        // In the console's own wait, a millisecond at a time, so the window runs its ticks as
        // it does for the operator.
        while (value->text() != want && Clock::now() - t0 < kShownWithin)
            PacedWait(1);
        if (value->text() != want) {
            lost = QStringLiteral("reading %1: not shown within 2 s").arg(i + 1);
            break;
        }
        v.push_back(ms(Clock::now() - t0));
    }
    start->click(); // monitoring off again
    Row r = summarise(QStringLiteral("reading to screen"), QStringLiteral("ms"), v,
                      QStringLiteral("tick 100 ms + sampling 10 ms"), QStringLiteral("<= 110"));
    r.failed = lost;
    return r;
}

// Process CPU time per wall second over `seconds` of event loop, in percent of one core.
double cpuShareOver(int seconds)
{
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    PacedWait(seconds * 1000);
    return (cpuSeconds() - cpu0) / (double(wall.elapsed()) / 1000.0) * 100.0;
}

Row cpuWhileMonitoring(Bench& b, int delay, int seconds)
{
    b.get<QLineEdit>("delaytime")->setText(QString::number(delay));
    QPushButton* start = b.get<QPushButton>("cmdStart");
    auto* timer = b.get<QTimer>("Timer1");
    if (!timer->isActive())
        start->click();
    QTimer sender;
    sender.setInterval(200); // the car sends 5 readings a second
    QObject::connect(&sender, &QTimer::timeout, [&] { b.car.write(QByteArray(1, '\x20')); });
    sender.start();
    PacedWait(200);
    const double share = cpuShareOver(seconds);
    sender.stop();
    start->click();
    return {QStringLiteral("CPU while monitoring, delaytime %1").arg(delay),
            QStringLiteral("% core"),
            share,
            share,
            1,
            QStringLiteral("a spinning wait: %1%").arg(delay),
            QStringLiteral("< 1")};
}

double threadCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
        + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The console's thread's share of a core over `seconds` of its event loop, in %.
double threadCpuShareOver(int seconds)
{
    const double cpu0 = threadCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    PacedWait(seconds * 1000);
    return (threadCpuSeconds() - cpu0) / (double(wall.elapsed()) / 1000.0) * 100.0;
}

// Monitoring with the speed trend on screen while the car sends a byte every 10 ms, with or
// without the traffic window open. At that rate each poll tick takes several bytes: the trend
// scrolls and the traffic list gets a row per tick. The car sends from a thread of its own and
// only the console's thread is counted: a hundred timer wake-ups a second for the car's sake
// would otherwise weigh as much as the console.
Row cpuWithInstrument(Bench& b, bool trafficOpen, int seconds)
{
    if (trafficOpen)
        b.get<QPushButton>("cmdTraffic")->click();
    b.get<QLineEdit>("delaytime")->setText(QStringLiteral("10"));
    QPushButton* start = b.get<QPushButton>("cmdStart");
    if (!b.get<QTimer>("Timer1")->isActive())
        start->click();
    std::atomic<bool> sending{true};
    std::thread car([&] {
        auto next = Clock::now();
        for (int n = 0; sending; ++n) {
            b.car.write(QByteArray(1, char(n % 200)));
            next += std::chrono::milliseconds(10);
            std::this_thread::sleep_until(next);
        }
    });
    PacedWait(500);
    const double share = threadCpuShareOver(seconds);
    sending = false;
    car.join();
    start->click();
    PacedWait(200);
    return {trafficOpen ? QStringLiteral("CPU, delaytime 10, 100 bytes/s, traffic window open")
                        : QStringLiteral("CPU, delaytime 10, 100 bytes/s, trend shown"),
            QStringLiteral("% core"),
            share,
            share,
            1,
            QStringLiteral("the console's thread only"),
            QStringLiteral("< 1")};
}

// A recording of `readings` readings every 100 ms with `frames` frames between them (a
// cold brake each), as the console writes it.
QString writeRecording(const QTemporaryDir& dir, int readings, int frames, int frameEveryMs)
{
    const QString path = dir.filePath(QStringLiteral("run.csv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    const QDateTime start(QDate(2026, 12, 7), QTime(9, 0), QTimeZone(8 * 3600));
    QByteArray text = "\xEF\xBB\xBF时间,方向,字节,含义,速度(R/Min),报警灯\r\n";
    const auto at = [&](qint64 ms) {
        return start.addMSecs(ms).toString(Qt::ISODateWithMs).toUtf8();
    };
    int r = 0;
    int f = 0;
    while (r < readings || f < frames) {
        const qint64 readingAt = qint64(r) * 100;
        const qint64 frameAt = qint64(f) * frameEveryMs + 50;
        if (r < readings && (f >= frames || readingAt <= frameAt)) {
            text += at(readingAt) + ",接收,3C,读数 60R/Min,60,亮\r\n";
            ++r;
        } else {
            text += at(frameAt) + ",发送,87,冷制动,,亮\r\n";
            ++f;
        }
    }
    return file.write(text) == text.size() ? path : QString();
}

// 按记录行驶 against the pseudo-terminal car: how late each replayed frame reaches the car
// after its recorded offset from the drive's start.
Row replayLateness(Bench& b, CarEnd& end, int frames)
{
    QTemporaryDir dir;
    const QString path = writeRecording(dir, 0, frames, 50);
    Row failed{QStringLiteral("replayed frame late by"), QStringLiteral("ms"), 0, 0, 0, {}, {}};
    if (path.isEmpty()) {
        failed.failed = QStringLiteral("could not write the recording");
        return failed;
    }
    b.form->openReplay(path);
    auto* drive = b.get<QPushButton>("Drive");
    if (!drive || !drive->isEnabled()) {
        failed.failed = QStringLiteral("按记录行驶 not available");
        return failed;
    }
    end.reset();
    const auto t0 = Clock::now();
    drive->click();
    // The drive sends from the event loop: it runs here while the frames come.
    QElapsedTimer waited;
    waited.start();
    while (end.received() < size_t(frames) && waited.elapsed() < frames * 50 + 5000)
        PacedWait(10);
    const bool last = end.received() >= size_t(frames);
    std::vector<double> late;
    double earliest = 1e9;
    const auto got = end.bytes();
    for (size_t i = 0; i < got.size() && i < size_t(frames); ++i) {
        // Offsets count from the recording's first row, here the first frame.
        const double due = double(i) * 50;
        const double d = ms(got[i].second - t0) - due;
        late.push_back(d);
        earliest = std::min(earliest, d);
    }
    Row r = summarise(QStringLiteral("replayed frame late by"), QStringLiteral("ms"), late,
                      QStringLiteral("earliest %1 ms against its offset").arg(earliest, 0, 'f', 2),
                      QStringLiteral("a few ms; never early by more than 1"));
    if (!last)
        r.failed = QStringLiteral("%1 of %2 frames arrived").arg(got.size()).arg(frames);
    else if (earliest < -1)
        r.failed = QStringLiteral("a frame went %1 ms early").arg(-earliest, 0, 'f', 2);
    delete b.get<QWidget>("ReplayWindow");
    PacedWait(100);
    return r;
}

// A one-hour recording (36,000 readings, 2,000 frames) opened in the 回放 window: how long until
// it is shown, and the resident memory it adds.
QList<Row> openOneHour(Bench& b)
{
    QTemporaryDir dir;
    const QString path = writeRecording(dir, 36000, 2000, 1800);
    QList<Row> rows;
    const double before = residentMiB();
    QElapsedTimer clock;
    clock.start();
    b.form->openReplay(path);
    QCoreApplication::processEvents();
    const double took = double(clock.nsecsElapsed()) / 1e6;
    auto* window = b.get<ReplayWindow>("ReplayWindow");
    const bool opened = window && window->recording().rows.size() == 38000;
    rows << Row{QStringLiteral("opening a one-hour recording (38,000 rows)"),
                QStringLiteral("ms"),
                took,
                took,
                1,
                QStringLiteral("read, laid out and shown"),
                QStringLiteral("< 1000"),
                opened ? QString() : QStringLiteral("the recording did not open whole")};
    rows << Row{QStringLiteral("resident memory added by the one-hour recording"),
                QStringLiteral("MiB"),
                residentMiB() - before,
                residentMiB() - before,
                1,
                QStringLiteral("its rows, its plot and its list"),
                QStringLiteral("little"),
                opened ? QString() : QStringLiteral("the recording did not open whole")};
    return rows;
}

// The 回放 window playing at 1× (viewing, nothing sent) over the one-hour recording.
Row cpuWhileReplaying(Bench& b, int seconds)
{
    auto* window = b.get<ReplayWindow>("ReplayWindow");
    Row r{QStringLiteral("CPU, 回放 window playing at 1×"),
          QStringLiteral("% core"),
          0,
          0,
          0,
          {},
          {}};
    if (!window) {
        r.failed = QStringLiteral("no 回放 window");
        return r;
    }
    window->play();
    PacedWait(300);
    const double share = threadCpuShareOver(seconds);
    window->pause();
    delete window;
    return {r.name,
            r.unit,
            share,
            share,
            1,
            QStringLiteral("the console's thread only"),
            QStringLiteral("< 2")};
}

// The traffic list keeps its newest 10,000 rows: many more frames cost no more memory. The car
// end is drained here rather than stamped by CarEnd, whose record of every byte would count in
// the figure.
Row trafficMemory(Bench& b, int frames)
{
    QPushButton* stop = b.get<QPushButton>("Stop");
    b.car.drain();
    const double before = residentMiB();
    for (int i = 0; i < frames; ++i) {
        stop->click();
        if (i % 100 == 99) {
            b.car.drain();
            QCoreApplication::processEvents();
        }
    }
    PacedWait(700); // the list takes its last rows
    b.car.drain();
    const double after = residentMiB();
    const bool open = b.form->findChild<QWidget*>(QStringLiteral("TrafficWindow"));
    return {QStringLiteral("resident memory after %1 traffic rows").arg(frames),
            QStringLiteral("MiB"),
            after,
            after,
            1,
            QStringLiteral("before them %1 MiB (+%2)%3")
                .arg(before, 0, 'f', 1)
                .arg(after - before, 0, 'f', 2)
                .arg(open ? QStringLiteral(", traffic window open") : QString()),
            QStringLiteral("before + 5")};
}

// Ten thousand reads of 1024 bytes each in the traffic list, open: what the list keeps of a
// long read is bounded, so they cost little more than an empty list. Handed to the list the
// way the poll hands its rows, in batches, without waiting ten thousand ticks for them.
Row longReadsInTheList(int rows)
{
    Bench b;
    if (!b.car.isValid() || !b.open()) {
        Row r;
        r.name =
            QStringLiteral("resident memory after %1 reads of 1024 bytes, list open").arg(rows);
        r.failed = QStringLiteral("could not open the pseudo-terminal car");
        return r;
    }
    b.get<QPushButton>("cmdTraffic")->click();
    PacedWait(200);
    auto* panel = b.get<InstrumentPanel>("InstrumentPanel");
    const double before = residentMiB();
    const QByteArray read(1024, '\x3C');
    for (int i = 0; i < rows; ++i) {
        panel->note({QDateTime::currentDateTime(),
                     TrafficRow::Direction::Received,
                     read,
                     {},
                     false,
                     {},
                     0});
        if (i % 256 == 255)
            QCoreApplication::processEvents();
    }
    PacedWait(700); // the list takes its last rows and shows them
    const double after = residentMiB();
    delete b.form;
    return {QStringLiteral("resident memory after %1 reads of 1024 bytes, list open").arg(rows),
            QStringLiteral("MiB"),
            after - before,
            after - before,
            1,
            QStringLiteral("above the list empty (%1 MiB)").arg(before, 0, 'f', 1),
            QStringLiteral("< 20")};
}

// A car sending far faster than it should, 1024 bytes every poll tick, with the traffic list
// open and a recording running: the growth from the end of the first tenth of the run (the
// first minute of ten) to its end. Memory that grows with the flood grows on through the run;
// caches that fill once are full by then.
Row floodMemory(Bench& b, int seconds)
{
    QTemporaryDir documents;
    b.form->setDocumentsFolder(documents.path());
    b.get<QPushButton>("cmdTraffic")->click();
    b.get<QPushButton>("cmdRecord")->click();
    b.get<QLineEdit>("delaytime")->setText(QStringLiteral("10"));
    auto* timer = b.get<QTimer>("Timer1");
    if (!timer->isActive())
        b.get<QPushButton>("cmdStart")->click();
    std::atomic<bool> flooding{true};
    std::thread car([&] {
        const QByteArray read(1024, '\x41');
        while (flooding) {
            b.car.offer(read);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    PacedWait(seconds * 100);
    const double afterFirstTenth = residentMiB();
    PacedWait(seconds * 900);
    const double atEnd = residentMiB();
    flooding = false;
    car.join();
    b.get<QPushButton>("cmdStart")->click();
    b.get<QPushButton>("cmdRecord")->click();
    delete b.form->findChild<QWidget*>(QStringLiteral("TrafficWindow"));
    PacedWait(200);
    Row r{QStringLiteral("memory growth under a 10 kB/s flood over %1 s, list open, recording")
              .arg(seconds),
          QStringLiteral("MiB"),
          atEnd - afterFirstTenth,
          atEnd - afterFirstTenth,
          1,
          QStringLiteral("from %1 MiB after the first tenth").arg(afterFirstTenth, 0, 'f', 1),
          QStringLiteral("< 20")};
    if (b.get<QPushButton>("cmdRecord")->isChecked())
        r.failed = QStringLiteral("the recording did not stop when told");
    return r;
}

// Presses while a recording writes to a disk that has stopped taking rows: the frame goes out
// as fast as with no recording, since the rows wait on the recording's own thread.
Row pressToWireRecordingStalled(int presses)
{
    std::mutex disk;
    std::unique_lock stalled(disk);
    RecordingDisk stuck;
    stuck.stallLimit = std::chrono::minutes(10); // stalled for the whole row, never given up
    stuck.write = [&](QFile& file, const QByteArray& line) {
        if (!line.startsWith("\xEF\xBB\xBF"))
            const std::lock_guard wait(disk);
        return file.write(line);
    };
    QTemporaryDir documents;
    Bench b;
    if (!b.car.isValid() || !b.open(stuck)) {
        Row r;
        r.name = QStringLiteral("press to wire: Stop, recording to a stalled disk");
        r.failed = QStringLiteral("could not open the pseudo-terminal car");
        return r;
    }
    b.form->setDocumentsFolder(documents.path());
    b.get<QPushButton>("cmdRecord")->click();
    CarEnd end(b.car);
    end.start();
    Row r = pressToWire(b, end, "Stop", 1, presses);
    end.stop();
    r.name = QStringLiteral("press to wire: Stop, recording to a stalled disk");
    if (!b.get<QPushButton>("cmdRecord")->isChecked() && r.failed.isEmpty())
        r.failed = QStringLiteral("the recording stopped");
    stalled.unlock();
    delete b.form;
    return r;
}

// The car floods the line at 100 kB/s, far beyond 9600 baud: the poll keeps its 100 ms pace.
Row ticksUnderFlood(Bench& b, int seconds)
{
    b.get<QLineEdit>("delaytime")->setText(QStringLiteral("10"));
    auto* timer = b.get<QTimer>("Timer1");
    if (!timer->isActive())
        b.get<QPushButton>("cmdStart")->click();
    int ticks = 0;
    const auto counting = QObject::connect(timer, &QTimer::timeout, [&] { ++ticks; });
    std::atomic<bool> flooding{true};
    std::thread car([&] {
        const QByteArray chunk(1000, '\x41');
        auto next = Clock::now();
        const auto end = next + std::chrono::seconds(seconds);
        while (next < end) {
            b.car.offer(chunk); // whatever the line cannot take is lost
            next += std::chrono::milliseconds(10);
            std::this_thread::sleep_until(next);
        }
        flooding = false;
    });
    QElapsedTimer wall;
    wall.start();
    while (flooding)
        PacedWait(50);
    car.join();
    const double rate = ticks / (double(wall.elapsed()) / 1000.0);
    QObject::disconnect(counting);
    return {QStringLiteral("poll ticks under a 100 kB/s flood"),
            QStringLiteral("per s"),
            rate,
            rate,
            1,
            QStringLiteral("timer 100 ms: 10"),
            QStringLiteral(">= 8")};
}

// The adapter pulled out while monitoring: the console says so and then sits still.
Row cpuAfterVanish(Bench& b, int seconds)
{
    b.get<QLineEdit>("delaytime")->setText(QStringLiteral("10"));
    if (!b.get<QTimer>("Timer1")->isActive())
        b.get<QPushButton>("cmdStart")->click();
    PacedWait(300);
    b.car.vanish();
    PacedWait(300);
    const double share = cpuShareOver(seconds);
    return {QStringLiteral("CPU after the car vanished"), QStringLiteral("% core"), share, share, 1,
            QStringLiteral("an error storm: up to 100%"), QStringLiteral("< 1")};
}

QList<Row> memory(Bench& b, CarEnd& end, bool soak, double afterStart)
{
    QList<Row> rows;
    const int frames = soak ? 10000 : 500;
    const int monitorSeconds = soak ? 600 : 3;
    QPushButton* stop = b.get<QPushButton>("Stop");
    end.reset();
    // Growth counts from here: the phases before have warmed up the caches Qt fills once
    // (fonts, glyphs, the first paint of every caption), which are no growth of the console's.
    const double warm = residentMiB();
    for (int i = 0; i < frames; ++i) {
        stop->click();
        if (i % 100 == 0)
            QCoreApplication::processEvents();
    }
    const bool allArrived = end.waitFor(size_t(frames)).has_value();
    b.get<QLineEdit>("delaytime")->setText(QStringLiteral("10"));
    b.get<QPushButton>("cmdStart")->click();
    QTimer sender;
    sender.setInterval(200);
    QObject::connect(&sender, &QTimer::timeout, [&] { b.car.write(QByteArray(1, '\x30')); });
    sender.start();
    PacedWait(monitorSeconds * 1000);
    sender.stop();
    b.get<QPushButton>("cmdStart")->click();
    const double after = residentMiB();
    rows << Row{QStringLiteral("resident memory after start"),
                QStringLiteral("MiB"),
                afterStart,
                afterStart,
                1,
                QString(),
                QStringLiteral("< 60")};
    rows << Row{QStringLiteral("resident memory, warmed up"),
                QStringLiteral("MiB"),
                warm,
                warm,
                1,
                QString(),
                QStringLiteral("< 60")};
    rows << Row{
        QStringLiteral("growth after %1 frames, %2 s monitoring").arg(frames).arg(monitorSeconds),
        QStringLiteral("MiB"),
        after - warm,
        after - warm,
        1,
        QString(),
        QStringLiteral("< 1")};
    if (!allArrived)
        rows.back().failed =
            QStringLiteral("frames lost: %1 of %2 arrived").arg(end.received()).arg(frames);
    return rows;
}

Row startUp(const QString& self, int runs)
{
    std::vector<double> v;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        child.start(self, {QStringLiteral("--startup-probe")});
        child.waitForReadyRead(10000);
        v.push_back(double(t.nsecsElapsed()) / 1e6);
        child.waitForFinished(10000);
    }
    return summarise(QStringLiteral("start-up to window shown"), QStringLiteral("ms"), v,
                     QStringLiteral("process start (offscreen)"), QStringLiteral("< 300"));
}

void print(const QList<Row>& rows)
{
    QTextStream out(stdout);
    out << QStringLiteral("%1 %2 %3 %4  %5  %6\n")
               .arg(QStringLiteral("measure"), -48)
               .arg(QStringLiteral("median"), 10)
               .arg(QStringLiteral("p99"), 10)
               .arg(QStringLiteral("unit"), -7)
               .arg(QStringLiteral("target"), -22)
               .arg(QStringLiteral("reference"));
    for (const Row& r : rows) {
        if (!r.failed.isEmpty()) {
            out << QStringLiteral("%1 FAILED: %2\n").arg(r.name, -48).arg(r.failed);
            continue;
        }
        out << QStringLiteral("%1 %2 %3 %4  %5  %6\n")
                   .arg(r.name, -48)
                   .arg(r.median, 10, 'f', 3)
                   .arg(r.p99, 10, 'f', 3)
                   .arg(r.unit, -7)
                   .arg(r.target, -22)
                   .arg(r.reference);
    }
}

void writeJson(const QList<Row>& rows, const QString& path)
{
    QJsonArray array;
    for (const Row& r : rows) {
        array.append(QJsonObject{{QStringLiteral("measure"), r.name},
                                 {QStringLiteral("unit"), r.unit},
                                 {QStringLiteral("median"), r.median},
                                 {QStringLiteral("p99"), r.p99},
                                 {QStringLiteral("samples"), r.samples},
                                 {QStringLiteral("reference"), r.reference},
                                 {QStringLiteral("target"), r.target}});
    }
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(QJsonDocument(array).toJson());
}

} // namespace

} // namespace smartcar

int main(int argc, char* argv[])
{
    using namespace smartcar;
    if (argc > 1 && qstrcmp(argv[1], "--startup-probe") == 0) {
        QApplication app(argc, argv);
        auto* form = new Form1;
        form->show();
        QCoreApplication::processEvents();
        std::printf("shown\n");
        std::fflush(stdout);
        delete form;
        return 0;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Measures the console against a pseudo-terminal car."));
    parser.addHelpOption();
    QCommandLineOption quick(QStringLiteral("quick"),
                             QStringLiteral("Small counts, a few seconds (for CI)."));
    QCommandLineOption soak(
        QStringLiteral("soak"),
        QStringLiteral("10,000 frames and 10 minutes of monitoring for the memory figures."));
    QCommandLineOption json(QStringLiteral("json"),
                            QStringLiteral("Also write the table as JSON to <file>."),
                            QStringLiteral("file"));
    parser.addOptions({quick, soak, json});
    parser.process(app);
    const bool q = parser.isSet(quick);

    // Failures become boxes in the console; here they are printed and counted.
    int failures = 0;
    setMessageSink([&](const ShownMessage& m) {
        if (m.icon == QMessageBox::Question)
            return; // 按记录行驶's question, answered yes
        ++failures;
        std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
    });

    QList<Row> rows;
    rows << startUp(QCoreApplication::applicationFilePath(), q ? 3 : 20);

    Bench b;
    if (!b.car.isValid() || !b.open()) {
        std::fprintf(stderr, "smartcar-bench: could not open the pseudo-terminal car\n");
        return 1;
    }
    const double afterStart = residentMiB();
    CarEnd end(b.car);
    end.start();
    rows << pressToWire(b, end, "Stop", 1, q ? 100 : 1000);
    rows << pressToWire(b, end, "Advanced", 2, q ? 100 : 1000);
    rows << turnAccuracy(b, end, q ? 3 : 20);
    rows << brakeDuringTurn(b, end, q ? 3 : 20);
    rows << replayLateness(b, end, q ? 20 : 200);
    end.stop();
    rows << pressToWireRecordingStalled(q ? 100 : 1000);
    b.car.drain();
    rows << readingToScreen(b, q ? 8 : 50);
    rows << cpuWhileMonitoring(b, 10, q ? 1 : 10);
    rows << cpuWhileMonitoring(b, 90, q ? 1 : 10);
    end.start();
    rows << memory(b, end, parser.isSet(soak), afterStart);
    end.stop();
    rows << cpuWithInstrument(b, false, q ? 1 : 10);
    rows << cpuWithInstrument(b, true, q ? 1 : 10);
    rows << trafficMemory(b, q ? 20000 : 100000);
    delete b.form->findChild<QWidget*>(QStringLiteral("TrafficWindow"));
    rows << longReadsInTheList(10000);
    rows << floodMemory(b, parser.isSet(soak) ? 600 : q ? 3 : 60);
    rows << ticksUnderFlood(b, q ? 2 : 10);
    rows << openOneHour(b);
    rows << cpuWhileReplaying(b, q ? 1 : 10);
    rows << cpuAfterVanish(b, q ? 1 : 5);

    print(rows);
    if (parser.isSet(json))
        writeJson(rows, parser.value(json));
    delete b.form;
    if (failures)
        std::fprintf(stderr, "smartcar-bench: %d failure message(s) during the run\n", failures);
    const bool rowFailed = std::any_of(rows.begin(), rows.end(),
                                       [](const Row& r) { return !r.failed.isEmpty(); });
    if (rowFailed)
        std::fprintf(stderr, "smartcar-bench: a measurement failed (see the table)\n");
    return failures || rowFailed ? 1 : 0;
}
