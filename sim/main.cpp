// smartcar-sim: plays the car at the other end of the console's serial line.
#include "common/endingsignals.h"
#include "replay/recording.h"
#include "sim/line.h"
#include "sim/simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <optional>

namespace smartcar::sim {

namespace {

const char* const kModel = R"(Plays the car at the other end of the console's serial line.

Without --device it opens a raw pseudo-terminal and prints its device path on the first line
of standard output; point the console at it, e.g. SMARTCAR_COM1=<path> smartcar-console.
It keeps its own end of the terminal open, so the console may close and reopen the port.
Every further line is one frame received: time stamp, the bytes in hex, their meaning.

The car:
  advance / retreat / hot start  carry a speed byte whose two 4-bit digits are the tens and
      units of half the speed (0x60 is speed 120). A digit above 9 still counts with its
      value (0xFF is 15 tens and 15 units: speed 330); the line says so. The byte after a
      speed code is always its speed byte, even when it looks like a command code, since the
      console writes both bytes in one write. A speed code waits for its speed byte when the
      frame comes in pieces.
  wheel speed  in revolutions per minute: the commanded speed itself, capped at 255. After
      advance, hot start (both forward) or retreat (backward) the wheels move in a straight
      line from their present speed to the new one over one second; reversing passes
      through standstill. Cold brake stops them at once.
  steering  left and right turn the wheels, the two centring codes bring them back.
  ranging  on and off is remembered and logged; no obstacles are modelled, so it does not
      change the speed.
  readings  every period the wheel speed goes out as one byte (0 to 255, no direction).
      On a pseudo-terminal, readings the console leaves untaken pile up no further than 25;
      then they are dropped, as on a line nobody listens to.
Any other byte is logged as a raw byte and ignored.

With --replay FILE the readings come from a recording the console wrote (记录): the bytes of
its 接收 rows, each at its recorded offset from the first, instead of the model's; frames are
still logged as they come. With --loop the run starts again after its last reading. A run
an operator recorded can so be seen again through the console's own poll and trend, and a
fault met beside the car reproduced at the desk.

SIGINT, SIGTERM and SIGHUP end it cleanly; the link is removed on the way out.)";

[[noreturn]] void usageError(const QString& message)
{
    std::fprintf(stderr, "smartcar-sim: %s (see --help)\n", qPrintable(message));
    std::exit(2);
}

// What the command line asks for.
struct Options
{
    std::optional<QString> device; // nothing: a pseudo-terminal of its own
    QString link;                  // empty: no link
    int periodMs = 200;
    double durationS = 0; // 0: until stopped
    QString replay;       // a recording whose readings to send; empty: the model's
    bool loop = false;
};

// The options, or a usage error (exit status 2) for anything it cannot take.
Options parseOptions(const QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kModel));
    parser.addHelpOption();
    const QCommandLineOption linkOption(
        QStringLiteral("link"),
        QStringLiteral("Also make a symbolic link PATH to the device (a symbolic link already "
                       "there is replaced; removed at exit)."),
        QStringLiteral("PATH"));
    const QCommandLineOption deviceOption(
        QStringLiteral("device"),
        QStringLiteral("Open the existing serial device PATH at 9600 8N1 instead of a "
                       "pseudo-terminal."),
        QStringLiteral("PATH"));
    const QCommandLineOption periodOption(
        QStringLiteral("period"),
        QStringLiteral("Send a reading every MS milliseconds (default 200)."), QStringLiteral("MS"),
        QStringLiteral("200"));
    const QCommandLineOption durationOption(
        QStringLiteral("duration"),
        QStringLiteral("End after S seconds (fractions allowed; default: run until stopped)."),
        QStringLiteral("S"));
    const QCommandLineOption replayOption(
        QStringLiteral("replay"),
        QStringLiteral("Send the readings of the recording FILE at their recorded offsets "
                       "instead of the model's."),
        QStringLiteral("FILE"));
    const QCommandLineOption loopOption(QStringLiteral("loop"),
                                        QStringLiteral(
                                            "With --replay, start again after the end."));
    parser.addOptions(
        {linkOption, deviceOption, periodOption, durationOption, replayOption, loopOption});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        usageError(
            QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    Options options;
    if (parser.isSet(deviceOption))
        options.device = parser.value(deviceOption);
    options.link = parser.value(linkOption);
    bool ok = false;
    options.periodMs = parser.value(periodOption).toInt(&ok);
    if (!ok || options.periodMs < 1)
        usageError(QStringLiteral("--period wants a whole number of milliseconds from 1 up"));
    if (parser.isSet(durationOption)) {
        const double s = parser.value(durationOption).toDouble(&ok);
        if (!ok || !std::isfinite(s) || s <= 0 || s > 2e6)
            usageError(QStringLiteral("--duration wants a number of seconds above 0"));
        options.durationS = s;
    }
    options.replay = parser.value(replayOption);
    options.loop = parser.isSet(loopOption);
    if (options.loop && options.replay.isEmpty())
        usageError(QStringLiteral("--loop goes with --replay"));
    return options;
}

