// Which device each listed entry finds, and what a failed open is put down to. These are the
// calculations themselves: no window and no application object.
#include "serial/openfailure.h"
#include "serial/portmap.h"
#include "ptypair.h"

#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace smartcar;

namespace {
// "3=ttyUSB0" -> {3, "ttyUSB0"}
QMap<int, QString> numbered(const QStringList& pairs)
{
    QMap<int, QString> map;
    for (const QString& pair : pairs)
        map.insert(pair.section(QLatin1Char('='), 0, 0).toInt(), pair.section(QLatin1Char('='), 1));
    return map;
}

// Runs the diagnosis as an ordinary user would meet it. Root may open any node, so as root
// it runs in a child that has given up root for "nobody".
QString diagnoseAsUser(const QString& device)
{
    if (::geteuid() != 0)
        return explainOpenFailure(diagnoseOpenFailure(device, QStringLiteral("open failed")));
    int out[2];
    if (::pipe(out) != 0)
        return QStringLiteral("no pipe");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        const QByteArray text = explainOpenFailure(
                                    diagnoseOpenFailure(device, QStringLiteral("open failed")))
                                    .toUtf8();
        const bool written = ::write(out[1], text.constData(), size_t(text.size())) == text.size();
        ::_exit(written ? 0 : 3);
    }
    ::close(out[1]);
    QByteArray text;
    char buf[512];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;)
        text.append(buf, n);
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return QStringLiteral("child failed: %1").arg(status);
    return QString::fromUtf8(text);
}
} // namespace

class TestPortMap : public QObject
{
    Q_OBJECT
private slots:
    void assignment_data();
    void assignment();
    void lookupSeesTheDirectoryAsItIsNow();
    void openFailureCause_data();
    void openFailureCause();
};

void TestPortMap::assignment_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("overrides"); // "n=path"
    QTest::addColumn<QStringList>("expected");  // "n=device"; every other entry keeps ttyS<n-1>

    QTest::newRow("nothingPluggedKeepsTheOnboardNames") << QStringList{} << QStringList{}
                                                        << QStringList{};
    QTest::newRow("firstAdapterIsCom3")
        << QStringList{"ttyUSB0"} << QStringList{} << QStringList{"3=/dev/ttyUSB0"};
    QTest::newRow("usbBeforeAcmThirdGoesToCom5")
        << QStringList{"ttyACM0", "ttyUSB1", "ttyUSB0"} << QStringList{}
        << QStringList{"3=/dev/ttyUSB0", "4=/dev/ttyUSB1", "5=/dev/ttyACM0"};
    QTest::newRow("numbersComparedAsNumbers")
        << QStringList{"ttyUSB10", "ttyUSB2", "ttyUSB9", "ttyUSB1"} << QStringList{}
        << QStringList{"3=/dev/ttyUSB1", "4=/dev/ttyUSB2", "5=/dev/ttyUSB9", "6=/dev/ttyUSB10"};
    QTest::newRow("gapsLeaveNoHoles")
        << QStringList{"ttyUSB7", "ttyACM3"} << QStringList{}
        << QStringList{"3=/dev/ttyUSB7", "4=/dev/ttyACM3"};
    QTest::newRow("bluetoothNeverOnTheUsbEntries")
        << QStringList{"rfcomm1", "rfcomm0"} << QStringList{}
        << QStringList{"5=/dev/rfcomm0", "6=/dev/rfcomm1"};
    QTest::newRow("linksAfterTheFurtherAdapters")
        << QStringList{"rfcomm0", "ttyUSB2", "ttyACM0", "ttyUSB0", "ttyUSB1"} << QStringList{}
        << QStringList{"3=/dev/ttyUSB0", "4=/dev/ttyUSB1", "5=/dev/ttyUSB2", "6=/dev/ttyACM0",
                       "7=/dev/rfcomm0"};
    QStringList many;
    QStringList manyExpected;
    for (int k = 0; k < 25; ++k) {
        many << QStringLiteral("ttyUSB%1").arg(k);
        if (k < 18)
            manyExpected << QStringLiteral("%1=/dev/ttyUSB%2").arg(k + 3).arg(k);
    }
    QTest::newRow("moreAdaptersThanEntries") << many << QStringList{} << manyExpected;
    QTest::newRow("otherNamesIgnored")
        << QStringList{"ttyUSB", "ttyUSBa", "ttyUSB0.lock", "ttyS4", "console", "usbmon0",
                       "ttyACM-1", "xrfcomm0"}
        << QStringList{} << QStringList{};
    QTest::newRow("overrideWinsAndTheAdapterMovesOn")
        << QStringList{"ttyUSB0"} << QStringList{"3=/tmp/car"}
        << QStringList{"3=/tmp/car", "4=/dev/ttyUSB0"};
    QTest::newRow("deviceNamedByAnOverrideIsNotHandedOutAgain")
        << QStringList{"ttyUSB0", "ttyUSB1"} << QStringList{"1=/dev//ttyUSB0"}
        << QStringList{"1=/dev//ttyUSB0", "3=/dev/ttyUSB1"};
    QTest::newRow("overrideOnAFurtherEntry")
        << QStringList{"ttyUSB0", "ttyUSB1", "ttyUSB2", "rfcomm0"} << QStringList{"5=/dev/ttyS9"}
        << QStringList{"3=/dev/ttyUSB0", "4=/dev/ttyUSB1", "5=/dev/ttyS9", "6=/dev/ttyUSB2",
                       "7=/dev/rfcomm0"};
}

