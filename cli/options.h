// The command line of one command, read by the GNU getopt_long conventions against the
// options the command declares (app::CommandSyntax) and the common ones:
//
//  - "--name=VALUE" and "--name VALUE" for an option that takes a value: the next argument
//    is its value whatever it looks like ("--report --x" gives "--x"), so an option and its
//    value stay one unit wherever they stand;
//  - "--name" for a flag; "-y" and "-h" for --yes and --help, which may be bundled ("-yh");
//  - options and operands in any order; "--" ends the options (what follows is an operand
//    even when it begins with "-"); "-" alone is an operand;
//  - an undeclared option, an option that needs a value without one, a value given to a
//    flag and an empty operand are errors, reported before the command runs. Names are never abbreviated: a
//    prefix that works today would become ambiguous when a command gains an option.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/commands.h"

namespace kvt::cli {

struct ParsedLine {
  std::optional<std::string> db;   // --db FILE
  std::optional<std::string> dsn;  // --dsn NAME
  std::optional<std::string> pdf;  // --pdf FILE: where printed reports go
  bool yes = false;                // --yes, -y
  bool help = false;               // --help, -h
  // The files for the command's choosers, in order: --file values and operands as given.
  std::vector<std::string> files;
  // The command's own options and its operands.
  app::CommandOptions options;
};

// Reads `args` (what follows the command's name). Returns the error message (Italian, one
// line) when the line is wrong; `out` then holds what was read up to there.
std::optional<std::string> ParseCommandLine(const std::vector<std::string>& args,
                                            const app::CommandSyntax& syntax, ParsedLine* out);

// Where the command's name stands: after the common options that may come before it
// ("kvtbase --db x.mdb about"); args.size() when there is none.
size_t CommandPosition(const std::vector<std::string>& args);

// "Uso: kvtbase ID [opzioni] OPERANDS", the menu path and every option with its help.
std::string CommandHelp(const app::Command& command);

}  // namespace kvt::cli
