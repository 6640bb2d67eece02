#pragma once
// A serial port that tells a SessionRecorder everything that passes through
// it: the open (with the USB serial number of the port's device), the close,
// each write and read, and the moment the port went away.

#include <memory>

#include "platform/SerialPort.h"
#include "recording/SessionRecorder.h"

namespace mzt {

// Records while `slot` holds a recorder.
std::unique_ptr<ISerialPort> MakeRecordingSerialPort(std::unique_ptr<ISerialPort> port,
                                                     std::shared_ptr<RecorderSlot> slot);

}  // namespace mzt
