#include "recording/SessionRecorder.h"

#include <cstdio>
#include <system_error>

#include "common/ModuleVersion.h"
#include "common/TextFill.h"
#include "common/Timing.h"
#include "devicelink/Checksum.h"
#include "platform/Sha256.h"
#include "platform/Translation.h"

namespace mzt {
namespace {

std::span<const uint8_t> AsBytes(const std::string& text) {
  return std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// A reply ends in "*HH" and its line end, as the device writes it.
bool EndsReply(const std::string& bytes) {
  return bytes.size() >= 5 && bytes.ends_with("\r\n") &&
         EndsWithChecksumSuffix(AsBytes(bytes).first(bytes.size() - 2));
}

}  // namespace

Result<std::shared_ptr<SessionRecorder>> SessionRecorder::Create(const std::filesystem::path& file,
                                                                 RecordingOptions options) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) {
    std::error_code why(errno, std::generic_category());
    return Error{ErrorCode::kIo,
                 Fill(Tr("the recording {1} cannot be written: {2}"), {file.string(), why.message()})};
  }
  return std::shared_ptr<SessionRecorder>(new SessionRecorder(std::move(out), options));
}

SessionRecorder::SessionRecorder(std::ofstream out, RecordingOptions options)
    : out_(std::move(out)), options_(options) {}

SessionRecorder::~SessionRecorder() { End(-1); }

JsonObject SessionRecorder::Line(const char* kind) {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
  return JsonObject().Add("t", static_cast<int64_t>(ms.count())).Add("kind", kind);
}

void SessionRecorder::Emit(const JsonObject& line) {
  if (ended_) return;
  out_ << line.Text() << '\n';
  out_.flush();
}

void SessionRecorder::Begin(const std::vector<std::string>& command) {
  std::lock_guard lock(mutex_);
  char scale[32];
  std::snprintf(scale, sizeof scale, "%g", TimeScale());
#ifdef _WIN32
  const char* platform = "windows";
#else
  const char* platform = "linux";
#endif
  Emit(Line("session")
           .Add("format", int64_t{kRecordingFormat})
           .Add("program", ProgramTitle())
           .Add("platform", platform)
           .Add("command", command)
           .Add("timeScale", scale)
           .AddFlag("anonymised", options_.anonymise)
           .AddFlag("frameBytes", options_.frameBytes));
}

void SessionRecorder::PortOpened(const std::string& port, const std::string& serialNumber,
                                 const std::string& error) {
  std::lock_guard lock(mutex_);
  if (options_.anonymise) anonymiser_.Learn(serialNumber);
  pendingReply_.clear();
  JsonObject line = Line("open").Add("port", port).Add("serial", anonymiser_.Text(serialNumber));
  if (!error.empty()) line.Add("error", error);
  Emit(line);
}

void SessionRecorder::PortClosed(const std::string& port) {
  std::lock_guard lock(mutex_);
  FlushReply(false);
  Emit(Line("close").Add("port", port));
}

void SessionRecorder::PortUnplugged(const std::string& port) {
  std::lock_guard lock(mutex_);
  FlushReply(false);
  Emit(Line("unplug").Add("port", port));
}

void SessionRecorder::Written(std::span<const uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  FlushReply(false);
  JsonObject line = Line("tx");
  if (!bytes.empty() && bytes[0] == '$') {
    std::string text(bytes.begin(), bytes.end());
    line.AddBytes("bytes", AsBytes(anonymiser_.Text(text)));
  } else {
    line.Add("frame", static_cast<int64_t>(bytes.size())).Add("sha256", Sha256Hex(bytes));
    if (options_.frameBytes) line.AddBytes("bytes", bytes);
  }
  Emit(line);
}

void SessionRecorder::Read(std::span<const uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  for (uint8_t b : bytes) {
    pendingReply_ += static_cast<char>(b);
    if (b == '\n' && EndsReply(pendingReply_)) FlushReply(true);
  }
}

void SessionRecorder::FlushReply(bool whole) {
  if (pendingReply_.empty()) return;
  std::string bytes = options_.anonymise && whole ? anonymiser_.Sentence(pendingReply_)
                                                  : anonymiser_.Text(pendingReply_);
  pendingReply_.clear();
  Emit(Line("rx").AddBytes("bytes", AsBytes(bytes)));
}

void SessionRecorder::Http(HttpExchange exchange) {
  std::lock_guard lock(mutex_);
  JsonObject line = Line("http").Add("url", anonymiser_.Text(exchange.url)).Add("proxy", exchange.proxy);
  if (exchange.status) line.Add("status", int64_t{*exchange.status});
  if (!exchange.headers.empty()) line.Add("headers", exchange.headers);
  if (exchange.toFile) {
    line.AddFlag("download", true);
    if (exchange.size) line.Add("size", static_cast<int64_t>(*exchange.size)).Add("sha256", exchange.sha256);
  } else if (exchange.status) {
    line.AddBytes("body", AsBytes(anonymiser_.Text(exchange.body)));
  }
  if (!exchange.error.empty()) line.Add("error", exchange.error);
  Emit(line);
}

void SessionRecorder::End(int exitStatus) {
  std::lock_guard lock(mutex_);
  if (ended_) return;
  FlushReply(false);
  if (exitStatus >= 0) Emit(Line("end").Add("status", int64_t{exitStatus}));
  ended_ = true;
  out_.close();
}

}  // namespace mzt
