#include "common/PortSettings.h"

#include <ini.h>

#include <cstdio>

#include "common/FieldReader.h"

namespace mzt {
namespace {

bool EqualsNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char ca = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
    char cb = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
    if (ca != cb) return false;
  }
  return *a == *b;
}

struct Reading {
  PortSettings settings;
  bool portSeen = false;
  bool baudSeen = false;
  bool serverSeen = false;
};

// As with profile files, the first occurrence of a key counts.
int OnEntry(void* user, const char* section, const char* name, const char* value) {
  auto* reading = static_cast<Reading*>(user);
  if (EqualsNoCase(section, "Update")) {
    if (EqualsNoCase(name, "Server") && !reading->serverSeen) {
      reading->serverSeen = true;
      reading->settings.updateServer.assign(value);
    }
    return 1;
  }
  if (!EqualsNoCase(section, "Comm. Port")) return 1;
  if (EqualsNoCase(name, "PortNumber") && !reading->portSeen) {
    reading->portSeen = true;
    reading->settings.portNumber.assign(value);
    if (reading->settings.portNumber.size() > kMaxPortNameLength)
      reading->settings.portNumber.resize(kMaxPortNameLength);
  } else if (EqualsNoCase(name, "Baudrate") && !reading->baudSeen) {
    reading->baudSeen = true;
    reading->settings.baudrate = static_cast<int>(ParseDecimal(value));
  }
  return 1;
}

}  // namespace

PortSettings LoadPortSettings(const std::filesystem::path& iniPath) {
  Reading reading;
  FILE* file = std::fopen(iniPath.c_str(), "r");
  if (!file) return reading.settings;
  ini_parse_file(file, OnEntry, &reading);  // a bad line keeps what was read
  std::fclose(file);
  return reading.settings;
}

}  // namespace mzt
