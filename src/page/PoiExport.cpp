#include "page/PoiExport.h"

#include <chrono>
#include <cstdint>
#include <system_error>

#include "page/PageTexts.h"
#include "platform/FileSystem.h"
#include "platform/SystemError.h"
#include "platform/TextCodec.h"

namespace mzt {

UtcTime CurrentUtcTime() {
  using namespace std::chrono;
  auto now = floor<seconds>(system_clock::now());
  auto day = floor<days>(now);
  year_month_day date{day};
  hh_mm_ss time{now - day};
  return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
          static_cast<int>(static_cast<unsigned>(date.day())), static_cast<int>(time.hours().count()),
          static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count())};
}

const std::string& PoiCsvHeader() {
  static const std::string header = WideToAnsi(strings::kPoiCsvHeader);
  return header;
}

namespace {

// Truncation towards zero; a value no int holds prints as 0 instead of
// being undefined.
int TruncatedSpeed(float speed) {
  return (speed > -2147483648.0f && speed < 2147483648.0f) ? static_cast<int>(speed) : 0;
}

}  // namespace

std::string FormatPoiLine(const CameraRecord& r, const UtcTime& t) {
  const char* format =
      "%04d%02d%02d, %02d:%02d:%02d,%f,%f,%d,%d,%d,%d,%d,%d,%f,%f,%d,N/A,N/A,N/A\r\n";
  auto print = [&](char* out, size_t size) {
    return std::snprintf(out, size, format, t.year, t.month, t.day, t.hour, t.minute, t.second,
                         static_cast<double>(r.CameraPoint().latitude),
                         static_cast<double>(r.CameraPoint().longitude), r.CameraHeading(),
                         TruncatedSpeed(r.SpeedLimit()), r.WarningDistance(), r.VoiceCode(),
                         r.AngleCode(), static_cast<int32_t>(r.CameraId()),
                         static_cast<double>(r.WarningPoint().latitude),
                         static_cast<double>(r.WarningPoint().longitude), r.WarningHeading());
  };
  // Huge coordinates print long: size the line first instead of cutting it.
  int length = print(nullptr, 0);
  std::string line(static_cast<size_t>(length) + 1, '\0');
  print(line.data(), line.size());
  line.resize(static_cast<size_t>(length));
  return line;
}

PoiCsvFile::PoiCsvFile(const std::filesystem::path& path) : path_(path) {
  file_ = OpenAppendFile(path);
  if (!file_) {
    error_ = LastSystemError();
    return;
  }
  // Unbuffered: nothing of a failed line stays behind to be written later.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  std::fseek(file_, 0, SEEK_END);
  if (std::ftell(file_) == 0) Append(PoiCsvHeader());
}

PoiCsvFile::~PoiCsvFile() {
  if (file_) std::fclose(file_);
}

bool PoiCsvFile::Append(const std::string& line) {
  if (!file_) return false;
  long before = std::ftell(file_);
  if (std::fwrite(line.data(), 1, line.size(), file_) == line.size()) return true;
  error_ = LastSystemError();
  std::error_code ignored;
  if (before >= 0) std::filesystem::resize_file(path_, static_cast<uintmax_t>(before), ignored);
  std::fseek(file_, 0, SEEK_END);
  return false;
}

}  // namespace mzt
