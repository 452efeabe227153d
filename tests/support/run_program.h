// Runs a program of ours as a user types it in a shell, and reads what it wrote.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/data_dir.h"

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

// How to start a program as another user (nobody) when we are root, so that permissions
// count and a fault cannot touch the machine's own files; 60 s at most.
struct AnotherUser {
  std::string exe;     // the program to run: a copy that user can reach
  std::string prefix;  // RunProgram's prefix: the user, the sanitizers' files, the time limit
};

// `exe` as another user can run it from `dir` (a folder of SharedTempDir): the build may lie
// in a private home folder that user cannot enter, so the program is copied into
// DIR/prog/bin with its data folder in DIR/prog/share/kvtbase, as installed, and
// the sanitizers' suppression files are copied beside it. Not root: the program as it is.
inline AnotherUser AsAnotherUser(const std::string& exe, const std::string& dir) {
  namespace fs = std::filesystem;
  if (geteuid() != 0) return {exe, "timeout 60"};
  const fs::path prog = fs::path(dir) / "prog";
  std::error_code ec;
  fs::create_directories(prog / "bin", ec);
  fs::create_directories(prog / "sanitizers", ec);
  const fs::path copy = prog / "bin" / fs::path(exe).filename();
  fs::copy_file(exe, copy, fs::copy_options::overwrite_existing, ec);
  if (const std::string data = DataDir(); fs::is_directory(data))
    fs::copy(data, prog / "share" / "kvtbase", fs::copy_options::recursive, ec);
  for (const auto& e : fs::recursive_directory_iterator(prog, ec))
    fs::permissions(e.path(), fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add, ec);
  fs::permissions(prog, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add,
                  ec);

  // "suppressions=PATH" of each sanitizer's options, pointed at a copy that user can read.
  std::string env = "env";
  for (const char* var : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
    const char* value = std::getenv(var);
    if (!value) continue;
    std::string options = value;
    const std::string key = "suppressions=";
    if (const auto at = options.find(key); at != std::string::npos) {
      const auto from = at + key.size();
      const auto to = options.find(':', from);
      const fs::path file = options.substr(from, to == std::string::npos ? to : to - from);
      const fs::path mine = prog / "sanitizers" / (std::string(var) + "." + file.filename().string());
      fs::copy_file(file, mine, fs::copy_options::overwrite_existing, ec);
      fs::permissions(mine, fs::perms::others_read, fs::perm_options::add, ec);
      options.replace(from, to == std::string::npos ? std::string::npos : to - from, mine.string());
    }
    env += " " + std::string(var) + "=" + ShellQuote(options);
  }
  return {copy.string(),
          env + " setpriv --reuid=65534 --regid=65534 --clear-groups timeout 60"};
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
