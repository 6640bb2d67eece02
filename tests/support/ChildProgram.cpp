#include "support/ChildProgram.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mzt::test {

ChildRun RunChild(std::vector<std::string> args, std::vector<std::string> environment,
                  const ChildOptions& options) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);

  int outFds[2] = {-1, -1};
  if (options.separateOutput && pipe(outFds) != 0) return {};
  int fd = -1;
  pid_t pid;
  if (options.onTerminal) {
    pid = forkpty(&fd, nullptr, nullptr, nullptr);
  } else {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    pid = fork();
    if (pid == 0) {
      dup2(pipeFds[1], 1);
      dup2(pipeFds[1], 2);
      int null = ::open("/dev/null", O_RDONLY);
      dup2(null, 0);
    }
    close(pipeFds[1]);
    fd = pipeFds[0];
    if (pid == 0) close(fd);
  }
  if (pid == 0) {
    if (options.childSetup) options.childSetup();
    if (options.separateOutput) dup2(outFds[1], 1);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  if (options.separateOutput) close(outFds[1]);
  if (!options.typed.empty()) {
    ssize_t written = write(fd, options.typed.data(), options.typed.size());
    (void)written;
  }
  ChildRun run;
  char buffer[4096];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;  // a pty reads EIO once the program has ended
    run.output.append(buffer, static_cast<size_t>(n));
    if (options.watch) options.watch(run.output, pid);
    if (!options.closeAt.empty() && run.output.find(options.closeAt) != std::string::npos) break;
  }
  close(fd);
  if (options.separateOutput) {
    for (ssize_t n; (n = read(outFds[0], buffer, sizeof buffer)) > 0;)
      run.standardOutput.append(buffer, static_cast<size_t>(n));
    close(outFds[0]);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace mzt::test
