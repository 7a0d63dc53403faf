#pragma once

#include "console/errorreport.h"
#include "console/form1.h"
#include "serial/commport.h"
#include "support/checks.h"
#include "support/ptypair.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <functional>
#include <memory>

namespace smartcar {

// Records every message box the console shows instead of opening it, for as long as it lives.
class MessageRecorder
{
public:
    MessageRecorder()
        : m_previous(setMessageSink([this](const auto& m) { m_messages << m; }))
    {
    }
    ~MessageRecorder() { setMessageSink(std::move(m_previous)); }
    const QList<ShownMessage>& messages() const { return m_messages; }
    QStringList texts() const
    {
        QStringList out;
        for (const auto& m : m_messages)
            out << m.text;
        return out;
    }

private:
    QList<ShownMessage> m_messages;
    MessageSink m_previous;
};

// Real, shown boxes for as long as it lives, instead of the recording.
class RealBoxes
{
public:
    RealBoxes()
        : m_recording(setMessageSink({}))
    {
    }
    ~RealBoxes() { setMessageSink(std::move(m_recording)); }

private:
    MessageSink m_recording;
};

// The real main window with COM1 and COM2 mapped to pseudo-terminals (car1, car2) and COM5
// mapped to a device that does not exist. Devices are looked for in `devices` and other
// programs' locks in `locks`, empty directories of the test's own, so what is plugged into the
// machine cannot change a test; the window's clock reads `now`. Message boxes are recorded,
// never shown.
class ConsoleFixture
{
public:
    // `disk`: where recordings go, the file's own unless a test's disk stalls or fills up.
    explicit ConsoleFixture(const RecordingDisk& disk = {});
    ~ConsoleFixture();

    Form1* form() const { return m_form.data(); }
    bool alive() const { return !m_form.isNull(); }

    template <typename T>
    T* get(const char* name) const
    {
        T* w = m_form ? m_form->findChild<T*>(QString::fromLatin1(name)) : nullptr;
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    QPushButton* button(const char* name) const { return get<QPushButton>(name); }
    QLineEdit* edit(const char* name) const { return get<QLineEdit>(name); }
    QAction* action(const char* name) const { return get<QAction>(name); }
    QComboBox* ports() const { return get<QComboBox>("cmbCOM"); }
    QString status() const { return m_form->statusText(); }

    void click(const char* name) { button(name)->click(); }
    // As the operator picks entry `index` from the drop-down list.
    void pick(int index);
    // Picks the entry and opens it; returns whether the port is open afterwards.
    bool open(int index = 0);
    bool portOpen() const { return get<CommPort>("MSComm1")->portOpen(); }
    // Port `portNumber` stands for `device` from the next open on (as SMARTCAR_COM<n> makes it
    // at start): a device that came back under another name, or a lookup that finds another.
    void mapPort(int portNumber, const QString& device);

    PtyPair car1;
    PtyPair car2;
    MessageRecorder boxes;
    QTemporaryDir devices;
    QTemporaryDir locks;
    QDateTime now{QDate(2026, 12, 7), QTime(9, 5, 3, 42), QTimeZone(8 * 3600)};

private:
    friend void later(int, std::function<void()>);
    // Owns the steps later() queues; they go with the fixture, never run after it.
    std::unique_ptr<QObject> m_steps;
    ConsoleFixture* m_previous = nullptr;
    QPointer<Form1> m_form;
};

// Calls `step` from the event loop `delayMs` from now (for doing things inside a wait). A step
// queued while a fixture lives is dropped with the newest living fixture, so a step whose test
// ended early never runs in the next one.
void later(int delayMs, std::function<void()> step);

} // namespace smartcar
