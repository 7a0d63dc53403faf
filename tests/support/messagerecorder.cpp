#include "support/messagerecorder.h"

MessageRecorder::MessageRecorder()
{
    m_previous = smartcar::setMessageSink(
        [this](const smartcar::ShownMessage& m) { m_messages << m; });
}

MessageRecorder::~MessageRecorder()
{
    smartcar::setMessageSink(std::move(m_previous));
}

QStringList MessageRecorder::texts() const
{
    QStringList out;
    for (const auto& m : m_messages)
        out << m.text;
    return out;
}
