#include "devicelink/Cmd108.h"

#include <string>

#include "devicelink/ReplyFields.h"

namespace mzt {
namespace {

std::string Cut(std::string text, size_t length) {
  if (text.size() > length) text.resize(length);
  return text;
}

}  // namespace

bool Cmd108::SetSelector(int selector) {
  if (selector < 0 || selector > kRegion) return false;
  selector_ = selector;
  Build();
  return true;
}

void Cmd108::Build() { ComposeText("$PQEL108," + std::to_string(selector_) + ","); }

bool Cmd108::ParseReply(std::span<const uint8_t> sentence) {
  ReplyFields fields(sentence, kLongField);
  if (fields.Status() != 1) return false;
  int selector = static_cast<int>(fields.Decimal());
  // A late reply to another query must not end this one's wait.
  if (selector != selector_) return false;
  switch (selector) {
    case kFirmwareVersion: {
      std::string text = Cut(fields.Text(), kMaxText);
      std::lock_guard lock(mutex_);
      version_ = std::move(text);
      break;
    }
    case kDeviceId: {
      std::string text = Cut(fields.Text(), kMaxText);
      std::lock_guard lock(mutex_);
      deviceId_ = std::move(text);
      break;
    }
    case kPoiCount:
      if (!DecodeParameters(fields)) return false;
      break;
    case kDatabaseVersion:
      DecodeDatabaseVersion(fields);
      break;
    case kRegion: {
      std::string field = fields.Text();
      // The device sends the two characters reversed: "WT" is "TW".
      std::string region = field.size() >= 2 ? std::string{field[1], field[0]} : std::string();
      std::lock_guard lock(mutex_);
      region_ = std::move(region);
      break;
    }
    default:
      return false;
  }
  ReplyEvent().Set();
  return true;
}

bool Cmd108::DecodeParameters(ReplyFields& fields) {
  // Normal form: the alarm group (fields 4 to 7). Exact form: field 4 only.
  int skipped = exact_ ? 1 : 4;
  for (int i = 0; i < skipped; ++i) fields.Text();
  // Function type, speed offset, UTC offset, AM mode, AM limit, camera limit:
  // read and not kept.
  for (int i = 0; i < 6; ++i) fields.Text();
  long long count = fields.Decimal();
  if (count > kMaxPoiCount || count < 0) return false;  // 100 or more is not signalled
  std::lock_guard lock(mutex_);
  poiCount_ = static_cast<int>(count);
  return true;
}

void Cmd108::DecodeDatabaseVersion(ReplyFields& fields) {
  DeviceDatabaseVersion version;
  version.number = static_cast<int32_t>(fields.Decimal());
  std::string_view sentence = fields.Sentence();
  size_t datePosition = fields.Position();
  if (exact_) {
    // Four raw bytes, which may hold 0, ',' , '*' or 13: taken by position
    // when the sentence holds them and the checksum suffix after them.
    std::string raw;
    if (datePosition + 4 + 3 <= sentence.size()) {
      raw = std::string(sentence.substr(datePosition, 4));
    } else {
      raw = fields.Text();
    }
    raw.resize(4, '\0');
    auto byte = [&](size_t i) { return static_cast<uint8_t>(raw[i]); };
    version.year = static_cast<uint16_t>(byte(0) << 8 | byte(1));
    version.month = byte(2);
    version.day = byte(3);
  } else {
    std::string date = fields.Text();
    std::string_view digits(date);
    version.year = static_cast<uint16_t>(ParseHex(digits.substr(0, 4)));
    version.month = static_cast<uint8_t>(ParseHex(digits.substr(std::min<size_t>(4, digits.size()), 2)));
    version.day = static_cast<uint8_t>(ParseHex(digits.substr(std::min<size_t>(6, digits.size()), 2)));
  }
  std::lock_guard lock(mutex_);
  database_ = version;
}

std::string Cmd108::VersionText() const {
  std::lock_guard lock(mutex_);
  return version_;
}

std::string Cmd108::DeviceIdText() const {
  std::lock_guard lock(mutex_);
  return deviceId_;
}

std::string Cmd108::RegionCode() const {
  std::lock_guard lock(mutex_);
  return region_;
}

int Cmd108::PoiCount() const {
  std::lock_guard lock(mutex_);
  return poiCount_;
}

DeviceDatabaseVersion Cmd108::DatabaseVersion() const {
  std::lock_guard lock(mutex_);
  return database_;
}

}  // namespace mzt
