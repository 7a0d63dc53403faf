// Driving the car: the frames each driving control sends.
#include "console/form1.h"

#include "car/frames.h"
#include "common/numbers.h"
#include "console/turnhold.h"
#include "serial/commport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>

namespace smartcar {

// Every built-in frame goes out in one write, so a speed frame is on the wire whole or not at
// all. When the car may still be waiting for a speed byte (a speed code sent alone, a frame the
// line took only part of), a filler goes first in the same write: the car then reads the frame
// as the command it is, a brake as a brake.
void Form1::writeCommand()
{
    SendBuf = MSComm1->carReads().asCommand(SendBuf);
    MSComm1->output(SendBuf);
}

void Form1::sendSpeedFrame(CarCode code)
{
    SendBuf = QByteArray(2, '\0');
    SendBuf[0] = codeByte(code);
    SendBuf[1] = char(speedByte(NewSpeed->text()));
    writeCommand();
}

void Form1::turn(CarCode turnCode, CarCode centreCode)
{
    // Read before anything is sent: a turn that cannot be timed must not leave the wheels
    // turned with no centring frame to follow.
    const qint32 time = turnTime(ChangeTime->text());
    // The turn's time counts from its frame, whatever the instrument does with the frame.
    const auto centreAt = std::chrono::steady_clock::now() + turnWait(time);

    SendBuf = QByteArray(1, codeByte(turnCode));
    writeCommand(); // returns once the frame is with the device
    TurnTime = time;
    // The car turns for as long as nothing else arrives, so the console holds still: no poll
    // tick and no other command until the centring frame is out. Only the brake goes at once.
    holdForTurn(centreAt, {Timer1});
    SendBuf = QByteArray(1, codeByte(centreCode));
    writeCommand();
}

void Form1::sendCode(CarCode code)
{
    SendBuf = QByteArray(1, codeByte(code));
    writeCommand();
}

// The operator's own driving ends a drive by the recording: the car is braked (a turn it had
// begun centred first), then the control does what it always does.
void Form1::Advanced_Click()
{
    stopReplayDrive(QStringLiteral("操作员接管"));
    sendSpeedFrame(CarCode::Advance);
}
void Form1::Retreat_Click()
{
    stopReplayDrive(QStringLiteral("操作员接管"));
    sendSpeedFrame(CarCode::Retreat);
}
void Form1::Start_Click()
{
    stopReplayDrive(QStringLiteral("操作员接管"));
    sendSpeedFrame(CarCode::HotStart);
}
void Form1::Stop_Click()
{
    stopReplayDrive(QStringLiteral("冷制动"), true);
    sendCode(CarCode::ColdBrake);
}
void Form1::Left_Click()
{
    stopReplayDrive(QStringLiteral("操作员接管"));
    turn(CarCode::TurnLeft, CarCode::CentreAfterLeft);
}
void Form1::Right_Click()
{
    stopReplayDrive(QStringLiteral("操作员接管"));
    turn(CarCode::TurnRight, CarCode::CentreAfterRight);
}

// The box has already changed when this runs; the frame tells the car the state it shows.
void Form1::Check1_Click()
{
    stopReplayDrive(QStringLiteral("操作员接管"));
    sendCode(Check1->isChecked() ? CarCode::RangingOn : CarCode::RangingOff);
}

// The raw byte goes out as typed, also right after a speed code sent alone: it is then the
// operator's own speed byte.
void Form1::Send_Click()
{
    stopReplayDrive(QStringLiteral("操作员接管"));
    SendBuf = QByteArray(1, '\0');
    SendBuf[0] = char(rawByte(command->text()));
    MSComm1->output(SendBuf);
    if (startsWithHexPrefix(command->text())) {
        setStatus(QStringLiteral("串口命令栏读取不带前缀的十六进制数，"
                                 "应输入“87”，而非“0x87”或“&H87”；刚才发送的是 %1")
                      .arg(hexText(SendBuf)));
    }
}

} // namespace smartcar
