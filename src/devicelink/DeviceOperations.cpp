// The device operations of CDevicePort: attempts, pauses and plain results.

#include "devicelink/DevicePort.h"

namespace mzt {

bool CDevicePort::SendAndWait(CMZTCmd& command) {
  return command.ReplyEvent().Wait(Duration(command.ReplyTimeout()));
}

bool CDevicePort::Attempt(CMZTCmd& command) {
  command.ReplyEvent().Reset();
  if (!WriteBytes(command.Sentence())) return false;
  return SendAndWait(command);
}

bool CDevicePort::RunAttempts(CMZTCmd& command, int attempts) {
  for (int i = 0; i < attempts; ++i) {
    if (Attempt(command)) return true;
  }
  return false;
}

bool CDevicePort::QueryDeviceInfo(int selector) {
  if (!cmd108_.SetSelector(selector)) return false;
  return RunAttempts(cmd108_, 2);
}

bool CDevicePort::ReadPoiRecord(int index) {
  cmd114_.SetIndex(index);
  return RunAttempts(cmd114_, 1);
}

void CDevicePort::CopyPoiRecord(CameraRecord& destination) const {
  destination = cmd114_.Record();
}

bool CDevicePort::ClearPois() {
  cmd109_.Build();
  return RunAttempts(cmd109_, 2);
}

int CDevicePort::QueryUploadMode() {
  cmd113_.SetArgument(0);
  return RunAttempts(cmd113_, 2) ? cmd113_.Value() : 0;
}

bool CDevicePort::EnterUploadMode() {
  cmd113_.SetArgument(1);
  for (int i = 0; i < 2; ++i) {
    if (Attempt(cmd113_)) return true;
    Pause(Delay::kEnterUploadRetry);
  }
  return false;
}

bool CDevicePort::QueryFileEntry(int index, int& fileIdentifier, int& location) {
  if (!cmd995_.SetIndex(index)) return false;
  if (!RunAttempts(cmd995_, 1)) return false;
  fileIdentifier = cmd995_.FileIdentifier();
  location = cmd995_.LocationValue();
  return true;
}

bool CDevicePort::DeleteDeviceFile(int expectedIdentifier, int location) {
  if (stopRequested_) return false;
  cmd996_.SetExpectedIdentifier(expectedIdentifier);
  cmd996_.SetLocation(location);
  return RunAttempts(cmd996_, 2);
}

int CDevicePort::GetDatabaseVersion(uint16_t& year, uint8_t& month, uint8_t& day) const {
  DeviceDatabaseVersion version = cmd108_.DatabaseVersion();
  year = version.year;
  month = version.month;
  day = version.day;
  return version.number;
}

}  // namespace mzt
