// The serial unit: the port service against a pseudo-terminal standing in for the car, which
// listed entry may open, which device it finds, what a failed open is put down to, and which
// present device is the one that vanished (the rule a reconnect relies on never to open
// someone else's adapter).
#include "serial/commport.h"
#include "serial/connection.h"
#include "serial/devicematch.h"
#include "support/checks.h"
#include "support/ptypair.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace smartcar {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Outcome = DeviceMatch::Outcome;

namespace {
constexpr quint16 kFtdi = 0x0403, kFt232 = 0x6001, kWch = 0x1a86, kCh340 = 0x7523;

const auto ftdi = [](const QString& path, const QString& serial) {
    return DeviceIdentity{path, kFtdi, kFt232, serial, {}};
};
const auto ch340 = [](const QString& path, const QString& serial = {}) {
    return DeviceIdentity{path, kWch, kCh340, serial, {}};
};
// A Bluetooth link, a pseudo-terminal behind a link: nothing known but the path.
const auto bare = [](const QString& path) { return DeviceIdentity{path, {}, {}, {}, {}}; };

// One answer of the line's write(2): the first `taken` bytes really written, or, with an
// `error`, that errno and nothing taken.
struct WriteStep
{
    qint64 taken = 0;
    int error = 0;
};

// A line whose write(2) answers from a script. Past the script it writes normally, or, while
// stuck, takes nothing.
class FaultyLine : public CommPort
{
public:
    QList<WriteStep> script;
    bool stuck = false;

protected:
    qint64 writeToLine(int fd, const char* data, qint64 size) override
    {
        if (script.isEmpty() && !stuck)
            return CommPort::writeToLine(fd, data, size);
        const WriteStep step = script.isEmpty() ? WriteStep{0, EAGAIN} : script.takeFirst();
        errno = step.error;
        return step.error ? -1 : CommPort::writeToLine(fd, data, qMin(step.taken, size));
    }
};

} // namespace

// Runs `step` as the user "nobody" when the test runs as root, which may open and read
// anything; the saved id lets it back, and its groups are put back.
template <typename Step>
auto asNobody(Step step)
{
    const bool root = ::geteuid() == 0;
    QList<gid_t> groups(::getgroups(0, nullptr));
    if (::getgroups(int(groups.size()), groups.data()) != groups.size())
        qFatal("cannot read the groups");
    if (root
        && !(::setgroups(0, nullptr) == 0 && ::setresgid(65534, 65534, 0) == 0
             && ::setresuid(65534, 65534, 0) == 0))
        qFatal("cannot become nobody");
    const auto result = step();
    if (root
        && !(::setresuid(0, 0, 0) == 0 && ::setresgid(0, 0, 0) == 0
             && ::setgroups(size_t(groups.size()), groups.data()) == 0))
        qFatal("cannot be root again");
    return result;
}

using Overrides = QMap<int, QString>; // SMARTCAR_COM<n> by n

// A device node to be, ttyUSB0 in a folder searchable by everyone (so that only the node itself
// can refuse), with a lock folder of its own: the machine's may hold a live lock for a real
// ttyUSB0.
struct DeviceNode
{
    QTemporaryDir dir;
    QString device = dir.filePath(QStringLiteral("ttyUSB0"));
    QTemporaryDir locks;
    QStringList lockDirs{locks.path()};
    bool searchable = ::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0;

    QString explain() const
    {
        return explainOpenFailure(diagnoseOpenFailure(device, {}, lockDirs));
    }
};

// Another program's lock file for the line the console is about to open, in a lock folder of
// the test's own. `holder`: the test itself (alive), a process that has ended, or none (the
// file holds `content` as it is).
enum class Holder { Alive, Ended, None };
enum class LockVerdict { Busy, Unreadable, Opens };

