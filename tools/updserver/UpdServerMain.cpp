// mzt-updserver: the local update server for tests and demonstrations.

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <mutex>

#include "common/ModuleVersion.h"
#include "recording/SessionFile.h"
#include "updserver/ReplayServer.h"
#include "updserver/ServerArguments.h"
#include "updserver/UpdateServer.h"

namespace {

// Starts the server, prints its address (the line the tests wait for; its
// log shares standard output) and serves until a stop signal.
template <class Server>
int ServeUntilStopped(Server& server, sigset_t stopSignals, std::mutex& outputMutex) {
  if (auto started = server.Start(); !started) {
    std::fprintf(stderr, "mzt-updserver: %s\n", started.Err().message.c_str());
    return 1;
  }
  {
    std::lock_guard lock(outputMutex);
    std::printf("%s\n", server.BaseUrl().c_str());
    std::fflush(stdout);
  }
  int received = 0;
  sigwait(&stopSignals, &received);
  server.Stop();
  return 0;
}

// The server side of a recording, until interrupted.
int Replay(const mzt::updserver::ServerArguments& arguments, sigset_t stopSignals) {
  auto session = mzt::ReadSession(arguments.replay);
  if (!session) {
    std::fprintf(stderr, "mzt-updserver: %s\n", session.Err().message.c_str());
    return 2;
  }
  mzt::updserver::ReplayServer server(std::move(session).Value(), arguments.database,
                                      arguments.options.host, arguments.options.port);
  server.SetComplaintListener([](const std::string& line) {
    std::fprintf(stderr, "mzt-updserver: replay: %s\n", line.c_str());
  });
  std::mutex outputMutex;
  return ServeUntilStopped(server, stopSignals, outputMutex);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace mzt::updserver;
  auto parsed = ParseServerArguments(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed) {
    std::fprintf(stderr, "mzt-updserver: %s\n\n%s", parsed.Err().message.c_str(), kServerUsage);
    return 2;
  }
  if (parsed.Value().help) {
    std::fputs(kServerUsage, stdout);
    return 0;
  }
  if (parsed.Value().version) {
    std::printf("mzt-updserver (%s)\n", mzt::ProgramTitle().c_str());
    return 0;
  }

  // The serving threads inherit the blocked signals, so only sigwait below sees them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  if (!parsed.Value().replay.empty()) return Replay(parsed.Value(), stopSignals);

  UpdateServer server(parsed.Value().options);
  for (const auto& [page, fault] : parsed.Value().faults) server.SetFault(page, fault);
  std::mutex outputMutex;
  server.SetLogListener([&outputMutex](const std::string& line) {
    std::lock_guard lock(outputMutex);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  });
  return ServeUntilStopped(server, stopSignals, outputMutex);
}
