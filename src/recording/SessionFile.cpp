#include "recording/SessionFile.h"

#include <charconv>
#include <fstream>
#include <optional>

#include "common/TextFill.h"
#include "platform/Translation.h"
#include "recording/SessionRecorder.h"

namespace mzt {

std::string SessionLine::Text(std::string_view name) const {
  auto found = fields.find(name);
  return found == fields.end() ? std::string() : found->second.text;
}

int64_t SessionLine::Number(std::string_view name, int64_t otherwise) const {
  auto found = fields.find(name);
  return found == fields.end() || found->second.kind != JsonValue::Kind::kNumber ? otherwise
                                                                               : found->second.number;
}

Result<RecordedSession> ReadSession(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return Error{ErrorCode::kIo, Fill(Tr("{1}: cannot be read"), {file.string()})};
  RecordedSession session;
  std::string text;
  for (size_t number = 1; std::getline(in, text); ++number) {
    auto bad = [&](const std::string& why) {
      return Error{ErrorCode::kFormat, file.string() + ":" + std::to_string(number) + ": " + why};
    };
    if (text.empty()) continue;
    auto parsed = ParseJsonObject(text);
    if (!parsed) return bad(parsed.Err().message);
    SessionLine line;
    line.number = number;
    line.fields = std::move(parsed).Value();
    line.kind = line.Text("kind");
    line.t = line.Number("t");
    const char* bytesField = line.kind == "http" ? "body" : "bytes";
    if (!BytesFromJsonText(line.Text(bytesField), line.bytes)) return bad(Tr("\"bytes\" holds a character that is no byte"));
    if (session.lines.empty()) {
      if (line.kind != "session") return bad(Tr("a recording begins with its \"session\" line"));
      if (line.Number("format") < 1 || line.Number("format") > kRecordingFormat)
        return bad(Fill(Tr("format {1} is not one this program reads"), {std::to_string(line.Number("format"))}));
      session.command = line.fields["command"].list;
      std::string scale = line.Text("timeScale");
      double value = 0;
      auto [end, error] = std::from_chars(scale.data(), scale.data() + scale.size(), value);
      if (error == std::errc() && value > 0) session.timeScale = value;
    }
    if (line.kind == "tx" && line.bytes.empty() && !line.Has("frame")) return bad(Tr("a write without bytes or frame"));
    if (line.kind == "end") session.exitStatus = static_cast<int>(line.Number("status"));
    session.lines.push_back(std::move(line));
  }
  if (session.lines.empty()) return Error{ErrorCode::kFormat, Fill(Tr("{1}: empty, not a recording"), {file.string()})};
  return session;
}

std::string DescribeLine(const SessionLine& line) {
  std::string where = Fill(Tr("line {1} ({2})"), {std::to_string(line.number), line.kind});
  if (line.IsFrame())
    return where + ": " + Fill(Tr("a data frame of {1} bytes, SHA-256 {2}"),
                               {std::to_string(line.Number("frame")), line.Text("sha256")});
  if (line.kind == "tx" || line.kind == "rx") return where + ": " + JsonBytes(std::span(
      reinterpret_cast<const uint8_t*>(line.bytes.data()), line.bytes.size()));
  if (line.kind == "http") return where + ": GET " + line.Text("url");
  return where;
}

}  // namespace mzt