class TestSerial : public QObject
{
    Q_OBJECT
private slots:
    void troubledLine_data()
    {
        // How the car stops taking bytes, and what it sent that is still unread when it then
        // vanishes: Qt stops reading once the receive buffer is full, so it never reads the
        // hang-up itself.
        QTest::addColumn<bool>("flowControl"); // otherwise the car stops reading
        QTest::addColumn<QByteArray>("unread");
        QTest::newRow("heldByFlowControlThenClosed") << true << QByteArray();
        // The line still takes a few bytes: a frame sent now would reach the car late or cut short.
        QTest::newRow("backedUpThenClosedWithFullReceiveBuffer")
            << false << QByteArray(CommPort::kReceiveBufferBytes, '\x3C') + "late";
    }

    void troubledLine()
    {
        QFETCH(bool, flowControl);
        QFETCH(QByteArray, unread);
        PtyPair car;
        CommPort port;
        port.setPortMap(PortMap(QString(), {{1, car.slavePath()}}));
        port.setPortOpen(true);
        QList<bool> openWhenTold; // each time the port says the device has gone
        connect(&port, &CommPort::disconnected, this, [&] { openWhenTold << port.portOpen(); });

        // A busy line fails one send and keeps the port.
        car.holdConsoleOutput(flowControl);
        const qsizetype backlog = flowControl ? 0 : car.backUpConsoleOutput('A');
        const QString report = failureOf([&] { port.output(bytes({0x85, 0x60})); });
        QVERIFY2(report.contains(QStringLiteral("发送超时")), qPrintable(report));
        QVERIFY(port.portOpen());
        // The line moves again: nothing of the failed frame follows, and the next frame is whole
        // and in the device by the time the send returns (no event loop runs in between).
        car.holdConsoleOutput(false);
        QCOMPARE(car.read(int(backlog), 2s), QByteArray(backlog, 'A'));
        port.output(bytes({0x86, 0x30}));
        QCOMPARE(car.read(2, 0ms), bytes({0x86, 0x30}));

        // The car vanishes. The dead device keeps raising errors: the port is closed before the
        // window hears of it, so none of them becomes another signal.
        car.write(unread);
        QTRY_COMPARE(port.inBufferCount(), qMin(unread.size(), CommPort::kReceiveBufferBytes));
        car.vanish();
        QTRY_COMPARE(openWhenTold, QList<bool>{false});
        QCOMPARE(failureOf([&] { port.output("\x87"); }), Failure::portNotOpen().describe());
    }

    void receivedBytesAreKeptOldestFirstUpToTheBuffer()
    {
        PtyPair car;
        CommPort port;
        port.setPortMap(PortMap(QString(), {{1, car.slavePath()}}));
        port.setPortOpen(true);
        const QByteArray first(CommPort::kReceiveBufferBytes, '\x3C');
        car.write(first + "late");
        QTRY_COMPARE(port.inBufferCount(), int(first.size()));
        QCOMPARE(port.input(), first);
        QTRY_COMPARE(port.inBufferCount(), 4); // what did not fit follows, not lost
        const QByteArray late = port.input();
        QCOMPARE(late, QByteArray("late"));
        // A read keeps no more memory than it holds: the traffic list keeps thousands of them.
        QVERIFY2(late.capacity() < 64, qPrintable(QString::number(late.capacity())));
    }

