// Runs a command and reports its wall time and peak resident memory (from wait4's rusage), with
// its standard output sent to /dev/null.
//
// Usage: bench_run_measured COMMAND [ARG...]
// Prints "wall_s", "user_s", "sys_s", "max_rss_kib" and "status" lines.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s COMMAND [ARG...]\n", argv[0]);
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("bench_run_measured: fork");
    return 2;
  }
  if (child == 0) {
    const int devNull = open("/dev/null", O_WRONLY);
    if (devNull >= 0) dup2(devNull, STDOUT_FILENO);
    execvp(argv[1], argv + 1);
    std::perror("bench_run_measured: exec");
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) < 0) {
    std::perror("bench_run_measured: wait4");
    return 2;
  }
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  std::printf("wall_s %.3f\nuser_s %.3f\nsys_s %.3f\nmax_rss_kib %ld\nstatus %d\n", wall,
              seconds(usage.ru_utime), seconds(usage.ru_stime), usage.ru_maxrss,
              WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
