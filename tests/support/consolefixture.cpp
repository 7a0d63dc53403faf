#include "support/consolefixture.h"

#include "serial/commport.h"
#include "serial/portmap.h"

#include <QTimer>

namespace smartcar {

namespace {
ConsoleFixture* newestFixture = nullptr;
} // namespace

ConsoleFixture::ConsoleFixture()
    : m_steps(std::make_unique<QObject>())
    , m_previous(newestFixture)
{
    newestFixture = this;
    m_previousDevices = deviceDirectory();
    setDeviceDirectory(devices.path());
    m_form = new Form1;
    m_form->show();
}

ConsoleFixture::~ConsoleFixture()
{
    newestFixture = m_previous;
    m_steps.reset();
    delete m_form.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    setDeviceDirectory(m_previousDevices);
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
    return get<CommPort>("MSComm1")->portOpen();
}

void later(int delayMs, std::function<void()> step)
{
    QObject* owner = newestFixture ? newestFixture->m_steps.get() : qApp;
    QTimer::singleShot(delayMs, owner, std::move(step));
}

} // namespace smartcar