    void writeTheLineTakesOnlyPartOf_data()
    {
        QTest::addColumn<QList<WriteStep>>("script");
        QTest::addColumn<bool>("stuck");      // till the send has given up
        QTest::addColumn<QString>("failure"); // empty: the send succeeds
        QTest::addColumn<QByteArray>("carGets");
        const QByteArray earlier = bytes({0x86, 0x30});
        const QByteArray frame = bytes({0x85, 0x60});
        QTest::newRow("interruptedWriteIsRetriedNotReported")
            << QList<WriteStep>{{0, EINTR}, {0, EINTR}} << false << QString() << earlier + frame;
        QTest::newRow("nothingTakenFlushesNothingBefore")
            << QList<WriteStep>{{0, EAGAIN}} << false << u"发送超时：线路忙，此帧未发送"_s
            << earlier;
        QTest::newRow("headTakenTheRestFollows")
            << QList<WriteStep>{{1}, {0, EINTR}, {0}} << false << QString() << earlier + frame;
        // A pseudo-terminal keeps what a real line's flush drops; the rest never follows.
        QTest::newRow("headTakenRestNeverFitsSaysTheLineWasEmptied")
            << QList<WriteStep>{{1}} << true << u"发送超时：线路已清空，之前的帧可能未发出"_s
            << earlier + frame.left(1);
    }

    void writeTheLineTakesOnlyPartOf()
    {
        QFETCH(QList<WriteStep>, script);
        QFETCH(bool, stuck);
        QFETCH(QString, failure);
        QFETCH(QByteArray, carGets);
        PtyPair car;
        FaultyLine port;
        port.setPortMap(PortMap(QString(), {{1, car.slavePath()}}));
        port.setPortOpen(true);
        port.output(bytes({0x86, 0x30})); // still in the line: the car has not read it yet
        port.script = script;
        port.stuck = stuck;
        const QString said = failureOf([&] { port.output(bytes({0x85, 0x60})); });
        QCOMPARE(said, failure.isEmpty() ? failure : Failure::portFailure(failure).describe());
        QVERIFY(port.portOpen());
        // Only the emptied line leaves it unknown whether the car has the head, a speed code.
        QCOMPARE(port.carReads().mayAwaitSpeedByte(), stuck);
        port.stuck = false;
        port.output(bytes({0x87})); // marks the end of what came
        QCOMPARE(car.read(int(carGets.size()) + 1, 2s), carGets + bytes({0x87}));
    }

    void assignment_data()
    {
        QTest::addColumn<QStringList>("present"); // names in /dev
        QTest::addColumn<Overrides>("overrides");
        // From COM1 on, empty for no device; the entries after keep ttyS<n-1>.
        QTest::addColumn<QStringList>("devices");
        // No adapter: the USB entries stand for no device.
        QTest::newRow("linksNeverOnTheUsbEntriesOtherNamesIgnored")
            << QStringList{"rfcomm3", "ttyUSB",   "ttyUSBa",  "ttyUSB0.lock", "ttyS4",
                           "usbmon0", "ttyACM-1", "xrfcomm0", "rfcomm1"}
            << Overrides{}
            << QStringList{"/dev/ttyS0", "/dev/ttyS1", {}, {}, "/dev/rfcomm1", "/dev/rfcomm3"};
        QTest::newRow("usbByNumberThenAcmThenLinksOverridesWinTheOthersMoveOnWithNoHoles")
            << QStringList{"ttyUSB10", "rfcomm0", "ttyUSB2", "ttyACM0",
                           "ttyUSB9",  "ttyUSB1", "rfcomm1"}
            << Overrides{{3, "/tmp/car"}, {6, "/dev/ttyS9"}, {7, "/dev//ttyUSB9"}} // as written
            << QStringList{"/dev/ttyS0",   "/dev/ttyS1",   "/tmp/car",      "/dev/ttyUSB1",
                           "/dev/ttyUSB2", "/dev/ttyS9",   "/dev//ttyUSB9", "/dev/ttyUSB10",
                           "/dev/ttyACM0", "/dev/rfcomm0", "/dev/rfcomm1"};
        QStringList many;
        for (int k = 0; k < 25; ++k)
            many << u"ttyUSB%1"_s.arg(k);
        QStringList taken{u"/dev/ttyS0"_s, u"/dev/ttyS1"_s}; // COM3 to COM20 take the first 18
        for (const QString& name : many.first(18))
            taken << u"/dev/"_s + name;
        QTest::newRow("moreAdaptersThanEntries") << many << Overrides{} << taken;
    }

