#include "support/consolefixture.h"

#include "serial/commport.h"
#include "serial/portmap.h"

#include <QTimer>

namespace {
ConsoleFixture* newestFixture = nullptr;
} // namespace

ConsoleFixture::ConsoleFixture()
    : m_steps(std::make_unique<QObject>())
    , m_previous(newestFixture)
{
    newestFixture = this;
    m_previousDevices = smartcar::deviceDirectory();
    smartcar::setDeviceDirectory(devices.path());
    m_form = new smartcar::Form1;
    m_form->show();
}

ConsoleFixture::~ConsoleFixture()
{
    newestFixture = m_previous;
    m_steps.reset();
    delete m_form.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    smartcar::setDeviceDirectory(m_previousDevices);
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

bool ConsoleFixture::portOpen() const
{
    return get<smartcar::CommPort>("MSComm1")->portOpen();
}

void later(int delayMs, std::function<void()> step)
{
    QObject* owner = newestFixture ? newestFixture->m_steps.get() : qApp;
    QTimer::singleShot(delayMs, owner, std::move(step));
}
