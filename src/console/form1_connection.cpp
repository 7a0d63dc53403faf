// Start-up, port selection and connection, and ending.
#include "console/form1.h"

#include "console/errorreport.h"
#include "console/widgets/portbox.h"
#include "serial/commport.h"
#include "serial/portmap.h"
#include "serial/reconnect.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPushButton>
#include <QTimer>

#include <chrono>

namespace smartcar {

namespace {
constexpr std::chrono::milliseconds kPortChangeWait{100};

QString goneText()
{
    return QStringLiteral("通信端口已断开，请检查无线适配器");
}

QString waitingText()
{
    return QStringLiteral("通信端口已断开，等待适配器重新插入…（选择其他端口可取消）");
}
} // namespace

void Form1::Form_Load()
{
    fillPortList();
}

void Form1::Int_Click()
{
    // Initialising gives a vanished adapter up, also when its entry is the first one and the
    // change step that follows has nothing to close.
    if (m_reconnect->isWaiting()) {
        m_reconnect->cancel();
        setStatus(goneText());
    }
    fillPortList();
}

void Form1::fillPortList()
{
    cmbCOM->setPorts(portListTexts());
    selectPortEntry(0);
    if (m_released)
        return;
    cmdStart->setEnabled(false);
}

void Form1::selectPortEntry(int index)
{
    cmbCOM->setCurrentIndex(index);
    cmbCOM_Click();
}

void Form1::cmbCOM_Click()
{
    const int index = cmbCOM->currentIndex();
    if (index + 1 == MSComm1->commPort())
        return;
    Timer1->stop();
    m_reconnect->cancel();
    if (!waitPaced(int(kPortChangeWait.count())))
        return;
    // The device may have vanished during the wait and been given up for lost meanwhile; the
    // operator has chosen another port, so it is not looked for.
    m_reconnect->cancel();
    if (MSComm1->portOpen())
        MSComm1->setPortOpen(false);
    setStatus(QStringLiteral("已停止通信并关闭通讯端口"));
    cmdOpenCOM->setEnabled(true);
}

void Form1::cmdOpenCOM_Click()
{
    const int index = cmbCOM->currentIndex();
    if (!isOpenableIndex(index)) {
        showMessage(this, QMessageBox::Critical, systemMessageTitle(),
                    QStringLiteral("指定通信端口时发生错误！"));
        return;
    }
    MSComm1->setCommPort(index + 1);
    try {
        MSComm1->setSettings(CommPort::kLineSettings);
        MSComm1->setPortOpen(true);
        m_reconnect->rememberOpened();
        cmdOpenCOM->setEnabled(false);
        cmdStart->setEnabled(true);
        setStatus(QStringLiteral("单击【开始通信】按钮，执行通信"));
    } catch (const Failure& failure) {
        // The detail names the device and why it would not open.
        showMessage(this, QMessageBox::Critical, systemMessageTitle(),
                    QStringLiteral("打开通信端口时发生错误！请确定通信端口存在且正常。"),
                    failure.detail());
    }
}

void Form1::onPortDisconnected(const QString&)
{
    if (m_released)
        return;
    // Whatever is on lblValue now, or is shown by a tick that read it before this, is no longer
    // the car's speed.
    m_poll.unplugged();
    showReadingStale(true);
    // The poll would only fail on the closed port from now on; stop it so the message stays,
    // and let the button offer to start it again.
    m_resumeMonitoring = Timer1->isActive();
    if (Timer1->isActive()) {
        Timer1->stop();
        cmdStart->setText(QStringLiteral("开始检测"));
    }
    setStatus(m_reconnect->startWaiting() ? waitingText() : goneText());
    cmdOpenCOM->setEnabled(true);
}

void Form1::onReconnected(const QString& device)
{
    if (m_released)
        return;
    // The port is open as after 打开端口. Nothing is sent: what the car is told next is the
    // operator's decision.
    cmdOpenCOM->setEnabled(false);
    cmdStart->setEnabled(true);
    m_poll.forgetFailure(); // ticks started while waiting failed on the closed port
    if (m_resumeMonitoring && !Timer1->isActive()) {
        startPoll();
        cmdStart->setText(QStringLiteral("停止检测"));
    }
    m_resumeMonitoring = false;
    setStatus(QStringLiteral("已重新连接 ") + device);
}

void Form1::onStillWaiting(const QString& cause)
{
    if (m_released)
        return;
    // One line fits the panel; the cause's first line names the device and what is wrong.
    setStatus(QStringLiteral("重新连接失败：%1（仍在等待，选择其他端口可取消）")
                  .arg(cause.section(QLatin1Char('\n'), 0, 0)));
}

void Form1::Exit_Click()
{
    close();
}

void Form1::closeEvent(QCloseEvent* event)
{
    release();
    event->accept();
}

void Form1::release()
{
    if (m_released)
        return;
    m_released = true;
    Timer1->stop();
    m_reconnect->cancel();
    // The port service goes with the window; close its device now rather than at deletion,
    // which waits for any handler still on the stack.
    MSComm1->setPortOpen(false);
    if (m_handlerDepth == 0 && !m_deleteScheduled) {
        m_deleteScheduled = true;
        deleteLater();
    }
}

void Form1::cmdEnd_Click()
{
    MSComm1->setPortOpen(false);
    endProgram();
}

void Form1::endProgram()
{
    // End at once: no window handles another event. Hiding (not closing) keeps every close
    // handler from running; the windows are destroyed when main() returns.
    m_deleteScheduled = true;
    release();
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (!w->parentWidget())
            w->hide();
    }
    QCoreApplication::exit(0);
}

} // namespace smartcar
