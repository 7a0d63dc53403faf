#include "app/ending.h"

#include "common/endingsignals.h"
#include "console/form1.h"
#include "console/turnhold.h"

#include <QCoreApplication>
#include <QPointer>

namespace smartcar {

void endOnSignals(const EndingSignals& ending, Form1* window)
{
    QObject::connect(&ending, &EndingSignals::endRequested, &ending,
                     [window = QPointer<Form1>(window)] {
                         // Like the end button, which waits for a turn's centring frame.
                         whenNoTurnHolds(QCoreApplication::instance(), [window] {
                             if (window)
                                 window->cmdEnd_Click();
                             else
                                 QCoreApplication::exit(0);
                         });
                     });
}

} // namespace smartcar
