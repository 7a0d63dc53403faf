// The serial service on Windows' own COM ports: why an open fails, in the operator's words.
// scripts/windows-test runs it under Wine with COM1 on a simulated car; on a Windows PC without
// COM1 the rows that need it are skipped.
#include "serial/commport.h"
#include "support/checks.h"

#include <QSerialPort>
#include <QTest>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace smartcar {

namespace {
// Wine lends a COM port to every program that asks, where Windows refuses all but the first.
bool underWine()
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}
} // namespace

using namespace Qt::StringLiterals;

class TestComPort : public QObject
{
    Q_OBJECT
private slots:
    void openFailure_data()
    {
        QTest::addColumn<int>("portNumber");
        QTest::addColumn<bool>("heldElsewhere"); // another program has the port open
        QTest::addColumn<QString>("text");       // what the box says; empty: it opened
        QTest::newRow("noPortWithThatNumber")
            << 17 << false << u"未找到设备 COM17：请检查适配器是否已插好。"_s;
        QTest::newRow("heldByAnotherProgram")
            << 1 << true << u"设备 COM1 正被另一个程序占用。\n请先关闭那个程序，再打开端口。"_s;
        QTest::newRow("letGoAgain") << 1 << false << QString();
    }

    void openFailure()
    {
        QFETCH(int, portNumber);
        QFETCH(bool, heldElsewhere);
        QFETCH(QString, text);
        // The rows that need the port: it must be there, free, before the row takes it or lets
        // the service open it.
        QSerialPort other(u"COM%1"_s.arg(portNumber));
        if (heldElsewhere && underWine())
            QSKIP("Wine does not keep a COM port to the program that opened it");
        if (heldElsewhere || text.isEmpty()) {
            if (!other.open(QIODevice::ReadWrite))
                QSKIP("no such COM port here");
            if (!heldElsewhere)
                other.close();
        }
        CommPort port;
        port.setCommPort(portNumber);
        QCOMPARE(failureOf([&] { port.setPortOpen(true); }),
                 text.isEmpty() ? text : Failure::portFailure(text).describe());
        QCOMPARE(port.portOpen(), text.isEmpty());
    }
};

} // namespace smartcar

QTEST_GUILESS_MAIN(smartcar::TestComPort)
#include "test_comport.moc"
