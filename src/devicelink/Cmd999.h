#pragma once
// File transfer: start (mode 0), chunk header (mode 1), end (mode 2) and the
// raw data frames between headers.

#include <atomic>
#include <cstdint>
#include <span>

#include "devicelink/MztCmd.h"

namespace mzt {

class Cmd999 : public CMZTCmd {
 public:
  static constexpr size_t kMaxData = 16384;
  enum Mode { kStart = 0, kData = 1, kEnd = 2 };

  Cmd999() : CMZTCmd(999) {}

  // Composes a start, header or end sentence. Refuses a data length above
  // the maximum payload (or above 16384), and data shorter than its length.
  bool SetHeader(int mode, int fileIdentifier, int dataLength, std::span<const uint8_t> data,
                 int chunkCount);
  // Composes a data frame: the header's data length of bytes, then their XOR.
  bool SetDataFrame(std::span<const uint8_t> data);
  void Build() override;
  bool ParseReply(std::span<const uint8_t> sentence) override;
  Delay ReplyTimeout() const override;

  void SetMaximumPayload(int bytes) { maximumPayload_ = bytes; }
  void ClearDataFrameFlag();
  // Called just before the composed data frame goes out: from now on one
  // answer is awaited, a status 1 only with `bytesSoFar` (the file's bytes
  // sent so far, this frame included). Clears the reply event.
  void AwaitAcknowledgement(uint32_t bytesSoFar);
  bool ResendRequested() const { return resend_; }
  uint32_t AcknowledgedByteCount() const { return acknowledgedBytes_; }
  int ReplyStatus() const { return replyStatus_; }

 private:
  std::atomic<int> mode_{0};
  std::atomic<int> fileIdentifier_{-1};
  std::atomic<int> dataLength_{0};
  std::atomic<int> chunkCount_{0};
  std::atomic<int> maximumPayload_{0};
  uint8_t data_[kMaxData] = {};
  std::atomic<bool> dataFrame_{false};
  // A data frame went out and has had no answer yet.
  std::atomic<bool> frameOutstanding_{false};
  std::atomic<uint32_t> expectedBytes_{0};
  std::atomic<bool> resend_{false};
  std::atomic<uint32_t> acknowledgedBytes_{0};
  std::atomic<int> replyStatus_{0};
};

}  // namespace mzt
