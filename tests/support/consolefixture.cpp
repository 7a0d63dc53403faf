#include "support/consolefixture.h"

#include <QTimer>

namespace smartcar {

namespace {
ConsoleFixture* newestFixture = nullptr;
} // namespace

ConsoleFixture::ConsoleFixture(const RecordingDisk& disk)
    : m_steps(std::make_unique<QObject>())
    , m_previous(newestFixture)
{
    newestFixture = this;
    Surroundings own;
    own.ports = PortMap(devices.path(),
                        {{1, car1.slavePath()},
                         {2, car2.slavePath()},
                         {5, QStringLiteral("/nonexistent/smartcar-test-device")}});
    own.lockDirectories = {locks.path()};
    own.now = [this] { return now; };
    own.recordingDisk = disk;
    m_form = new Form1(own);
    m_form->show();
}

ConsoleFixture::~ConsoleFixture()
{
    newestFixture = m_previous;
    m_steps.reset();
    delete m_form.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void ConsoleFixture::pick(int index)
{
    QComboBox* box = ports();
    box->setCurrentIndex(index);
    emit box->activated(index);
}

bool ConsoleFixture::open(int index)
{
    if (ports()->currentIndex() != index)
        pick(index);
    click("cmdOpenCOM");
    return portOpen();
}

void ConsoleFixture::mapPort(int portNumber, const QString& device)
{
    auto* port = get<CommPort>("MSComm1");
    PortMap ports = port->portMap();
    ports.setOverride(portNumber, device);
    port->setPortMap(ports);
}

void later(int delayMs, std::function<void()> step)
{
    QObject* owner = newestFixture ? newestFixture->m_steps.get() : qApp;
    QTimer::singleShot(delayMs, owner, std::move(step));
}

} // namespace smartcar
