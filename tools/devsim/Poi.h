#pragma once
// The user's own points of interest as the device keeps them. Coordinates
// are degrees here; the device reports them in radians.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/Result.h"

namespace mzt::devsim {

struct Poi {
  double cameraLatitude = 0.0;
  double cameraLongitude = 0.0;
  double warningLatitude = 0.0;
  double warningLongitude = 0.0;
  uint16_t warningHeading = 0;
  uint16_t cameraHeading = 0;
  int speedLimit = 0;
  uint16_t hiddenValue = 0;  // the record value the PC does not export
  uint32_t id = 0;
  uint16_t voiceCode = 0;
  uint16_t angleCode = 0;
  uint16_t warningDistance = 0;
};

// `count` distinct, plausible POIs around Taipei, the same on every call.
std::vector<Poi> GeneratePois(size_t count);

// POIs from a CSV in the column order of the PC's POI export: date, time,
// camera latitude, camera longitude, camera heading, speed limit, warning
// distance, voice code, angle code, camera point ID, warning latitude,
// warning longitude, warning heading (further columns are ignored). Lines
// whose third column is not a number, such as the header, are passed over.
Result<std::vector<Poi>> LoadPoiCsv(const std::filesystem::path& path);
Result<std::vector<Poi>> ParsePoiCsv(const std::string& text);

// The fields of a command-114 reply after the index, in the device's units:
// radians, decimal headings, hexadecimal ID halves.
std::string FormatPoiFields(const Poi& poi);

}  // namespace mzt::devsim