void TestPortMap::assignment()
{
    QFETCH(QStringList, present);
    QFETCH(QStringList, overrides);
    QFETCH(QStringList, expected);
    QStringList want;
    for (int n = 1; n <= 20; ++n)
        want << QStringLiteral("/dev/ttyS%1").arg(n - 1);
    const QMap<int, QString> changed = numbered(expected);
    for (auto it = changed.begin(); it != changed.end(); ++it)
        want[it.key() - 1] = it.value();
    QCOMPARE(assignPortDevices(QStringLiteral("/dev"), present, numbered(overrides)), want);
}

void TestPortMap::lookupSeesTheDirectoryAsItIsNow()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    setDeviceDirectory(dir.path());
    const QString adapter = dir.filePath(QStringLiteral("ttyUSB0"));
    QCOMPARE(deviceForPort(3), dir.filePath(QStringLiteral("ttyS2")));

    // Plugged in after the first look; a link counts as a node.
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), adapter));
    QCOMPARE(deviceForPort(3), adapter);
    const QStringList tips = portToolTips();
    QCOMPARE(tips.size(), 20);
    QCOMPARE(tips.at(2), adapter);
    QCOMPARE(tips.at(3), dir.filePath(QStringLiteral("ttyS3")) + QStringLiteral("（未发现设备）"));

    // The variable takes the adapter for COM1, so COM3 no longer gets it.
    qputenv("SMARTCAR_COM1", adapter.toLocal8Bit());
    QCOMPARE(deviceForPort(1), adapter);
    QCOMPARE(deviceForPort(3), dir.filePath(QStringLiteral("ttyS2")));
    qunsetenv("SMARTCAR_COM1");
    setDeviceDirectory(QString());
    QCOMPARE(deviceDirectory(), QStringLiteral("/dev"));
}

void TestPortMap::openFailureCause_data()
{
    QTest::addColumn<QString>("setup");
    QTest::newRow("missingPath") << "missing";
    QTest::newRow("linkToAVanishedAdapter") << "dangling";
    QTest::newRow("nodeTheUserMayNotOpen") << "permission";
    QTest::newRow("deviceAnotherOpenHolds") << "held";
}

void TestPortMap::openFailureCause()
{
    QFETCH(QString, setup);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Searchable by everyone, so that only the node itself can refuse.
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    const QString device = dir.filePath(QStringLiteral("ttyUSB0"));
    const QString missing = QStringLiteral("未找到设备 %1：请检查适配器是否已插好。").arg(device);

    if (setup == QLatin1String("missing")) {
        QCOMPARE(explainOpenFailure(diagnoseOpenFailure(device, QString())), missing);
    } else if (setup == QLatin1String("dangling")) {
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), device));
        QCOMPARE(explainOpenFailure(diagnoseOpenFailure(device, QString())), missing);
    } else if (setup == QLatin1String("permission")) {
        QFile node(device);
        QVERIFY(node.open(QIODevice::WriteOnly));
        node.close();
        // Owned by the serial group, as udev leaves an adapter, where that group exists.
        if (const group* dialout = ::getgrnam("dialout"); dialout && ::geteuid() == 0)
            QVERIFY(::chown(QFile::encodeName(device).constData(), 0, dialout->gr_gid) == 0);
        QVERIFY(::chmod(QFile::encodeName(device).constData(), ::geteuid() == 0 ? 0660 : 0) == 0);
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(device).constData(), &st) == 0);
        const QString owner = QString::fromLocal8Bit(::getgrgid(st.st_gid)->gr_name);
        const QString text = diagnoseAsUser(device);
        QVERIFY2(text.contains(device) && text.contains(owner + QStringLiteral(" 组"))
                     && text.contains(QStringLiteral("sudo usermod -aG %1 $USER").arg(owner))
                     && text.contains(QStringLiteral("注销并重新登录")),
                 qPrintable(text));
    } else {
        PtyPair car;
        QVERIFY(car.isValid());
        QVERIFY(QFile::link(car.slavePath(), device));
        QSerialPort other;
        other.setPortName(car.slavePath());
        QVERIFY(other.open(QIODevice::ReadWrite));
        // Through the link, as the console would meet an adapter another program has open.
        const OpenFailure seen = diagnoseOpenFailure(device, QStringLiteral("Permission denied"));
        QCOMPARE(int(seen.cause), int(OpenFailure::Cause::Busy));
        const QString text = explainOpenFailure(seen);
        QVERIFY2(text.contains(device) && text.contains(QStringLiteral("正被另一个程序占用")),
                 qPrintable(text));
        other.close();
        // Once it is let go, the device itself shows nothing wrong: the open's own words stay.
        QCOMPARE(int(diagnoseOpenFailure(device, QString()).cause),
                 int(OpenFailure::Cause::Other));
    }
}

QTEST_GUILESS_MAIN(TestPortMap)
#include "test_portmap.moc"