// The readings of the recording at `path`, or a usage error naming why there are none.
QList<Simulator::Reading> recordedReadings(const QString& path)
{
    const smartcar::Recording recording = smartcar::readRecordingFile(path);
    if (!recording.error.isEmpty())
        usageError(QStringLiteral("%1: %2").arg(path, recording.error));
    QList<Simulator::Reading> readings;
    for (const smartcar::RecordedRow& row : recording.rows) {
        if (row.problem.isEmpty() && !row.sent && !row.bytes.isEmpty())
            readings << Simulator::Reading{row.offsetMs, row.bytes};
    }
    if (readings.isEmpty())
        usageError(QStringLiteral("%1 holds no readings").arg(path));
    return readings;
}

} // namespace

} // namespace smartcar::sim

int main(int argc, char** argv)
{
    using namespace smartcar::sim;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("smartcar-sim"));
    const Options options = parseOptions(app);
    const QList<Simulator::Reading> recorded = options.replay.isEmpty()
        ? QList<Simulator::Reading>()
        : recordedReadings(options.replay);

    // The terminal it was started from closing (SIGHUP) is an ending like any other, not a
    // crash: the link is removed on the way out.
    const smartcar::EndingSignals endingSignals;
    QObject::connect(&endingSignals, &smartcar::EndingSignals::endRequested, &app,
                     &QCoreApplication::quit);
    // A log reader that goes away must not kill the car mid-run.
    std::signal(SIGPIPE, SIG_IGN);

    auto line = std::make_unique<Line>();
    QString error;
    const bool opened = options.device ? line->openDevice(*options.device, &error)
                                       : line->openPseudoTerminal(&error);
    if (!opened) {
        std::fprintf(stderr, "smartcar-sim: %s\n", qPrintable(error));
        return 1;
    }
    const QString device = line->devicePath();
    const QString& link = options.link;
    if (!link.isEmpty() && !makeLink(link, device, &error)) {
        std::fprintf(stderr, "smartcar-sim: %s\n", qPrintable(error));
        return 1;
    }
    printLine(device);
    const QString readings = recorded.isEmpty()
        ? QStringLiteral("a reading every %1 ms").arg(options.periodMs)
        : QStringLiteral("%1 recorded readings from %2%3")
              .arg(recorded.size())
              .arg(options.replay, options.loop ? QStringLiteral(", looped") : QString());
    std::fprintf(stderr, "smartcar-sim: car on %s%s, %s\n", qPrintable(device),
                 link.isEmpty() ? "" : qPrintable(QStringLiteral(" (link %1)").arg(link)),
                 qPrintable(readings));

    int exitCode = 0;
    Simulator car(std::move(line), std::chrono::milliseconds(options.periodMs));
    QObject::connect(&car, &Simulator::lineGone, &app, [&](const QString& why) {
        std::fprintf(stderr, "smartcar-sim: %s\n", qPrintable(why));
        exitCode = 1;
        QCoreApplication::quit();
    });
    if (!recorded.isEmpty())
        car.playBack(recorded, options.loop);

    if (options.durationS > 0)
        QTimer::singleShot(std::chrono::milliseconds(std::llround(options.durationS * 1000)),
                           Qt::PreciseTimer, &app, &QCoreApplication::quit); // never early

    QCoreApplication::exec();

    car.finish();
    if (!link.isEmpty())
        removeLink(link, device);
    return exitCode;
}
