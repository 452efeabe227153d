// Runs a program of ours as a user types it in a shell, and reads what it wrote.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// The prefix of RunProgram that starts it as another user (nobody) when we are root, so
// that permissions count and a fault cannot touch the machine's own files; 60 s at most.
inline std::string AsAnotherUser() {
  return std::string(geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "") +
         "timeout 60";
}

// A new folder under /tmp that another user can write (the tests' own folder is private);
// empty when it cannot be made.
inline std::string SharedTempDir(const std::string& prefix) {
  std::string tmpl = "/tmp/" + prefix + "-XXXXXX";
  if (!mkdtemp(tmpl.data())) return "";
  chmod(tmpl.c_str(), 0777);
  return tmpl;
}

}  // namespace kvt::test
