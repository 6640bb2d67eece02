#pragma once
// What a recording made with --anonymise leaves out: the device ID and the
// USB serial number are replaced by stand-ins of the same length, the same
// stand-in for the same value wherever it appears (sentences, addresses,
// port events), and the POIs' coordinates are zeroed. A sentence it changes
// gets its checksum made anew, so that the recording still replays.

#include <string>
#include <utility>
#include <vector>

namespace mzt {

class Anonymiser {
 public:
  // A reply from the device as it goes into the recording: the device-ID
  // reply teaches the ID, a POI reply loses its coordinates, every known
  // value is replaced.
  std::string Sentence(std::string bytes);
  // Any other text with every known value replaced.
  std::string Text(std::string text) const;
  // Teaches a value to replace (a serial number); empty is ignored.
  void Learn(const std::string& original);

 private:
  std::vector<std::pair<std::string, std::string>> standIns_;
};

}  // namespace mzt
