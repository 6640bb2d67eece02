#include "platform/windows/WindowsSerialPort.h"

#include <algorithm>
#include <thread>

#include "common/TextFill.h"
#include "platform/SystemError.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace mzt {
namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kInputQueueBytes = 4096;
constexpr DWORD kOutputQueueBytes = 8192;
constexpr DWORD kReadTimeoutMs = 50;
constexpr DWORD kWriteTimeoutMs = 1000;

Error SystemFailure(ErrorCode code, const std::string& what, DWORD err) {
  return Error{code, what + ": " + SystemErrorText(static_cast<int>(err)), static_cast<int>(err)};
}

// "COM7" and "\\.\COM7" both name the port; the device namespace also
// reaches COM10 and above.
std::wstring DevicePath(const std::string& name) {
  std::wstring wide = Utf8ToWide(name);
  if (wide.rfind(L"\\\\.\\", 0) == 0) return wide;
  return L"\\\\.\\" + wide;
}

DWORD Milliseconds(std::chrono::milliseconds span) {
  return static_cast<DWORD>(std::clamp<long long>(span.count(), 1, 0x7FFFFFFF));
}

}  // namespace

std::unique_ptr<ISerialPort> CreateSerialPort() { return std::make_unique<WindowsSerialPort>(); }

std::string PortOpenAdvice(const Error& error) {
  if (error.code == ErrorCode::kBusy)
    return Tr("Close the program that holds the port (a terminal program or another copy of "
              "this one) and try again.");
  if (error.code == ErrorCode::kNotFound)
    return Tr("Check that the device is connected and that its driver is installed "
              "(Device Manager, Ports (COM & LPT)).");
  return {};
}

WindowsSerialPort::~WindowsSerialPort() { Close(); }

Result<void> WindowsSerialPort::Open(const std::string& name, int baudRate) {
  Close();
  // No sharing: a second opener gets ERROR_ACCESS_DENIED.
  HANDLE handle = ::CreateFileW(DevicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD err = ::GetLastError();
    if (err == ERROR_ACCESS_DENIED || err == ERROR_SHARING_VIOLATION)
      return PortInUse(name, static_cast<int>(err));
    bool missing = err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND;
    return SystemFailure(missing ? ErrorCode::kNotFound : ErrorCode::kIo, Fill(Tr("open {1}"), {name}), err);
  }
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(handle, &dcb)) {
    DWORD err = ::GetLastError();
    ::CloseHandle(handle);
    return SystemFailure(ErrorCode::kIo, Fill(Tr("{1} is not a serial port"), {name}), err);
  }
  dcb.BaudRate = static_cast<DWORD>(baudRate);
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = 1;
  dcb.fParity = 0;
  dcb.fOutxCtsFlow = 0;
  dcb.fOutxDsrFlow = 0;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  dcb.fDsrSensitivity = 0;
  dcb.fTXContinueOnXoff = 0;
  dcb.fOutX = 0;
  dcb.fInX = 0;
  dcb.fErrorChar = 0;
  dcb.fNull = 0;
  dcb.fAbortOnError = 0;
  // Some USB serial drivers take the block fully only on the second call.
  if (!::SetCommState(handle, &dcb) || !::SetCommState(handle, &dcb)) {
    DWORD err = ::GetLastError();
    ::CloseHandle(handle);
    return SystemFailure(ErrorCode::kIo, Fill(Tr("configuring {1}"), {name}), err);
  }
  ::SetupComm(handle, kInputQueueBytes, kOutputQueueBytes);
  {
    std::lock_guard lock(timeoutsMutex_);
    readTimeoutMs_ = 0;
    writeTimeoutMs_ = 0;
  }
  UseTimeouts(handle, kReadTimeoutMs, kWriteTimeoutMs);
  // Bytes left from an earlier connection never reach the receiver.
  ::PurgeComm(handle, PURGE_TXABORT | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_RXCLEAR);
  gone_ = false;
  handle_ = handle;
  return Success();
}

void WindowsSerialPort::Close() {
  HANDLE handle = handle_.exchange(INVALID_HANDLE_VALUE);
  if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
}

bool WindowsSerialPort::UseTimeouts(HANDLE handle, DWORD readMs, DWORD writeMs) {
  std::lock_guard lock(timeoutsMutex_);
  if (readMs == kKeep) readMs = readTimeoutMs_;
  if (writeMs == kKeep) writeMs = writeTimeoutMs_;
  if (readMs == readTimeoutMs_ && writeMs == writeTimeoutMs_) return true;
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = 0;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = readMs;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = writeMs;
  if (!::SetCommTimeouts(handle, &timeouts)) return false;
  readTimeoutMs_ = readMs;
  writeTimeoutMs_ = writeMs;
  return true;
}

