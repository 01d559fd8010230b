// Running code or a program in a child process under limits a test cannot put on itself: a
// file size limit (RLIMIT_FSIZE) or another, unprivileged user; and what the child took: its
// output, and the most memory it held. The tests run on POSIX systems.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace brondel::test {

/// What the child runs under.
struct TChildLimits {
  std::optional<rlim_t> fileSizeLimit;  // bytes a file may grow to, as `ulimit -f`
  bool ignoreFileSizeSignal = false;    // as `trap '' XFSZ`: such writes fail instead of killing
  std::optional<uid_t> user;            // run as this user id (and group id), dropping root
  bool discardOutput = false;           // standard output to /dev/null, not kept
};

/// How the child ended and what it printed.
struct TChildRun {
  int exitCode = -1;  // -1 when a signal ended it
  int signal = 0;     // the signal that ended it, 0 when it exited
  std::string out;
  std::string err;
  long peakKilobytes = 0;  // the most memory the child held at once (its maximum resident size)
};

/// The user id of "nobody", for running a program without root's way past permissions.
inline constexpr uid_t kNobody = 65534;

namespace detail {

// In the child: output into two files, then the limits. Returns false when a limit cannot be set.
inline bool EnterChild(const TTempDir& capture, const TChildLimits& limits) {
  const std::string outPath = limits.discardOutput ? "/dev/null" : capture.File("out");
  const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = ::open(capture.File("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) return false;
  if (limits.ignoreFileSizeSignal) ::signal(SIGXFSZ, SIG_IGN);
  if (limits.fileSizeLimit) {
    const rlimit limit{*limits.fileSizeLimit, *limits.fileSizeLimit};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
  }
  if (limits.user) {
    const gid_t group = *limits.user;
    if (::setgroups(0, nullptr) != 0 || ::setgid(group) != 0 || ::setuid(*limits.user) != 0) {
      return false;
    }
  }
  return true;
}

inline TChildRun WaitForChild(pid_t child, const TTempDir& capture) {
  TChildRun run;
  int status = 0;
  rusage usage{};
  while (::wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  run.peakKilobytes = usage.ru_maxrss;
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  const auto out = ReadBytes(capture.Path() / "out");
  const auto err = ReadBytes(capture.Path() / "err");
  run.out.assign(out.begin(), out.end());
  run.err.assign(err.begin(), err.end());
  return run;
}

constexpr int kCannotEnter = 125;  // the child could not set its limits

}  // namespace detail

/// Runs `body` in a forked child under `limits`; its result is the child's exit code.
inline TChildRun RunInChild(const std::function<int()>& body, const TChildLimits& limits = {}) {
  const TTempDir capture;
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    int code = detail::kCannotEnter;
    if (detail::EnterChild(capture, limits)) code = body();
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    ::_exit(code);
  }
  return detail::WaitForChild(child, capture);
}

/// Runs a program (argv[0] is its path) in a child under `limits`, catching its output.
inline TChildRun RunProgram(const std::vector<std::string>& argv, const TChildLimits& limits = {}) {
  const TTempDir capture;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    if (detail::EnterChild(capture, limits)) ::execv(args[0], args.data());
    ::_exit(detail::kCannotEnter);
  }
  return detail::WaitForChild(child, capture);
}

}  // namespace brondel::test
