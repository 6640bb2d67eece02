#include "devsim/Poi.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <numbers>
#include <sstream>

#include <cstdlib>

namespace mzt::devsim {
namespace {

double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

// A whole CSV column: the field reader also stops at '*', which a CSV never uses.
std::vector<std::string> SplitColumns(const std::string& line) {
  std::vector<std::string> columns;
  std::string column;
  std::istringstream in(line);
  while (std::getline(in, column, ',')) columns.push_back(column);
  return columns;
}

bool ParseNumber(const std::string& text, double& value) {
  const char* begin = text.c_str();
  char* end = nullptr;
  value = std::strtod(begin, &end);
  if (end == begin) return false;
  while (*end == ' ' || *end == '\t' || *end == '\r') ++end;
  return *end == '\0' && std::isfinite(value);
}

template <typename T>
T Whole(double value) {
  return static_cast<T>(static_cast<long long>(value));
}

}  // namespace

std::vector<Poi> GeneratePois(size_t count) {
  std::vector<Poi> pois;
  pois.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    double step = static_cast<double>(i);
    Poi poi;
    poi.cameraLatitude = 25.0330 + 0.0021 * step;
    poi.cameraLongitude = 121.5654 - 0.0017 * step;
    poi.warningLatitude = poi.cameraLatitude - 0.0027;
    poi.warningLongitude = poi.cameraLongitude + 0.0009;
    poi.cameraHeading = static_cast<uint16_t>((i * 37) % 360);
    poi.warningHeading = static_cast<uint16_t>((i * 37 + 180) % 360);
    poi.speedLimit = 40 + static_cast<int>(i % 8) * 10;
    poi.hiddenValue = static_cast<uint16_t>(i);
    poi.id = 0x00010000u + static_cast<uint32_t>(i) * 7u + 1u;
    poi.voiceCode = static_cast<uint16_t>(1 + i % 5);
    poi.angleCode = static_cast<uint16_t>(i % 4);
    poi.warningDistance = static_cast<uint16_t>(300 + (i % 5) * 100);
    pois.push_back(poi);
  }
  return pois;
}

Result<std::vector<Poi>> ParsePoiCsv(const std::string& text) {
  std::vector<Poi> pois;
  std::istringstream in(text);
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    std::vector<std::string> columns = SplitColumns(line);
    double first = 0.0;
    if (columns.size() < 3 || !ParseNumber(columns[2], first)) continue;
    if (columns.size() < 13)
      return Error{ErrorCode::kFormat, "line " + std::to_string(lineNumber) + ": 13 columns expected"};
    double values[11] = {};
    for (size_t c = 2; c < 13; ++c) {
      if (!ParseNumber(columns[c], values[c - 2]))
        return Error{ErrorCode::kFormat, "line " + std::to_string(lineNumber) + ": column " +
                                             std::to_string(c + 1) + " is not a number"};
    }
    Poi poi;
    poi.cameraLatitude = values[0];
    poi.cameraLongitude = values[1];
    poi.cameraHeading = Whole<uint16_t>(values[2]);
    poi.speedLimit = Whole<int>(values[3]);
    poi.warningDistance = Whole<uint16_t>(values[4]);
    poi.voiceCode = Whole<uint16_t>(values[5]);
    poi.angleCode = Whole<uint16_t>(values[6]);
    // The export prints IDs of 2^31 and more as negative numbers.
    poi.id = static_cast<uint32_t>(static_cast<long long>(values[7]));
    poi.warningLatitude = values[8];
    poi.warningLongitude = values[9];
    poi.warningHeading = Whole<uint16_t>(values[10]);
    pois.push_back(poi);
  }
  return pois;
}

Result<std::vector<Poi>> LoadPoiCsv(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Error{ErrorCode::kNotFound, "cannot read " + path.string()};
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  auto pois = ParsePoiCsv(text);
  if (!pois) return std::move(pois).TakeError().With(path.string());
  return pois;
}

std::string FormatPoiFields(const Poi& poi) {
  char text[256];
  std::snprintf(text, sizeof text, "%.9f,%.9f,%.9f,%.9f,%u,%u,%d,%X,%X,%X,%u,%u,%u",
                Radians(poi.warningLatitude), Radians(poi.warningLongitude),
                Radians(poi.cameraLatitude), Radians(poi.cameraLongitude),
                unsigned{poi.warningHeading}, unsigned{poi.cameraHeading}, poi.speedLimit,
                unsigned{poi.hiddenValue}, unsigned{poi.id & 0xFFFFu}, unsigned{poi.id >> 16},
                unsigned{poi.voiceCode}, unsigned{poi.angleCode}, unsigned{poi.warningDistance});
  return text;
}

}  // namespace mzt::devsim
