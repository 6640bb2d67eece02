#pragma once
// The simulated device's firmware without a port: bytes in, written bytes out.

#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "devicelink/Checksum.h"
#include "devsim/DeviceFirmware.h"

namespace mzt::test {

using devsim::DeviceFirmware;
using devsim::FileStore;
using devsim::GeneratePois;
using devsim::Reaction;
using devsim::Sentence;

}  // namespace mzt::test

namespace mzt::test {

inline std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// A command as the program composes it.
inline std::string Command(std::string body) {
  AppendChecksum(body);
  return body;
}

inline std::string Frame(const std::string& data) {
  return data + static_cast<char>(XorBytes(Bytes(data)));
}

// 0xFF00 as the split writes it: "%CDB", then year, month, day and number
// big-endian, then the rest of the 44 bytes.
inline std::string DatabaseHeader(int year, int month, int day, int number) {
  std::string header = "%CDB";
  header += static_cast<char>(year >> 8);
  header += static_cast<char>(year & 0xFF);
  header += static_cast<char>(month);
  header += static_cast<char>(day);
  header += static_cast<char>(number >> 8);
  header += static_cast<char>(number & 0xFF);
  header.resize(44, '\x11');
  return header;
}

inline DeviceFirmware::Settings Defaults(std::string firmware = "1.4.0.7") {
  DeviceFirmware::Settings settings;
  settings.firmware = std::move(firmware);
  settings.pois = GeneratePois(2);
  return settings;
}

// Sends a file as the program does: start, a header for the whole chunks and
// those frames, a header for the shorter rest and its frame, end; a frame
// answered with status 2 goes again. `exchange` writes bytes and answers the
// device's reply.
inline void SendFileTheProgramsWay(const std::function<std::string(const std::string&)>& exchange,
                                   uint16_t id, const std::string& data, size_t chunk) {
  std::string ids = std::to_string(id);
  ASSERT_EQ(exchange(Command("$PQEL999,0," + ids + ",1,0,0")), Sentence("$LOG999,1," + ids + ",1,1"));
  size_t offset = 0;
  auto group = [&](size_t length, size_t count) {
    std::string lengths = std::to_string(length);
    ASSERT_EQ(exchange(Command("$PQEL999,1," + ids + "," + lengths + "," + std::to_string(count))),
              Sentence("$LOG999,1," + ids + "," + lengths + ",1"));
    for (size_t i = 0; i < count; ++i, offset += length) {
      std::string frame = Frame(data.substr(offset, length));
      std::string reply = exchange(frame);
      if (reply == Sentence("$LOG999,2")) reply = exchange(frame);
      ASSERT_EQ(reply, Sentence("$LOG999,1," + std::to_string(offset + length)));
    }
  };
  if (data.size() >= chunk) group(chunk, data.size() / chunk);
  if (offset < data.size()) group(data.size() - offset, 1);
  ASSERT_EQ(exchange(Command("$PQEL999,2," + ids + ",1,0,0")), Sentence("$LOG999,1," + ids + ",1,1"));
}

// The device without its port: bytes in, written bytes out.
class Device {
 public:
  explicit Device(DeviceFirmware::Settings settings = Defaults(), FileStore store = FileStore())
      : firmware_(std::move(settings), std::move(store)) {}

  std::string Send(std::string_view stream) {
    reactions_.clear();
    std::string written;
    auto bytes = Bytes(stream);
    while (!bytes.empty()) {
      auto outcome = firmware_.Feed(bytes);
      EXPECT_GT(outcome.consumed, 0u);
      bytes = bytes.subspan(outcome.consumed);
      for (Reaction& reaction : outcome.reactions) {
        written += reaction.before + reaction.reply;
        reactions_.push_back(std::move(reaction));
      }
    }
    return written;
  }

  // Sends a whole file the way the program does, with chunk size `chunk`.
  void SendFile(uint16_t id, const std::string& data, size_t chunk) {
    SendFileTheProgramsWay([this](const std::string& bytes) { return Send(bytes); }, id, data, chunk);
  }

  DeviceFirmware& Firmware() { return firmware_; }
  const std::vector<Reaction>& Reactions() const { return reactions_; }

 private:
  DeviceFirmware firmware_;
  std::vector<Reaction> reactions_;
};

}  // namespace mzt::test
