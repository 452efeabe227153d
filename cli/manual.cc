#include "cli/manual.h"

#include <cstdio>
#include <ostream>
#include <set>

#include "app/commands.h"
#include "app/menu.h"
#include "app/version.h"

namespace kvt::cli {
namespace {

// One UTF-8 sequence starting at s[i]: its code point and length, or length 0 when invalid.
std::pair<char32_t, size_t> DecodeUtf8(std::string_view s, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b = byte(i);
  size_t len = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b <= 0xDF ? 2 : 0;
  if (b >= 0xF5 || len == 0 || i + len > s.size()) return {0, 0};
  char32_t cp = b & (0x7F >> len);
  for (size_t k = 1; k < len; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return {0, 0};
    cp = cp << 6 | (byte(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and code points beyond Unicode are not characters.
  if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF))
    return {0, 0};
  return {cp, len};
}

// Bold command-line text in running prose.
std::string Bold(std::string_view text) {
  return "\\fB" + Troff(text) + "\\fR";
}
std::string Italic(std::string_view text) {
  return "\\fI" + Troff(text) + "\\fR";
}

// The menu path of a command as shown: "Database > Metodo DAO/JET > Crea".
std::string PathText(const std::vector<std::string>& path) {
  std::string text;
  for (const std::string& caption : path) {
    if (!text.empty()) text += " > ";
    text += app::PlainCaption(caption);
  }
  return text;
}

// "\fB--db\fR \fIFILE\fR" or "\fB--yes\fR, \fB-y\fR".
std::string OptionTag(const app::Option& option) {
  std::string tag;
  for (const std::string& spelling : OptionSpellings(option)) {
    if (!tag.empty()) tag += ", ";
    tag += Bold(spelling);
    if (option.takesValue) tag += " " + Italic(option.valueName);
  }
  return tag;
}

// The options of a command, indented under it. Their tags are .IP, so that .TP + .B in the
// list of commands always names a command.
void WriteCommandOptions(const std::vector<app::Option>& options, std::ostream& out) {
  if (options.empty()) return;
  out << ".RS\n";
  for (const app::Option& option : options)
    out << ".IP \"" << OptionTag(option) << "\" 4\n" << Troff(option.help) << "\n";
  out << ".RE\n";
}

void WriteCommand(const app::Registry& registry, const app::MenuCommand& c, std::ostream& out) {
  out << ".TP\n.B " << Troff(c.id) << "\n" << Troff(PathText(c.path)) << "\n";
  const app::Command* command = registry.FindCommand(c.id);
  if (!command) {
    out << ".br\n(non ancora disponibile in questa versione)\n";
    return;
  }
  out << ".br\n" << Bold("kvtbase " + c.id) << " [" << Italic("opzioni") << "]";
  if (!command->syntax.operands.empty()) out << " " << Italic(command->syntax.operands);
  out << "\n";
  WriteCommandOptions(command->syntax.options, out);
}

void WriteCommands(const app::Registry& registry, std::ostream& out) {
  // One subsection for each menu of the bar, in menu order; the items of the bar itself
  // ("Fine", "?") together at the end.
  std::string section;
  std::vector<app::MenuCommand> barItems;
  for (const app::MenuCommand& c : app::MenuCommands()) {
    if (c.path.size() == 1) {
      barItems.push_back(c);
      continue;
    }
    if (app::PlainCaption(c.path[0]) != section) {
      section = app::PlainCaption(c.path[0]);
      out << ".SS Menu " << Troff(section) << "\n";
    }
    WriteCommand(registry, c, out);
  }
  if (barItems.empty()) return;
  out << ".SS Barra dei menu\n";
  for (const app::MenuCommand& c : barItems) WriteCommand(registry, c, out);
}

// Options whose value is a file name, and those whose value is an ODBC data source: the
// completion offers files or data source names for them.
bool TakesPath(const app::Option& option) {
  return option.takesValue && (option.valueName == "FILE" || option.valueName == "PERCORSO");
}
bool TakesDataSource(const app::Option& option) {
  return option.takesValue && option.help.find("data source") != std::string::npos;
}

// A word list for bash in single quotes (ids and option names hold no quote); `more` puts a
// blank first, to be appended to a list.
std::string Words(const std::vector<std::string>& words, bool more = false) {
  std::string text;
  for (const std::string& w : words) {
    if (more || !text.empty()) text += " ";
    text += w;
  }
  return "'" + text + "'";
}

}  // namespace

std::string Troff(std::string_view utf8) {
  std::string out;
  if (!utf8.empty() && (utf8[0] == '.' || utf8[0] == '\'')) out += "\\&";
  for (size_t i = 0; i < utf8.size();) {
    char c = utf8[i];
    if (static_cast<unsigned char>(c) < 0x80) {
      if (c == '\\')
        out += "\\e";
      else if (c == '-')
        out += "\\-";
      else if (c == '"')
        out += "\\(dq";
      else if (c == '\n' && i + 1 < utf8.size() && (utf8[i + 1] == '.' || utf8[i + 1] == '\''))
        out += "\n\\&";
      else
        out += c;
      ++i;
      continue;
    }
    auto [cp, len] = DecodeUtf8(utf8, i);
    if (len == 0) {
      out += '?';
      ++i;
      continue;
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "\\[u%04X]", static_cast<unsigned>(cp));
    out += hex;
    i += len;
  }
  return out;
}

const std::vector<ProgramMode>& ProgramModes() {
  static const std::vector<ProgramMode> modes = {
      {{"--list"}, "Elenca i comandi: identificativo e voce di menu."},
      {{"--version"}, "Mostra la versione del programma."},
      {{"--help", "-h"}, "Mostra il riepilogo dell'uso."},
  };
  return modes;
}

std::vector<std::string> OptionSpellings(const app::Option& option) {
  std::vector<std::string> spellings = {"--" + option.name};
  // The short forms the command line takes for two common flags.
  if (option.name == "yes") spellings.push_back("-y");
  if (option.name == "help") spellings.push_back("-h");
  return spellings;
}

const std::vector<Example>& Examples() {
  static const std::vector<Example> examples = {
      {"kvtbase db-create /tmp/prova.mdb", "Crea un nuovo database nel file indicato."},
      {"kvtbase db-connect-file /tmp/prova.mdb",
       "Connette il database e lo ricorda nelle impostazioni, come fa il menu."},
      {"kvtbase about --db /tmp/prova.mdb",
       "Mostra le informazioni sul programma con quel database, senza toccare le "
       "impostazioni."},
      {"kvtbase db-duplicate /tmp/prova.mdb /tmp/copia.mdb",
       "Duplica un database: il primo file è l'origine, il secondo la destinazione."},
      {"kvtbase odbc-connect --datasource=kvt_pg --rowset-ordinary=50 --rowset-blob=1",
       "Connette la sorgente dati ODBC kvt_pg con le dimensioni di rowset indicate."},
      {"kvtbase db-disconnect --yes", "Sconnette il database senza chiedere conferma."},
      {"kvtbase import-kvt comunicazione.txt --report errori.txt",
       "Importa una comunicazione aziendale; se è rifiutata, il rapporto degli errori è "
       "salvato in errori.txt."},
      {"kvtbase rebuild-days --azienda=0101",
       "Ricostruisce i giorni di effettuazione delle corse dell'azienda 101."},
  };
  return examples;
}

void WriteManPage(const app::Registry& registry, std::ostream& out) {
  const std::string version(app::kVersion);
  out << ".\\\" kvtbase(1), generated by kvtbase-docs from the command table: do not edit.\n"
      << ".TH KVTBASE 1 \"\" \"KVT\\-BASE2 " << Troff(version)
      << "\" \"Comandi utente\"\n"
      // Italian text: no English hyphenation, no stretched spaces in menu paths.
      << ".nh\n.ad l\n"
      << ".SH NOME\n"
      << "kvtbase \\- " << Troff("servizi di linea del trasporto pubblico regionale (KVT-BASE2)")
      << "\n";

  out << ".SH SINTASSI\n"
      << ".B kvtbase\n.br\n"
      << ".B kvtbase\n.I COMANDO\n.RI [ opzioni ]\n.RI [ PERCORSO " << Troff("...") << "]\n.br\n"
      << ".B kvtbase \\-\\-list\n.br\n"
      << ".B kvtbase \\-\\-version\n.br\n"
      << ".B kvtbase \\-\\-help\n";

  out << ".SH DESCRIZIONE\n"
      << Troff(
             "KVT-BASE2 tiene in un solo database relazionale i servizi di linea (autobus, "
             "tram, funicolari, treni, traghetti) dichiarati dalle aziende di trasporto: ne "
             "carica le comunicazioni periodiche (file KvtTxt V2), ne controlla i dati e ne "
             "ricava prospetti dei contratti di servizio, esportazioni di testo, shapefile e "
             "uno script SQL per SpatiaLite.")
      << "\n.PP\n"
      << Troff(
             "Senza argomenti kvtbase apre la finestra del programma. Al primo avvio, se "
             "nessun database è configurato, propone di crearne uno: il file KVTBASE.MDB "
             "nella cartella indicata dall'impostazione Directory oppure, se questa è vuota, "
             "in $XDG_DATA_HOME/kvtbase (~/.local/share/kvtbase).")
      << "\n.PP\n"
      << Troff(
             "Con un COMANDO kvtbase esegue senza finestra la voce di menu corrispondente "
             "(vedere COMANDI). Le domande, le finestre di scelta file e i campi delle "
             "finestre di dialogo ricevono risposta dalle opzioni e dai percorsi. I messaggi "
             "sono scritti "
             "con il loro titolo e poi il loro testo: INFORMAZIONE: e DOMANDA: sullo standard "
             "output, ERRORE: e ATTENZIONE: sullo standard error. L'avanzamento dei lavori "
             "lunghi è mostrato sullo standard error quando questo è un terminale.")
      << "\n.PP\n"
      << Troff(
             "I file di database (metodo DAO/JET) sono file SQLite, qualunque ne sia "
             "l'estensione; i veri file di Microsoft Access sono rifiutati senza toccarli. "
             "Il metodo ODBC si collega a qualunque sorgente dati del driver manager "
             "unixODBC (il server di riferimento è PostgreSQL).")
      << "\n";

  out << ".SH OPZIONI\n" << Troff("Le opzioni comuni a ogni comando:") << "\n";
  for (const app::Option& option : app::CommonOptions())
    out << ".TP\n" << OptionTag(option) << "\n" << Troff(option.help) << "\n";
  out << ".TP\n"
      << Bold("--") << "\n"
      << Troff("termina le opzioni: ciò che segue sono percorsi") << "\n";
  out << ".PP\n"
      << Troff(
             "Le opzioni si scrivono --nome=valore oppure --nome valore, prima o dopo i "
             "percorsi; un'opzione che il comando non prevede è un errore della riga di "
             "comando. Al posto di un comando:")
      << "\n";
  for (const ProgramMode& mode : ProgramModes()) {
    out << ".TP\n";
    for (size_t i = 0; i < mode.names.size(); ++i) out << (i ? ", " : "") << Bold(mode.names[i]);
    out << "\n" << Troff(mode.text) << "\n";
  }

  out << ".SH COMANDI\n"
      << Troff(
             "Ogni comando è una voce del menu della finestra, indicata sotto il suo "
             "identificativo. Oltre alle opzioni comuni, un comando accetta le proprie, "
             "elencate sotto di esso: i campi della sua finestra di dialogo e ciò che legge "
             "da sé. kvtbase COMANDO --help le mostra.")
      << "\n";
  WriteCommands(registry, out);

  out << ".SH STATO DI USCITA\n"
      << ".TP\n.B 0\n"
      << Troff(
             "Il comando è terminato normalmente (nessun messaggio di errore o di "
             "attenzione, oppure un messaggio di successo dopo di esso).")
      << "\n.TP\n.B 1\n"
      << Troff(
             "Il comando è terminato con un rifiuto o un errore (l'ultimo messaggio è di "
             "errore o di attenzione), oppure il database di --db o --dsn non si apre.")
      << "\n.TP\n.B 2\n"
      << Troff(
             "La riga di comando è errata: comando sconosciuto, opzione non valida, comando "
             "non ancora disponibile.")
      << "\n.TP\n.B 3\n"
      << Troff(
             "Il comando è stato annullato: una domanda ha ricevuto Annulla, una finestra di "
             "scelta file non ha avuto un file.")
      << "\n";

  out << ".SH FILE\n"
      << ".TP\n.I ~/.config/kvtbase/kvtbase.ini\n"
      << Troff(
             "Il file delle impostazioni ($XDG_CONFIG_HOME/kvtbase/kvtbase.ini se "
             "XDG_CONFIG_HOME è impostata). Contiene i valori della chiave "
             "Software\\KVTBASE\\KVTBASE\\1.00: Database (il file di database), DsnOdbc (la "
             "sorgente dati ODBC), RowSzAlfa e RowSzBlob (le dimensioni dei rowset), "
             "Directory (la cartella del database creato al primo avvio). È letto all'avvio e "
             "scritto alla fine; un file illeggibile è segnalato all'avvio e conservato come "
             "kvtbase.ini.bak.")
      << "\n.PP\n.RS\n.nf\n"
      << Troff(
             "[Software\\KVTBASE\\KVTBASE\\1.00]\n"
             "Database=/home/ada/.local/share/kvtbase/KVTBASE.MDB\n"
             "DsnOdbc=\n"
             "RowSzAlfa=25\n"
             "RowSzBlob=1\n"
             "Directory=")
      << "\n.fi\n.RE\n"
      << ".TP\n.I ~/.local/share/kvtbase/KVTBASE.MDB\n"
      << Troff("Il database creato al primo avvio quando l'impostazione Directory è vuota.")
      << "\n.TP\n.I /usr/share/kvtbase\n"
      << Troff(
             "I dati del programma, uguali per tutti gli utenti (nella cartella share/kvtbase "
             "del prefisso di installazione). aziende.txt ed enti.txt, per consultazione: gli "
             "elenchi delle aziende e degli enti con cui il programma, che li contiene, "
             "inizializza ogni nuovo database.")
      << "\n";

  out << ".SH AMBIENTE\n"
      << ".TP\n.B KVTBASE_SETTINGS\n"
      << Troff("Il file delle impostazioni da usare al posto di quello abituale.")
      << "\n.TP\n.B XDG_CONFIG_HOME\n"
      << Troff("La cartella del file delle impostazioni (predefinita: ~/.config).")
      << "\n.TP\n.B XDG_DATA_HOME\n"
      << Troff("La cartella del database creato al primo avvio (predefinita: ~/.local/share).")
      << "\n.TP\n.B KVTBASE_DATA_DIR\n"
      << Troff("La cartella dei dati del programma da usare al posto di quella installata.")
      << "\n";

  out << ".SH ESEMPI\n";
  for (const Example& example : Examples())
    out << ".TP\n.B " << Troff(example.line) << "\n" << Troff(example.text) << "\n";

  out << ".SH VEDERE ANCHE\n"
      << ".BR odbcinst (1),\n.BR isql (1),\n.BR sqlite3 (1)\n";
}

void WriteBashCompletion(const app::Registry& registry, std::ostream& out) {
  std::vector<std::string> commands, modes, common;
  std::set<std::string> pathOptions, sourceOptions, otherValueOptions;
  auto note = [&](const app::Option& option) {
    if (TakesPath(option))
      pathOptions.insert("--" + option.name);
    else if (TakesDataSource(option))
      sourceOptions.insert("--" + option.name);
    else if (option.takesValue)
      otherValueOptions.insert("--" + option.name);
  };
  for (const ProgramMode& mode : ProgramModes())
    for (std::string_view name : mode.names) modes.emplace_back(name);
  for (const app::Option& option : app::CommonOptions()) {
    for (const std::string& spelling : OptionSpellings(option)) common.push_back(spelling);
    note(option);
  }
  // Each command's own options, one case a command that has some.
  std::string cases;
  for (const app::MenuCommand& c : app::MenuCommands()) {
    commands.push_back(c.id);
    const app::Command* command = registry.FindCommand(c.id);
    if (!command || command->syntax.options.empty()) continue;
    std::vector<std::string> own;
    for (const app::Option& option : command->syntax.options) {
      own.push_back("--" + option.name);
      note(option);
    }
    cases += "        " + c.id + ") options+=" + Words(own, true) + " ;;\n";
  }
  auto alternatives = [](const std::set<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : "|") + name;
    return text;
  };