    void assignment()
    {
        QFETCH(QStringList, present);
        QFETCH(Overrides, overrides);
        QFETCH(QStringList, devices);
        for (qsizetype n = devices.size(); n < 20; ++n)
            devices << u"/dev/ttyS%1"_s.arg(n);
        QCOMPARE(assignPortDevices(u"/dev"_s, present, overrides), devices);
    }

    void usbEntryWithoutAnAdapterSaysSo()
    {
        QTemporaryDir dir;
        CommPort port;
        port.setPortMap(PortMap(dir.path()));
        port.setCommPort(3);
        const QString detail = failureOf([&] { port.setPortOpen(true); });
        QVERIFY2(detail.contains(u"没有插上 COM3(USB) 对应的 USB 串口适配器"_s)
                     && detail.contains(u"ls /dev/ttyUSB* /dev/ttyACM*"_s)
                     && !detail.contains(u"ttyS"_s),
                 qPrintable(detail));
    }

    void lookupSeesTheDirectoryAsItIsNow()
    {
        QTemporaryDir dir;
        const PortMap ports(dir.path());
        QCOMPARE(ports.deviceForPort(3), QString());
        // Plugged in after the first look; a link counts as a node.
        const QString adapter = dir.filePath(u"ttyUSB0"_s);
        QVERIFY(QFile::link(u"/dev/null"_s, adapter));
        QCOMPARE(ports.deviceForPort(3), adapter);
        QCOMPARE(ports.toolTips().mid(2, 3),
                 (QStringList{adapter, u"未发现 USB 串口适配器"_s,
                              dir.filePath(u"ttyS4"_s) + u"（未发现设备）"_s}));
    }

    // A variable naming a link claims the adapter behind it too: no second entry gets it.
    void overrideClaimsTheDeviceItLeadsTo()
    {
        QTemporaryDir dir;
        const QString adapter = dir.filePath(u"ttyUSB0"_s);
        const QString byId = dir.filePath(u"usb-car-if00"_s);
        QFile node(adapter);
        QVERIFY(node.open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(adapter, byId));
        const PortMap ports(dir.path(), {{3, byId}});
        QCOMPARE(ports.deviceForPort(3), byId);
        QCOMPARE(ports.deviceForPort(4), QString());
    }

    // For the listed entries only; set but empty is as if unset.
    void operatorsVariablesOverrideEntries()
    {
        const ScopedEnv com1("SMARTCAR_COM1", "");
        const ScopedEnv com2("SMARTCAR_COM2", "/tmp/car");
        const ScopedEnv com21("SMARTCAR_COM21", "/dev/ttyS0");
        QCOMPARE(portOverrides(), Overrides({{2, u"/tmp/car"_s}}));
    }

    // A link left behind for an adapter that is gone: as if no device were there.
    void linkLeftForAGoneAdapterIsNoDevice()
    {
        const DeviceNode node;
        QVERIFY(QFile::link(node.dir.filePath(u"gone"_s), node.device));
        QCOMPARE(node.explain(), u"未找到设备 %1：请检查适配器是否已插好。"_s.arg(node.device));
    }

    // A node the user may not open: the advice names the group read from the node.
    void nodeTheUserMayNotOpenNamesItsGroup()
    {
        const DeviceNode node;
        QVERIFY(QFile(node.device).open(QIODevice::WriteOnly));
        QVERIFY(QFile::setPermissions(node.device, {}));
        const QString refused = asNobody([&] { return node.explain(); });
        QCOMPARE(refused,
                 u"没有权限读写设备 %1，它属于 %2 组。\n"
                 u"请执行 sudo usermod -aG %2 $USER，然后注销并重新登录。"_s.arg(
                     node.device, QFileInfo(node.device).group()));
    }

