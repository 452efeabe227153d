// Runs a program of ours as a user types it in a shell, and reads what it wrote.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace kvt::test {

// `s` as one word of a POSIX shell command.
inline std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

inline std::string ReadFile(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

struct RunResult {
  int status = -1;  // the exit status, -1 when killed by a signal
  std::string out, err;
};

// Runs `exe args` (args already quoted as needed) in folder `dir`, with the settings file
// `settings`, after `prefix` (a command that starts it: another user, a time limit), standard
// input empty; standard output and error are captured in `dir`.
inline RunResult RunProgram(const std::string& exe, const std::string& args,
                            const std::string& dir, const std::string& settings,
                            const std::string& prefix = "") {
  const std::string cmd = "cd " + ShellQuote(dir) + " && KVTBASE_SETTINGS=" +
                          ShellQuote(settings) + " " + prefix + " " + ShellQuote(exe) + " " +
                          args + " >" + ShellQuote(dir + "/out") + " 2>" +
                          ShellQuote(dir + "/err") + " </dev/null";
  const int rc = std::system(cmd.c_str());
  return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ReadFile(dir + "/out"), ReadFile(dir + "/err")};
}

}  // namespace kvt::test
