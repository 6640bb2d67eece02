#pragma once

#include <cstdint>
#include <span>

namespace mzt {

// A receiver of the byte blocks that the framer hands over.
class CProtocol {
 public:
  virtual ~CProtocol() = default;
  virtual int ProcessBlock(std::span<const uint8_t> block) = 0;
};

}  // namespace mzt