    // Held by another program, met through a link as the console would meet an adapter. Qt's
    // lock (it names this pseudo-terminal, which nothing else on the machine can hold) is in the
    // system's folders; to root, which passes Qt's exclusive claim, it is the only sign. Once it
    // is let go, the device itself shows nothing wrong: the open's own words stay.
    void lineHeldByAnotherProgramIsNamedBusy()
    {
        const DeviceNode node;
        PtyPair car;
        QVERIFY(QFile::link(car.slavePath(), node.device));
        QSerialPort other(car.slavePath());
        QVERIFY(other.open(QIODevice::ReadWrite));
        QVERIFY(explainOpenFailure(diagnoseOpenFailure(node.device, {}))
                    .contains(node.device + u" 正被另一个程序占用"_s));
        other.close();
        QCOMPARE(explainOpenFailure(diagnoseOpenFailure(node.device, u"EIO"_s, node.lockDirs)),
                 u"无法打开设备 %1：EIO"_s.arg(node.device));
    }

    // A lock file the user may not read may be another user's live lock: the port does not
    // open, and the operator is told whose file it is, never to delete it.
    void unreadableLockSaysWhose()
    {
        QTemporaryDir dir;
        QTemporaryDir locks;
        for (const QTemporaryDir* d : {&dir, &locks})
            QVERIFY(::chmod(QFile::encodeName(d->path()).constData(), 0755) == 0);
        const QString device = dir.filePath(u"ttyUSB0"_s);
        QVERIFY(QFile(device).open(QIODevice::WriteOnly));
        const QString lockFile = locks.filePath(u"LCK..ttyUSB0"_s);
        QFile lock(lockFile);
        QVERIFY(lock.open(QIODevice::WriteOnly));
        QVERIFY(lock.write("     12345\n") == 11);
        lock.close();
        QVERIFY(QFile::setPermissions(lockFile, {}));
        const std::optional<OpenFailure> found = asNobody(
            [&] { return lockedByOther(device, {locks.path()}); });
        QVERIFY(found.has_value());
        QCOMPARE(explainOpenFailure(*found),
                 u"无法打开设备 %1。\n锁文件 %2 无法读取，它属于用户 %3，"
                 u"可能是该用户正在使用这个设备：请先询问该用户或管理员。"_s.arg(
                     device, lockFile, QFileInfo(lockFile).owner()));
    }

    void nodeThatIsNoLine_data()
    {
        QTest::addColumn<QString>("node"); // in a folder of the test's own unless absolute
        QTest::addColumn<QString>("cause");
        QTest::newRow("symlinkLoopIsNoMissingAdapter") << u"loop"_s << u"符号链接层数过多"_s;
        QTest::newRow("controllingTerminalAlias") << u"/dev/tty"_s << u"不是串口设备"_s;
        QTest::newRow("characterDeviceThatIsNoTerminal") << u"/dev/null"_s << u"不是串口设备"_s;
    }

    void nodeThatIsNoLine()
    {
        QFETCH(QString, node);
        QFETCH(QString, cause);
        QTemporaryDir dir;
        QVERIFY(QFile::link(dir.filePath(u"loop"_s), dir.filePath(u"loop2"_s))
                && QFile::link(dir.filePath(u"loop2"_s), dir.filePath(u"loop"_s)));
        const QString device = node.startsWith(u'/') ? node : dir.filePath(node);
        QCOMPARE(explainOpenFailure(diagnoseOpenFailure(device, u"EIO"_s, {dir.path()})),
                 u"无法打开设备 %1：%2"_s.arg(device, cause));
    }

