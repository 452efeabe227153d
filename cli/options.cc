#include "cli/options.h"

#include <algorithm>

#include "app/menu.h"

namespace kvt::cli {
namespace {

// The short spellings of the common flags.
struct Short {
  char letter;
  const char* name;
};
constexpr Short kShortFlags[] = {{'y', "yes"}, {'h', "help"}};

const app::Option* FindOption(const app::CommandSyntax& syntax, std::string_view name) {
  for (const app::Option& o : app::CommonOptions())
    if (o.name == name) return &o;
  for (const app::Option& o : syntax.options)
    if (o.name == name) return &o;
  return nullptr;
}

std::string Spelling(const app::Option& o) {
  return "--" + o.name + (o.takesValue ? "=" + o.valueName : "");
}

// Stores one option and its value where it belongs. An error text when the value cannot
// be taken.
std::optional<std::string> Store(const app::Option& o, std::string value, ParsedLine* out) {
  if (o.name == "db" || o.name == "dsn" || o.name == "file" || o.name == "pdf") {
    // An empty database or file name is always a slip ("--db=" or "--db \"$UNSET\"").
    if (value.empty()) return "L'opzione --" + o.name + " richiede un valore: " + Spelling(o);
    if (o.name == "file") {
      out->files.push_back(std::move(value));
    } else if (o.name == "pdf") {
      out->pdf = std::move(value);
    } else {
      (o.name == "db" ? out->db : out->dsn) = std::move(value);
    }
  } else if (o.name == "yes") {
    out->yes = true;
  } else if (o.name == "help") {
    out->help = true;
  } else {
    out->options.values[o.name] = std::move(value);  // given twice: the last one counts
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ParseCommandLine(const std::vector<std::string>& args,
                                            const app::CommandSyntax& syntax, ParsedLine* out) {
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a[0] != '-') {
      // Operands are the files of the choosers: an empty one is a slip ("$UNSET"), which
      // a command would take for a file that is not there, or for none at all.
      if (a.empty()) return std::string("Percorso vuoto: indicare un file");
      out->options.args.push_back(a);
      out->files.push_back(a);
    } else if (a == "--") {
      optionsEnded = true;
    } else if (a[1] == '-') {
      const size_t eq = a.find('=');
      const std::string name = a.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
      const app::Option* o = FindOption(syntax, name);
      if (!o) return "Opzione sconosciuta: --" + name;
      std::string value = "1";
      if (o->takesValue) {
        if (eq != std::string::npos) {
          value = a.substr(eq + 1);
        } else if (i + 1 < args.size()) {
          value = args[++i];
        } else {
          return "L'opzione --" + name + " richiede un valore: " + Spelling(*o);
        }
      } else if (eq != std::string::npos) {
        return "L'opzione --" + name + " non accetta un valore: " + a;
      }
      if (auto error = Store(*o, std::move(value), out)) return error;
    } else {
      for (size_t k = 1; k < a.size(); ++k) {
        auto s = std::find_if(std::begin(kShortFlags), std::end(kShortFlags),
                              [c = a[k]](const Short& f) { return f.letter == c; });
        if (s == std::end(kShortFlags)) return "Opzione sconosciuta: -" + a.substr(k, 1);
        Store(*FindOption(syntax, s->name), "1", out);
      }
    }
  }
  if (out->db && out->dsn) return std::string("Indicare --db oppure --dsn, non entrambi");
  return std::nullopt;
}

size_t CommandPosition(const std::vector<std::string>& args) {
  size_t i = 0;
  while (i < args.size() && args[i].size() > 1 && args[i][0] == '-' && args[i] != "--") {
    const std::string& a = args[i];
    if (a[1] != '-') {  // short flags
      ++i;
      continue;
    }
    const size_t eq = a.find('=');
    const app::Option* o = FindOption({}, a.substr(2, eq == std::string::npos ? eq : eq - 2));
    if (!o) break;  // not ours: reported as the command's name
    i += o->takesValue && eq == std::string::npos ? 2 : 1;
  }
  return std::min(i, args.size());
}

std::string CommandHelp(const app::Command& command) {
  std::string text = "Uso: kvtbase " + command.id + " [opzioni]";
  if (!command.syntax.operands.empty()) text += " " + command.syntax.operands;
  text += "\n" + app::MenuPathText(command.id) + "\n";
  auto list = [&text](const char* title, const std::vector<app::Option>& options) {
    if (options.empty()) return;
    text += std::string("\n") + title + "\n";
    for (const app::Option& o : options) {
      std::string spelling = "  " + Spelling(o);
      spelling.resize(std::max<size_t>(spelling.size() + 2, 28), ' ');
      text += spelling + o.help + "\n";
    }
  };
  list("Opzioni del comando:", command.syntax.options);
  list("Opzioni comuni:", app::CommonOptions());
  return text;
}

}  // namespace kvt::cli