Error WindowsSerialPort::Gone(const char* what, DWORD code) {
  gone_ = true;
  return Error{ErrorCode::kDisconnected,
               Fill(Tr("the device is gone ({1}: {2})"), {what, SystemErrorText(static_cast<int>(code))}),
               static_cast<int>(code)};
}

Result<void> WindowsSerialPort::Write(std::span<const uint8_t> bytes,
                                      std::chrono::milliseconds deadlineSpan) {
  HANDLE handle = handle_.load();
  if (handle == INVALID_HANDLE_VALUE) return Error{ErrorCode::kIo, Tr("the port is not open")};
  if (gone_) return Error{ErrorCode::kDisconnected, Tr("the device is gone")};
  const DWORD budget = Milliseconds(deadlineSpan);
  const auto deadline = Clock::now() + deadlineSpan;
  UseTimeouts(handle, kKeep, budget);

  Result<void> result = Success();
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 0x10000));
    DWORD written = 0;
    const auto started = Clock::now();
    if (!::WriteFile(handle, bytes.data() + done, chunk, &written, nullptr)) {
      DWORD err = ::GetLastError();
      COMSTAT status{};
      DWORD errors = 0;
      ::ClearCommError(handle, &errors, &status);
      result = SystemFailure(ErrorCode::kIo, Tr("writing to the port"), err);
      break;
    }
    if (written == chunk) {
      done += written;
      continue;
    }
    // A synchronous write returns short only when its time-out has run out
    // (the system's timer may fire a tick early, hence the half). One that
    // returns short well before that has not timed out: it took the whole
    // buffer and only miscounted it (Wine reports 0 for a tty).
    bool timedOut = Clock::now() - started >= std::chrono::milliseconds(budget / 2) ||
                    Clock::now() >= deadline;
    if (!timedOut) {
      done += chunk;
      continue;
    }
    result = Error{ErrorCode::kTimeout, Tr("writing to the port timed out")};
    break;
  }
  if (result) result = WaitUntilSent(handle, deadline);
  if (!result) ::PurgeComm(handle, PURGE_TXABORT | PURGE_TXCLEAR);
  return result;
}

Result<void> WindowsSerialPort::WaitUntilSent(HANDLE handle, Clock::time_point deadline) {
  // FlushFileBuffers cannot be bounded; watch the output queue instead.
  for (;;) {
    COMSTAT status{};
    DWORD errors = 0;
    if (!::ClearCommError(handle, &errors, &status)) return Gone(Tr("reading the port's state"), ::GetLastError());
    if (status.cbOutQue == 0) return Success();
    if (Clock::now() >= deadline) return Error{ErrorCode::kTimeout, Tr("the port did not send its output in time")};
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

Result<size_t> WindowsSerialPort::Read(std::span<uint8_t> buffer,
                                       std::chrono::milliseconds timeout) {
  HANDLE handle = handle_.load();
  if (handle == INVALID_HANDLE_VALUE) return Error{ErrorCode::kIo, Tr("the port is not open")};
  if (buffer.empty()) return size_t{0};
  COMSTAT status{};
  DWORD errors = 0;
  if (!::ClearCommError(handle, &errors, &status)) return Gone(Tr("reading the port's state"), ::GetLastError());
  DWORD got = 0;
  if (status.cbInQue == 0) {
    // Nothing queued: wait for the first byte within the read time-out,
    // which returns as soon as it comes.
    UseTimeouts(handle, Milliseconds(timeout), kKeep);
    if (!::ReadFile(handle, buffer.data(), 1, &got, nullptr)) return Gone(Tr("reading from the port"), ::GetLastError());
    if (got == 0) return size_t{0};
    if (!::ClearCommError(handle, &errors, &status)) return size_t{got};
  }
  // What has arrived is read at once: a request for more would wait out the
  // time-out for bytes that may never come.
  DWORD more = static_cast<DWORD>(std::min<size_t>(status.cbInQue, buffer.size() - got));
  if (more > 0) {
    DWORD extra = 0;
    if (!::ReadFile(handle, buffer.data() + got, more, &extra, nullptr)) {
      if (got == 0) return Gone(Tr("reading from the port"), ::GetLastError());
    } else {
      got += extra;
    }
  }
  return size_t{got};
}

}  // namespace mzt
