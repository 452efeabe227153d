#!/usr/bin/env bash
# The Debian package as a user gets it: made by cpack from the build folder BUILD, unpacked
# with dpkg -x into a throwaway root, and the programs run from there. Checks that every
# file is in place, that the manual page and the completion list every command of
# `kvtbase --list` and no other, that every library and run-time file the program needs
# belongs to a declared dependency, and that the installed kvtbase creates a database and
# imports a communication written by the installed kvtgen.
#   check_package.sh BUILD
set -uo pipefail
BUILD=$(realpath "$1")
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kvt-package.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
ROOT=$WORK/root
status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}

# --- the package ---------------------------------------------------------------------------
if ! (cd "$BUILD" && "${CPACK:-cpack}" -G DEB -B "$WORK/out" -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip \
  >"$WORK/cpack.log" 2>&1); then
  cat "$WORK/cpack.log" >&2
  fail "cpack did not make the package"
  exit 1
fi
debs=("$WORK"/out/*.deb)
[ ${#debs[@]} -eq 1 ] || { fail "cpack made ${#debs[@]} packages: ${debs[*]}"; exit 1; }
DEB=${debs[0]}
VERSION=$(dpkg-deb -f "$DEB" Version)
ARCH=$(dpkg --print-architecture)
[ "$(basename "$DEB")" = "kvtbase_${VERSION}_${ARCH}.deb" ] || fail "package file $(basename "$DEB")"
[ "$(dpkg-deb -f "$DEB" Package)" = kvtbase ] || fail "package name $(dpkg-deb -f "$DEB" Package)"
[ "$(dpkg-deb -f "$DEB" Architecture)" = "$ARCH" ] || fail "architecture"
dpkg-deb -x "$DEB" "$ROOT" || { fail "dpkg -x"; exit 1; }

# Everything under /usr, and the files users and the desktop look for.
outside=$(dpkg-deb -c "$DEB" | awk '{print $NF}' | grep -v '^\./usr/' | grep -v '^\./$')
[ -z "$outside" ] || fail "files outside /usr: $outside"
for f in usr/bin/kvtbase usr/bin/kvtgen \
  usr/share/kvtbase/aziende.txt usr/share/kvtbase/enti.txt \
  usr/share/applications/kvtbase.desktop \
  usr/share/icons/hicolor/scalable/apps/kvtbase.svg \
  usr/share/icons/hicolor/16x16/apps/kvtbase.png \
  usr/share/icons/hicolor/48x48/apps/kvtbase.png \
  usr/share/man/man1/kvtbase.1.gz \
  usr/share/bash-completion/completions/kvtbase \
  usr/share/doc/kvtbase/README.md; do
  [ -s "$ROOT/$f" ] || fail "missing from the package: /$f"
done
[ -x "$ROOT/usr/bin/kvtbase" ] && [ -x "$ROOT/usr/bin/kvtgen" ] || fail "programs not executable"

# The PNG icons are the size their folder says (width and height from the IHDR chunk).
for size in 16 48; do
  png=$ROOT/usr/share/icons/hicolor/${size}x${size}/apps/kvtbase.png
  dims=$(od -An -tu1 -j16 -N8 "$png" 2>/dev/null | awk '{print $3*256+$4 "x" $7*256+$8}')
  [ "$dims" = "${size}x${size}" ] || fail "icon ${size}x${size} is $dims"
done

# The desktop entry: valid, and its program and icon are those of the package.
desktop=$ROOT/usr/share/applications/kvtbase.desktop
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop entry not valid"
fi
exec_word=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -x "$ROOT/usr/bin/$exec_word" ] || fail "desktop entry runs '$exec_word', not in the package"
[ -f "$ROOT/usr/share/icons/hicolor/48x48/apps/$icon.png" ] || fail "desktop icon '$icon' not in the package"
grep -qx 'Categories=Office;' "$desktop" || fail "desktop entry not in Office"

# --- dependencies --------------------------------------------------------------------------
# The package of a file, as dpkg knows it (on a merged /usr it may know the other spelling).
owner() {
  local p=$1
  { dpkg -S "$p" 2>/dev/null || dpkg -S "$(realpath "$p")" 2>/dev/null ||
    dpkg -S "${p#/usr}" 2>/dev/null || dpkg -S "/usr$p" 2>/dev/null; } |
    head -1 | cut -d: -f1
}
depends=" $(dpkg-deb -f "$DEB" Depends | tr ',|' '\n\n' | sed 's/(.*)//; s/ //g' | tr '\n' ' ') "
needs() {  # FILE WHY: the package owning FILE is a declared dependency
  local pkg
  pkg=$(owner "$1")
  if [ -z "$pkg" ]; then
    fail "no package owns $1 ($2)"
  elif [[ $depends != *" $pkg "* ]]; then
    fail "$pkg ($2: $1) is not among the dependencies:$depends"
  fi
}
# The libraries each program links itself (not those its libraries bring along).
for exe in kvtbase kvtgen; do
  ldd "$ROOT/usr/bin/$exe" >"$WORK/ldd" || fail "ldd $exe"
  for name in $(readelf -d "$ROOT/usr/bin/$exe" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p'); do
    # The dynamic loader is named by some toolchains' links; ldd lists it without "=>".
    case "$name" in ld-linux*) continue ;; esac
    lib=$(awk -v n="$name" '$1 == n && $2 == "=>" {print $3}' "$WORK/ldd")
    [ -n "$lib" ] && [ "$lib" != "not" ] || { fail "$exe needs $name, not found"; continue; }
    needs "$lib" "linked by $exe"
  done
done
# What the program loads or reads at run time, where this machine has it.
driver=$(odbcinst -q -d -n SQLite3 2>/dev/null | sed -n 's/^Driver=//p')
[ -n "$driver" ] && needs "$driver" "ODBC driver SQLite3 of the file method"
driver=$(odbcinst -q -d -n "PostgreSQL Unicode" 2>/dev/null | sed -n 's/^Driver=//p')
[ -n "$driver" ] && needs "$driver" "ODBC driver PostgreSQL Unicode"
for f in /usr/share/qt6/translations/qtbase_it.qm \
  /usr/lib/"$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null)"/qt6/plugins/platforms/libqxcb.so; do
  [ -e "$f" ] && needs "$f" "loaded by Qt"
done
if command -v fc-match >/dev/null; then
  needs "$(fc-match -f '%{file}' Arial)" "the font that serves Arial"
fi
# Every dependency is a package apt can install (a misspelt name would stop `apt install`).
if command -v apt-get >/dev/null && apt-cache show libc6 >/dev/null 2>&1; then
  if ! apt-get install -s -q "$DEB" >"$WORK/apt.log" 2>&1; then
    cat "$WORK/apt.log" >&2
    fail "apt cannot install the package's dependencies"
  fi
else
  echo "note: no apt lists here; dependency names not checked against the archive" >&2
fi

# --- the installed programs ----------------------------------------------------------------
unset KVTBASE_DATA_DIR
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config XDG_DATA_HOME=$WORK/home/.local/share
export KVTBASE_SETTINGS=$WORK/kvtbase.ini
mkdir -p "$HOME"
KVTBASE=$ROOT/usr/bin/kvtbase

[ "$("$KVTBASE" --version)" = "kvtbase (KVT-BASE2) $VERSION" ] ||
  fail "kvtbase --version says '$("$KVTBASE" --version)', the package is $VERSION"
"$KVTBASE" --list >"$WORK/list" || fail "kvtbase --list"
awk '{print $1}' "$WORK/list" | sort >"$WORK/ids"
[ "$(wc -l <"$WORK/ids")" -gt 50 ] || fail "kvtbase --list lists $(wc -l <"$WORK/ids") commands"

DB=$WORK/dati/prova.mdb  # the completion test below expects it alone in its folder
mkdir -p "$WORK/dati"
out=$("$KVTBASE" db-create "$DB" 2>"$WORK/err")
rc=$?
[ $rc -eq 0 ] && [ -s "$DB" ] || fail "db-create ended $rc: $(cat "$WORK/err")"
[ "$out" = "INFORMAZIONE: Creazione database
Il database $DB è stato creato con successo" ] || fail "db-create said: $out"

# A communication from the installed kvtgen, for the first company of the installed list,
# imported by the installed kvtbase.
company=$(awk '!/^#/ && NF {print $1; exit}' "$ROOT/usr/share/kvtbase/aziende.txt")
if "$ROOT/usr/bin/kvtgen" --company "${company:-0}" "$WORK/com.txt" >"$WORK/gen.log" 2>&1; then
  "$KVTBASE" import-kvt --db "$DB" --yes "$WORK/com.txt" >"$WORK/imp.out" 2>"$WORK/imp.err" ||
    fail "import-kvt of a kvtgen communication ended $?: $(cat "$WORK/imp.err")"
  grep -q '^Corse: inserite 40 righe di 40$' "$WORK/imp.out" ||
    fail "import-kvt said: $(cat "$WORK/imp.out")"
else
  fail "kvtgen: $(cat "$WORK/gen.log")"
fi

# --- the manual page -----------------------------------------------------------------------
PAGE=$ROOT/usr/share/man/man1/kvtbase.1.gz
zcat "$PAGE" | awk '/^\.SH/ {c = ($0 == ".SH COMANDI")} c && prev == ".TP" && /^\.B / {
    sub(/^\.B /, ""); gsub(/\\-/, "-"); print } {prev = $0}' | sort >"$WORK/man-ids"
diff -u "$WORK/ids" "$WORK/man-ids" >"$WORK/man.diff" ||
  fail "manual page and kvtbase --list differ (- list, + page):
$(cat "$WORK/man.diff")"
# As man shows it: no troff warning, and every menu path reads as --list prints it.
if command -v man >/dev/null; then
  LC_ALL=C.UTF-8 MANWIDTH=250 MAN_KEEP_FORMATTING= man --warnings -l "$PAGE" \
    >"$WORK/man.txt" 2>"$WORK/man.err" || fail "man -l kvtbase.1.gz"
  [ ! -s "$WORK/man.err" ] || fail "man warns: $(cat "$WORK/man.err")"
  while read -r id path; do
    path=${path%  (non disponibile)}
    grep -qF -- "$path" "$WORK/man.txt" || fail "man page does not show '$path' ($id)"
  done <"$WORK/list"
fi

# --- the completion ------------------------------------------------------------------------
COMPLETION=$ROOT/usr/share/bash-completion/completions/kvtbase
complete_words() {  # the completions bash offers for the words given (the last is the cursor's)
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _kvtbase
           printf "%s\n" "${COMPREPLY[@]}"' _ "$COMPLETION" kvtbase "$@"
}
complete_words "" | grep -v '^-' | sort >"$WORK/comp-ids"
diff -u "$WORK/ids" "$WORK/comp-ids" >"$WORK/comp.diff" ||
  fail "completion and kvtbase --list differ (- list, + completion):
$(cat "$WORK/comp.diff")"
[ "$(complete_words --v)" = --version ] || fail "completion of --v: $(complete_words --v)"
# After each command: the options its --help lists (its own and the common ones), no other.
while read -r id path; do
  [[ $path == *"(non disponibile)" ]] && continue
  "$KVTBASE" "$id" --help | sed -n 's/^  \(--[^= ]*\).*/\1/p' | sort >"$WORK/help-opts"
  complete_words "$id" -- | sort >"$WORK/comp-opts"
  diff -u "$WORK/help-opts" "$WORK/comp-opts" >"$WORK/opts.diff" ||
    fail "completion of $id -- and $id --help differ (- help, + completion):
$(cat "$WORK/opts.diff")"
done <"$WORK/list"
[ "$(cd "$WORK/dati" && complete_words about --db pro)" = prova.mdb ] ||
  fail "completion of --db FILE: $(cd "$WORK/dati" && complete_words about --db pro)"
[ "$(cd "$WORK/dati" && complete_words about --db = pro)" = prova.mdb ] ||
  fail "completion of --db=FILE: $(cd "$WORK/dati" && complete_words about --db = pro)"
[ -z "$(cd "$WORK/dati" && complete_words rebuild-days --azienda "")" ] ||
  fail "completion offers files for a company code"
touch "$WORK/dati/linea 1.txt"  # a blank in the name, as users have
[ "$(cd "$WORK/dati" && complete_words import-kvt lin)" = "linea 1.txt" ] ||
  fail "completion of a path with a blank: $(cd "$WORK/dati" && complete_words import-kvt lin)"

exit $status
