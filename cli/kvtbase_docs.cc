// kvtbase-docs: writes the manual page or the bash completion of kvtbase (cli/manual.h) at
// build time.
//   kvtbase-docs man|completion OUT
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "app/commands.h"
#include "cli/manual.h"

int main(int argc, char** argv) {
  const std::string what = argc == 3 ? argv[1] : "";
  if (what != "man" && what != "completion") {
    std::cerr << "Uso: kvtbase-docs man|completion FILE\n";
    return 2;
  }
  kvt::app::Registry registry;
  kvt::app::RegisterAllCommands(registry);
  // Written aside and renamed, so that a failed run leaves no half page for the build to take.
  const std::string out = argv[2], part = out + ".part";
  {
    std::ofstream file(part, std::ios::binary | std::ios::trunc);
    if (what == "man")
      kvt::cli::WriteManPage(registry, file);
    else
      kvt::cli::WriteBashCompletion(registry, file);
    file.close();
    if (!file) {
      std::cerr << "kvtbase-docs: impossibile scrivere " << part << "\n";
      std::remove(part.c_str());
      return 1;
    }
  }
  if (std::rename(part.c_str(), out.c_str()) != 0) {
    std::cerr << "kvtbase-docs: impossibile scrivere " << out << "\n";
    std::remove(part.c_str());
    return 1;
  }
  return 0;
}