    void otherProgramsLock_data()
    {
        QTest::addColumn<Holder>("holder");
        QTest::addColumn<bool>("qtForm"); // otherwise ten columns, right-aligned
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<LockVerdict>("verdict");
        QTest::newRow("classicLockOfARunningProgramIsBusy")
            << Holder::Alive << false << QByteArray() << LockVerdict::Busy;
        QTest::newRow("qtLockOfARunningProgramIsBusy")
            << Holder::Alive << true << QByteArray() << LockVerdict::Busy;
        QTest::newRow("classicLockOfAnEndedProgramIsStale")
            << Holder::Ended << false << QByteArray() << LockVerdict::Opens;
        QTest::newRow("textIsUnreadableNotAPermissionError")
            << Holder::None << false << QByteArray("hello\n") << LockVerdict::Unreadable;
        QTest::newRow("numberBeyondAnyProcessIsUnreadableNotAlive")
            << Holder::None << false << QByteArray("4294967296\n") << LockVerdict::Unreadable;
        QTest::newRow("zeroWouldSignalOurOwnGroup")
            << Holder::None << false << QByteArray("0\n") << LockVerdict::Unreadable;
        QTest::newRow("negativeWouldSignalAGroup")
            << Holder::None << false << QByteArray("  -1\n") << LockVerdict::Unreadable;
    }

    void otherProgramsLock()
    {
        QFETCH(Holder, holder);
        QFETCH(bool, qtForm);
        QFETCH(QByteArray, content);
        QFETCH(LockVerdict, verdict);
        qint64 pid = ::getpid();
        if (holder == Holder::Ended) {
            const pid_t child = ::fork();
            if (child == 0)
                ::_exit(0);
            QVERIFY(child > 0);
            QVERIFY(::waitpid(child, nullptr, 0) == child);
            pid = child;
        }
        if (holder != Holder::None) {
            content = qtForm ? QByteArray::number(pid) + "\nminicom\nbench\n"
                             : QByteArray::number(pid).rightJustified(10, ' ') + '\n';
        }
        PtyPair car;
        QTemporaryDir locks;
        const QString lockFile = locks.filePath(u"LCK.."_s
                                                + car.slavePath().mid(5).replace(u'/', u'_'));
        QFile lock(lockFile);
        QVERIFY(lock.open(QIODevice::WriteOnly));
        QVERIFY(lock.write(content) == content.size());
        lock.close();

        // The port does not open past a lock it must honour, says whose it is, and leaves the
        // other program's file as it found it.
        QString says; // empty: it opens
        if (verdict == LockVerdict::Busy) {
            says = u"设备 %1 正被另一个程序占用（进程 %2 %3）。\n请先关闭那个程序，再打开端口。"_s
                       .arg(car.slavePath(), QString::number(pid),
                            QCoreApplication::applicationName());
        } else if (verdict == LockVerdict::Unreadable) {
            says =
                u"无法打开设备 %1。\n锁文件 %2 无法识别：若没有其他程序在用该设备，可删除此文件。"_s
                    .arg(car.slavePath(), lockFile);
        }
        CommPort port;
        port.setPortMap(PortMap(QString(), {{1, car.slavePath()}}));
        port.setLockDirectories({locks.path()});
        QCOMPARE(failureOf([&] { port.setPortOpen(true); }),
                 says.isEmpty() ? says : Failure::portFailure(says).describe());
        QCOMPARE(port.portOpen(), says.isEmpty());
        QVERIFY(lock.open(QIODevice::ReadOnly));
        QCOMPARE(lock.readAll(), content);
    }

