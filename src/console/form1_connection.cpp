// Start-up, port selection and connection, and ending. The steps' decisions are Connection's;
// these handlers read the controls and show what it decided.
#include "console/form1.h"

#include "console/errorreport.h"
#include "console/widgets/portbox.h"
#include "console/windows/replaywindow.h"
#include "serial/commport.h"
#include "serial/connection.h"
#include "serial/portmap.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPushButton>
#include <QTimer>

#include <chrono>

namespace smartcar {

namespace {
constexpr std::chrono::milliseconds kPortChangeWait{100};
} // namespace

void Form1::Form_Load()
{
    fillPortList();
}

void Form1::Int_Click()
{
    showConnection(m_connection->initialise());
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
    if (!m_connection->changes(cmbCOM->currentIndex()))
        return;
    Timer1->stop();
    stopReplayDrive(QStringLiteral("端口已关闭")); // braked while the port is still open
    m_connection->changeBegins();
    if (!waitPaced(int(kPortChangeWait.count())))
        return;
    showConnection(m_connection->changeEnds());
}

void Form1::cmdOpenCOM_Click()
{
    showConnection(m_connection->open(cmbCOM->currentIndex()));
}

void Form1::showConnection(const Connection::Shows& shows)
{
    using Poll = Connection::Shows::Poll;
    if (shows.poll == Poll::Stop && Timer1->isActive()) {
        Timer1->stop();
        cmdStart->setText(QStringLiteral("开始检测"));
    } else if (shows.poll == Poll::Resume) {
        startPoll();
        cmdStart->setText(QStringLiteral("停止检测"));
    }
    // 开始检测 first: the keyboard's focus leaves a button that goes off for the next one on,
    // which after opening is 开始检测.
    if (shows.startEnabled)
        cmdStart->setEnabled(*shows.startEnabled);
    if (shows.openEnabled)
        cmdOpenCOM->setEnabled(*shows.openEnabled);
    if (shows.status)
        setStatus(*shows.status);
    if (m_replayWindow)
        m_replayWindow->setPortOpen(MSComm1->portOpen());
    if (!shows.error.isEmpty())
        showMessage(this, QMessageBox::Critical, systemMessageTitle(), shows.error,
                    shows.errorDetail);
}

void Form1::onPortDisconnected(const QString&)
{
    if (m_released)
        return;
    // Whatever is on lblValue now, or is shown by a tick that read it before this, is no longer
    // the car's speed.
    m_poll.unplugged();
    showReadingStale(true);
    stopReplayDrive(QStringLiteral("通信端口已断开"));
    showConnection(m_connection->unplugged(Timer1->isActive()));
}

void Form1::onReconnected(const QString& device)
{
    if (m_released)
        return;
    m_poll.forgetFailure(); // ticks started while waiting failed on the closed port
    showConnection(m_connection->reconnected(device, Timer1->isActive()));
}

void Form1::onStillWaiting(const QString& cause)
{
    if (m_released)
        return;
    showConnection(m_connection->stillWaiting(cause));
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
    stopReplayDrive(QStringLiteral("控制台结束"));
    m_released = true;
    Timer1->stop();
    // The port service goes with the window; close its device now rather than at deletion,
    // which waits for any handler still on the stack.
    m_connection->close();
    if (m_handlerDepth == 0 && !m_deleteScheduled) {
        m_deleteScheduled = true;
        deleteLater();
    }
}

void Form1::cmdEnd_Click()
{
    stopReplayDrive(QStringLiteral("控制台结束"));
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
