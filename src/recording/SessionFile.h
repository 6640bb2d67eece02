#pragma once
// A recorded session read back, for the replays: its lines in order, each
// with its kind, time and fields, the wire bytes decoded.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/JsonText.h"
#include "common/Result.h"

namespace mzt {

struct SessionLine {
  size_t number = 0;  // in the file, from 1
  std::string kind;   // session, open, close, unplug, tx, rx, http, end
  int64_t t = 0;      // milliseconds since the session began
  std::string bytes;  // tx and rx: the bytes ("bytes" decoded); http: the body
  JsonFields fields;

  std::string Text(std::string_view name) const;
  int64_t Number(std::string_view name, int64_t otherwise = 0) const;
  bool Has(std::string_view name) const { return fields.find(name) != fields.end(); }
  // A data frame written by the program: its size and digest, no sentence.
  bool IsFrame() const { return kind == "tx" && Has("frame"); }
};

struct RecordedSession {
  std::vector<SessionLine> lines;
  std::vector<std::string> command;  // as given, after the program's name
  double timeScale = 1.0;
  // The exit status at the end; none when the recording stops short.
  std::optional<int> exitStatus;
};

// Fails (kFormat, with the line's number) on a line that is not one of a
// recording, or on a format newer than this program reads.
Result<RecordedSession> ReadSession(const std::filesystem::path& file);

// How a line shows in a message: its number, kind and bytes or digest.
std::string DescribeLine(const SessionLine& line);

}  // namespace mzt