    void sameDevice_data()
    {
        QTest::addColumn<DeviceIdentity>("remembered");
        QTest::addColumn<QList<DeviceIdentity>>("present");
        QTest::addColumn<Outcome>("outcome"); // found: the second present, never the first

        const QString usb0 = u"/dev/ttyUSB0"_s, usb1 = u"/dev/ttyUSB1"_s, link = u"/tmp/car"_s;

        // Another serial at the remembered path comes first: someone else's adapter.
        QTest::newRow("sameSerialReturningOnAnotherPath")
            << ftdi(usb0, u"A50285BI"_s) << QList{ftdi(usb0, u"B1"_s), ftdi(usb1, u"A50285BI"_s)}
            << Outcome::Found;
        QTest::newRow("vendorChangedBehindTheSameSerial")
            << ftdi(usb0, u"A50285BI"_s)
            << QList{DeviceIdentity{usb0, kWch, kFt232, u"A50285BI"_s, {}}} << Outcome::None;
        QTest::newRow("twoAdaptersWithTheRememberedSerialOpenNeither")
            << ftdi(usb0, u"A50285BI"_s)
            << QList{ftdi(usb1, u"A50285BI"_s), ftdi(u"/dev/ttyUSB2"_s, u"A50285BI"_s)}
            << Outcome::Ambiguous;
        // The same model at another path comes first: another adapter.
        QTest::newRow("adapterWithoutSerialBackAtItsPath")
            << ch340(usb0) << QList{ch340(usb1), ch340(usb0)} << Outcome::Found;
        QTest::newRow("serialAppearedAtASerialLessPathIsAnotherAdapter")
            << ch340(usb0) << QList{ch340(usb0, u"X9"_s)} << Outcome::None;
        QTest::newRow("zeroSerialIsNoSerialSoOnlyThePathCounts")
            << ch340(usb0, u"0"_s) << QList{ch340(usb1, u"0"_s), ch340(usb0)} << Outcome::Found;
        QTest::newRow("linkWithNothingKnownBackAtItsPath")
            << bare(link) << QList{ftdi(usb0, u"A50285BI"_s), bare(link)} << Outcome::Found;
        // An unknown vendor is no wildcard, and without a serial the model still counts.
        QTest::newRow("linkNowLeadingToAUsbAdapter")
            << bare(link) << QList{ch340(link)} << Outcome::None;
        // A link is followed again only once it has been made anew, never when left behind.
        const auto linkMade = [&](const QString& made) {
            return DeviceIdentity{link, {}, {}, {}, made};
        };
        QTest::newRow("linkLeftBehindNeverFollowed")
            << linkMade(u"7:100"_s) << QList{bare(usb0), linkMade(u"7:100"_s)} << Outcome::None;
        QTest::newRow("linkMadeAnewFollowed")
            << linkMade(u"7:100"_s) << QList{bare(usb0), linkMade(u"9:200"_s)} << Outcome::Found;
        QTest::newRow("pathsComparedInTheirCleanForm")
            << bare(u"/dev//rfcomm0"_s) << QList{bare(usb0), bare(u"/dev/rfcomm0"_s)}
            << Outcome::Found;
    }

    void sameDevice()
    {
        QFETCH(DeviceIdentity, remembered);
        QFETCH(QList<DeviceIdentity>, present);
        QFETCH(Outcome, outcome);
        const DeviceMatch match = findSameDevice(remembered, present);
        QCOMPARE(match.outcome, outcome);
        QCOMPARE(match.index, qsizetype(outcome == Outcome::Found ? 1 : -1));
    }

    // What tells a link made anew from one left behind is the link's own making, not where
    // it leads.
    void linkIdentifiedAsMade()
    {
        QTemporaryDir dir;
        PtyPair car;
        const QString link = dir.filePath(u"car"_s);
        QVERIFY(QFile::link(car.slavePath(), link));
        const DeviceIdentity first = identifyDevice(link);
        QVERIFY(!first.link.isEmpty());
        QCOMPARE(identifyDevice(link), first);
        QVERIFY(QFile::remove(link));
        QVERIFY(QFile::link(car.slavePath(), link));
        QVERIFY(identifyDevice(link).link != first.link);
        QVERIFY(identifyDevice(car.slavePath()).link.isEmpty());
    }

    // A terminal number written another way is still one (the plain /dev/pts/N: test_reconnect).
    void bareTerminalNumbersWrittenOtherwiseAreNeverLookedFor()
    {
        QVERIFY(!mayReconnect(bare(u"/dev//pts/0"_s)));
        QVERIFY(!mayReconnect(bare(u"/dev/./pts/0"_s)));
        QVERIFY(mayReconnect(bare(u"/tmp/car"_s)));
    }

