#pragma once

#include "console/errorreport.h"

#include <QList>

// Records every message box the console shows instead of opening it, for as long as it lives.
class MessageRecorder
{
public:
    MessageRecorder();
    ~MessageRecorder();

    const QList<smartcar::ShownMessage>& messages() const { return m_messages; }
    QStringList texts() const;
    void clear() { m_messages.clear(); }

private:
    QList<smartcar::ShownMessage> m_messages;
    smartcar::MessageSink m_previous;
};
