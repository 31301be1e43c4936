// Running a step in a child process (fork), for tests of what one process sees of another's
// changes.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

namespace velm::test {

// Runs `step` in a child process; true when it succeeded there.
template <class Step>
bool InAnotherProcess(Step step) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(step() ? 0 : 1);
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace velm::test