  out << "# bash completion for kvtbase, generated by kvtbase-docs from the command table: do "
         "not edit.\n"
      << "_kvtbase()\n{\n"
      << "    local cur=${COMP_WORDS[COMP_CWORD]} prev=\n"
      << "    (( COMP_CWORD > 0 )) && prev=${COMP_WORDS[COMP_CWORD-1]}\n"
      << "    local commands=" << Words(commands) << "\n"
      << "    local modes=" << Words(modes) << "\n"
      << "    local options=" << Words(common) << "\n"
      << "    COMPREPLY=()\n"
      << "    if (( COMP_CWORD == 1 )); then\n"
      << "        COMPREPLY=($(compgen -W \"$commands $modes\" -- \"$cur\"))\n"
      << "        return\n"
      << "    fi\n"
      << "    case ${COMP_WORDS[1]} in\n"
      << cases << "    esac\n"
      << "    # \"--db=FILE\": bash splits the word at \"=\". File names may hold blanks: one a "
         "line.\n"
      << "    local option=$prev\n"
      << "    if [[ $prev == = ]] && (( COMP_CWORD > 1 )); then\n"
      << "        option=${COMP_WORDS[COMP_CWORD-2]}\n"
      << "    elif [[ $cur == = ]]; then\n"
      << "        option=$prev cur=\n"
      << "    fi\n"
      << "    case $option in\n";
  if (!pathOptions.empty())
    out << "        " << alternatives(pathOptions) << ")\n"
        << "            compopt -o filenames 2>/dev/null\n"
        << "            mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n"
        << "            return ;;\n";
  if (!sourceOptions.empty())
    out << "        " << alternatives(sourceOptions) << ")\n"
        << "            local IFS=$'\\n'\n"
        << "            mapfile -t COMPREPLY < <(compgen -W \"$(odbcinst -q -s 2>/dev/null | sed "
           "'s/^\\[\\(.*\\)\\]$/\\1/')\" -- \"$cur\")\n"
        << "            return ;;\n";
  // A code, a number: nothing to offer (not file names).
  if (!otherValueOptions.empty())
    out << "        " << alternatives(otherValueOptions) << ")\n"
        << "            return ;;\n";
  out << "    esac\n"
      << "    if [[ $cur == -* ]]; then\n"
      << "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
      << "    else\n"
      << "        compopt -o filenames 2>/dev/null\n"
      << "        mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n"
      << "    fi\n"
      << "}\n"
      << "complete -F _kvtbase kvtbase\n";
}

}  // namespace kvt::cli
