#pragma once
// The settings file "MZTConfig.ini": section "Comm. Port", and the update
// server in section "Update". The program only reads it.

#include <filesystem>
#include <string>

namespace mzt {

struct PortSettings {
  std::string portNumber = "COM1";  // a port name, at most 127 characters
  int baudrate = 115200;            // read and not used: every open asks for 115200
  std::string updateServer;         // [Update] Server=; empty: not set
};

inline constexpr size_t kMaxPortNameLength = 127;

// A missing file or section gives the defaults; section and key names are
// compared without regard to case, as Windows profile files are.
PortSettings LoadPortSettings(const std::filesystem::path& iniPath);

}  // namespace mzt