    // The connection steps, without a window: what opening list entries leaves on show.
    void openStepShowsTheOutcome()
    {
        PtyPair car;
        QTemporaryDir empty;
        CommPort port;
        port.setLockDirectories({empty.path()});
        port.setPortMap(PortMap(empty.path(), {{1, car.slavePath()}}));
        Connection connection(&port);

        const int before = port.commPort();
        const Connection::Shows refused = connection.open(17); // COM18 is listed, never opened
        QCOMPARE(refused.error, u"指定通信端口时发生错误！"_s);
        QVERIFY(!refused.openEnabled);
        QCOMPARE(port.commPort(), before);

        const Connection::Shows missing = connection.open(16);
        QCOMPARE(missing.error, u"打开通信端口时发生错误！请确定通信端口存在且正常。"_s);
        QVERIFY(missing.errorDetail.contains(empty.filePath(u"ttyS16"_s)));
        QVERIFY(!missing.status);

        const Connection::Shows opened = connection.open(0);
        QVERIFY(opened.error.isEmpty());
        QVERIFY(port.portOpen());
        QCOMPARE(opened.openEnabled, std::optional(false));
        QCOMPARE(opened.startEnabled, std::optional(true));

        QVERIFY(!connection.changes(0));
        QVERIFY(connection.changes(1));
        connection.changeBegins();
        QVERIFY(port.portOpen()); // closed only once the change step's wait is over
        const Connection::Shows changed = connection.changeEnds();
        QVERIFY(!port.portOpen());
        QCOMPARE(changed.openEnabled, std::optional(true));
        QCOMPARE(changed.status, std::optional(u"已停止通信并关闭通讯端口"_s));
    }

    // A reconnect resumes monitoring only when the unplug stopped it and nobody has decided
    // about it since.
    void reconnectResumesOnlyWhatTheUnplugStopped_data()
    {
        using Poll = Connection::Shows::Poll;
        QTest::addColumn<bool>("monitoringAtUnplug");
        QTest::addColumn<bool>("decidedMeanwhile");
        QTest::addColumn<bool>("monitoringAtReconnect");
        QTest::addColumn<Poll>("poll");
        QTest::newRow("stoppedByTheUnplugResumes") << true << false << false << Poll::Resume;
        QTest::newRow("offStaysOff") << false << false << false << Poll::Keep;
        QTest::newRow("operatorDecidedMeanwhile") << true << true << false << Poll::Keep;
        QTest::newRow("runningAgainIsNotStartedTwice") << true << false << true << Poll::Keep;
    }

    void reconnectResumesOnlyWhatTheUnplugStopped()
    {
        using Poll = Connection::Shows::Poll;
        QFETCH(bool, monitoringAtUnplug);
        QFETCH(bool, decidedMeanwhile);
        QFETCH(bool, monitoringAtReconnect);
        QFETCH(Poll, poll);
        CommPort port;
        Connection connection(&port);
        const Connection::Shows unplugged = connection.unplugged(monitoringAtUnplug);
        QCOMPARE(unplugged.poll, monitoringAtUnplug ? Poll::Stop : Poll::Keep);
        // Nothing was opened, so there is no device to wait for.
        QCOMPARE(unplugged.status, std::optional(u"通信端口已断开，请检查无线适配器"_s));
        if (decidedMeanwhile)
            connection.monitoringDecided();
        QCOMPARE(connection.reconnected(u"/tmp/car"_s, monitoringAtReconnect).poll, poll);
        // Once only: a second reconnect finds nothing to resume.
        QCOMPARE(connection.reconnected(u"/tmp/car"_s, false).poll, Poll::Keep);
    }
};

} // namespace smartcar

QTEST_GUILESS_MAIN(smartcar::TestSerial)
#include "test_serial.moc"
