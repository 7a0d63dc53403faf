// Driving the car: the frames each driving control sends.
#include "console/form1.h"

#include "car/frames.h"
#include "serial/commport.h"

#include <QCheckBox>
#include <QLineEdit>

#include <thread>

namespace smartcar {

// Every frame goes out in one write, so a speed frame is on the wire whole or not at all.
void Form1::sendSpeedFrame(CarCode code)
{
    SendBuf = QByteArray(2, '\0');
    SendBuf[0] = codeByte(code);
    SendBuf[1] = char(speedByte(NewSpeed->text()));
    MSComm1->output(SendBuf);
}

void Form1::turn(CarCode turnCode, CarCode centreCode)
{
    // Read before anything is sent: a turn that cannot be timed must not leave the wheels
    // turned with no centring frame to follow.
    const qint32 time = turnTime(ChangeTime->text());

    SendBuf = QByteArray(1, codeByte(turnCode));
    MSComm1->output(SendBuf); // returns once the frame is with the device
    TurnTime = time;
    // The car turns for as long as nothing else arrives, so the console holds still: no
    // window events, no poll tick, no other frame until the centring frame is out.
    std::this_thread::sleep_for(turnWait(TurnTime));
    SendBuf[0] = codeByte(centreCode);
    MSComm1->output(SendBuf);
}

void Form1::sendCode(CarCode code)
{
    SendBuf = QByteArray(1, codeByte(code));
    MSComm1->output(SendBuf);
}

void Form1::Advanced_Click()
{
    sendSpeedFrame(CarCode::Advance);
}
void Form1::Retreat_Click()
{
    sendSpeedFrame(CarCode::Retreat);
}
void Form1::Start_Click()
{
    sendSpeedFrame(CarCode::HotStart);
}
void Form1::Stop_Click()
{
    sendCode(CarCode::ColdBrake);
}
void Form1::Left_Click()
{
    turn(CarCode::TurnLeft, CarCode::CentreAfterLeft);
}
void Form1::Right_Click()
{
    turn(CarCode::TurnRight, CarCode::CentreAfterRight);
}

// The box has already changed when this runs; the frame tells the car the state it shows.
void Form1::Check1_Click()
{
    sendCode(Check1->isChecked() ? CarCode::RangingOn : CarCode::RangingOff);
}

void Form1::Send_Click()
{
    SendBuf = QByteArray(1, '\0');
    SendBuf[0] = char(rawByte(command->text()));
    MSComm1->output(SendBuf);
}

} // namespace smartcar
