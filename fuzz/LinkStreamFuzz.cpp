// Raw port bytes through the framer and the receiver into every command
// object. However the stream is split into reads, the framer must hand over
// the same sentences.

#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "CommandSet.h"
#include "devicelink/Nmea.h"
#include "devicelink/SentenceFramer.h"

namespace {

using Sentences = std::vector<std::vector<uint8_t>>;

Sentences Frame(std::span<const uint8_t> stream, size_t (*nextRead)(size_t offset, size_t left)) {
  mzt::SentenceFramer framer;
  Sentences out;
  // One sink for every read: byte by byte, making one per read cost more than the framing.
  const mzt::SentenceFramer::Sink sink = [&](std::span<const uint8_t> s) {
    out.emplace_back(s.begin(), s.end());
  };
  for (size_t offset = 0; offset < stream.size();) {
    size_t length = nextRead(offset, stream.size() - offset);
    framer.Feed(stream.subspan(offset, length), sink);
    offset += length;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  mzt::fuzz::CommandSet commands(data[0]);
  std::span<const uint8_t> stream(data + 1, size - 1);

  Sentences whole = Frame(stream, [](size_t, size_t left) { return left; });
  Sentences bytes = Frame(stream, [](size_t, size_t) { return size_t{1}; });
  // Uneven reads that cut "$LOG", the checksum and CR LF at varying places.
  Sentences uneven = Frame(stream, [](size_t offset, size_t left) {
    return std::min(left, (offset * 7 + 3) % 13 + 1);
  });
  if (whole != bytes || whole != uneven) std::abort();

  mzt::CNMEA receiver;
  for (mzt::CMZTCmd* command : commands.All) receiver.Attach(*command);
  for (const auto& sentence : whole) {
    if (sentence.size() > mzt::SentenceFramer::kMaxSentence + 2) std::abort();
    receiver.ProcessBlock(sentence);
  }
  // The receiver also takes a whole read at once.
  receiver.ProcessBlock(stream);
  return 0;
}
