#!/usr/bin/env bash
# Installs the build tree into a scratch prefix, moves the prefix elsewhere and checks the
# install as a desktop sees it: the programs started from an empty folder find their
# settings, brushes, cursor model and help in the install; a broken settings file in the
# configuration folder and a missing share folder are reported by name; the menu entries
# validate; the file type database built from the installed entry maps x.lnd and X.LND to
# the land type, with Vostrel as the default program; the man pages render and name every
# lndtool verb; the completion completes verbs and options.
# Usage: install_test.sh BUILD_DIR
set -uo pipefail
# Plain ASCII from man, whatever the caller's locale.
export LC_ALL=C
build=$(cd "${1:?usage: install_test.sh BUILD_DIR}" && pwd -P)
# Physical paths: the programs report the paths /proc/self/exe gives them.
scratch=$(cd "$(mktemp -d)" && pwd -P)
trap 'chmod -R u+rwx "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { local what=$1; shift; if "$@"; then echo "ok: $what"; else fail "$what"; fi; }
contains() { [[ $1 == *"$2"* ]]; }

for tool in desktop-file-validate update-mime-database man bash; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/deps.sh installs it)"; exit 1; }
done

if ! cmake --install "$build" --prefix "$scratch/first" >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log"; exit 1
fi
# A moved install still finds its data: everything is found relative to the programs.
mv "$scratch/first" "$scratch/prefix"
prefix=$scratch/prefix
share=$prefix/share/landtoolkit
work=$scratch/work
mkdir -p "$work" "$scratch/home"
cd "$work"
export HOME=$scratch/home
unset XDG_CONFIG_HOME

# ---- lndtool: brushes from the installed settings --------------------------------------
"$prefix/bin/lndtool" new -o island.lnd >/dev/null || fail "lndtool new"
brush() { "$prefix/bin/lndtool" brush island.lnd --brush Peak --at 2500,2500 --steps 3 -o "$1" 2>"$scratch/brush.err"; }
check "lndtool brush without --settings takes the installed brushes" brush raised.lnd
check "the brush changed the land" bash -c '! cmp -s island.lnd raised.lnd'
settings=$("$prefix/bin/lndtool" settings 2>/dev/null)
check "lndtool settings shows the installed file with its pictures" \
  bash -c '[[ $1 == *"Settings: $2/Vostrel.settings.xml"* && $1 == *"brushes: 6"* && $1 != *"(no picture)"* ]]' sh "$settings" "$share"
printf 'brush Hill 2500,2500 raise\n' | "$prefix/bin/lndtool" edit island.lnd -o edited.lnd 2>"$scratch/edit.err"
check "lndtool edit without --settings takes the installed brushes" test -s edited.lnd

# The build tree is shaped like an install: its programs find the repository's files.
"$build/src/lndtool/lndtool" brush island.lnd --brush Peak --at 2500,2500 -o tree.lnd 2>/dev/null
check "the build tree's lndtool finds the repository's brushes" test -s tree.lnd

# ---- Vostrel from an empty folder -------------------------------------------------------
vostrel() {
  "$prefix/bin/Vostrel" --screenshot "$work/shot.png" --size 200x150 --editor island.lnd >"$scratch/v.out" 2>"$scratch/v.err"
}
if [ -n "${DISPLAY:-}" ]; then
  check "Vostrel --screenshot runs from an empty folder" vostrel
  out=$(cat "$scratch/v.out"); err=$(cat "$scratch/v.err")
  check "Vostrel reads the installed settings" contains "$out" "settings: $share/Vostrel.settings.xml"
  check "Vostrel loads every brush picture from the install" contains "$out" "brush pictures: 6 of 6"
  check "Vostrel finds the installed help" contains "$out" "help: $share/helpfiles/help.html"
  check "Vostrel loads the installed cursor model" bash -c "! grep -q 'cursor model' '$scratch/v.err'"
  check "Vostrel reports no settings problem" bash -c "! grep -q 'Error Loading' '$scratch/v.err'"
  "$build/bin/Vostrel" --screenshot "$work/tree.png" --size 200x150 island.lnd >"$scratch/t.out" 2>/dev/null
  check "the build tree's Vostrel reads the repository's settings" grep -q "^settings: $build/share/landtoolkit/Vostrel.settings.xml" "$scratch/t.out"
  clayvane() {
    "$prefix/bin/Clayvane" --screenshot "$work/clay.png" --size 160x120 island.lnd >"$scratch/c.out" 2>"$scratch/c.err"
  }
  check "Clayvane --screenshot runs from an empty folder" clayvane
  check "Clayvane reads the installed Brushes.txt and Clayvane.dat" bash -c "! grep -qE 'Brushes.txt|Clayvane.dat' '$scratch/c.err'"
else
  echo "skipped: Vostrel and Clayvane checks (no display; run under xvfb-run)"
fi

# ---- Bad input: the configuration folder, the share folder ------------------------------
config=$scratch/config/landtoolkit
mkdir -p "$config"
for kind in malformed unreadable; do
  rm -rf "$config/Vostrel.settings.xml"
  if [ $kind = malformed ]; then
    printf '<settings><landEdit>' >"$config/Vostrel.settings.xml"
  else
    mkdir "$config/Vostrel.settings.xml"   # cannot be read as a file, even by root
  fi
  XDG_CONFIG_HOME=$scratch/config brush bad-$kind.lnd
  check "a $kind configuration-folder settings file is passed over" test -s bad-$kind.lnd
  check "lndtool names the $kind file" grep -q "$config/Vostrel.settings.xml was not used" "$scratch/brush.err"
  check "lndtool names the file used instead" grep -q "Using $share/Vostrel.settings.xml instead" "$scratch/brush.err"
done
if [ -n "${DISPLAY:-}" ]; then
  XDG_CONFIG_HOME=$scratch/config vostrel
  check "Vostrel passes over a broken configuration-folder settings file" grep -q "settings: $share/Vostrel.settings.xml" "$scratch/v.out"
  check "Vostrel names it" grep -q "$config/Vostrel.settings.xml was not used" "$scratch/v.err"
fi
# A good file there wins over the installed one.
rm -rf "$config/Vostrel.settings.xml"
sed 's/name="Peak"/name="Spire"/' "$share/Vostrel.settings.xml" >"$config/Vostrel.settings.xml"
XDG_CONFIG_HOME=$scratch/config "$prefix/bin/lndtool" brush island.lnd --brush Spire --at 2500,2500 -o own.lnd 2>/dev/null
check "the configuration folder's settings win over the installed ones" test -s own.lnd

mv "$share" "$scratch/share-away"
brush none.lnd; rc=$?
check "without the share folder lndtool brush refuses as a usage error" test "$rc" = 2
check "lndtool names the missing share folder" grep -q "$share, which does not exist" "$scratch/brush.err"
if [ -n "${DISPLAY:-}" ]; then
  check "without the share folder Vostrel still runs on its defaults" vostrel
  check "Vostrel says it has no settings" grep -q "settings: none" "$scratch/v.out"
  check "Vostrel names the missing share folder" grep -q "$share, which does not exist" "$scratch/v.err"
  check "without the share folder Clayvane runs on its built-in data" clayvane
  check "Clayvane names the missing share folder" grep -q "$share does not exist" "$scratch/c.err"
fi
mv "$scratch/share-away" "$share"

# ---- Menu entries, file type, icons -----------------------------------------------------
apps=$prefix/share/applications
check "desktop-file-validate accepts vostrel.desktop and clayvane.desktop" \
  desktop-file-validate "$apps/vostrel.desktop" "$apps/clayvane.desktop"
for d in vostrel clayvane; do
  check "$d.desktop declares the land type" grep -qx 'MimeType=application/x-bw-land;' "$apps/$d.desktop"
done
check "Vostrel is the land type's default program" \
  grep -qx 'application/x-bw-land=vostrel.desktop;clayvane.desktop;' "$apps/mimeapps.list"
mime=$scratch/mime
mkdir -p "$mime/packages"
cp "$prefix/share/mime/packages/landtoolkit.xml" "$mime/packages/"
update-mime-database "$mime" >/dev/null 2>&1 || fail "update-mime-database refuses the installed entry"
# The type of a name as the database's globs give it (globs2: weight:type:pattern[:flags]);
# patterns match without regard to case unless flagged "cs".
typeOf() {
  local name=$1 line weight type pattern flags
  while IFS=: read -r weight type pattern flags; do
    [[ $weight == \#* ]] && continue
    if [[ ,$flags, == *,cs,* ]]; then
      [[ $name == $pattern ]] && { echo "$type"; return; }
    else
      [[ ${name,,} == ${pattern,,} ]] && { echo "$type"; return; }
    fi
  done <"$mime/globs2"
}
for name in x.lnd X.LND Island.Lnd; do
  check "$name is a land file" test "$(typeOf "$name")" = application/x-bw-land
done
check "other names are not land files" test -z "$(typeOf x.lndx)"
for side in 16 22 24 32 48 64 128 256; do
  for icon in apps/vostrel apps/clayvane mimetypes/application-x-bw-land; do
    f=$prefix/share/icons/hicolor/${side}x${side}/$icon.png
    [ "$(head -c 8 "$f" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "no PNG icon $f"
  done
done

# ---- Help and man pages -----------------------------------------------------------------
for link in $(grep -o 'href="manual/[^"]*"' "$share/helpfiles/help.html" | sed 's/href="\(.*\)"/\1/'); do
  test -f "$share/helpfiles/$link" || fail "the help links to $link, which is not installed"
done
grep -q 'href="manual/lndtool.txt"' "$share/helpfiles/help.html" || fail "the help does not link the manual pages"

for page in lndtool Vostrel Clayvane Strakmill; do
  f=$prefix/share/man/man1/$page.1
  text=$(MANWIDTH=80 man -l "$f" 2>"$scratch/man.err")
  check "man -l renders $page(1)" test $? = 0 -a ! -s "$scratch/man.err"
  check "$page(1) is named" grep -qE "^ +$page +- " <<<"$text"
done
manual=$(MANWIDTH=200 man -l "$prefix/share/man/man1/lndtool.1" 2>/dev/null)
# Examples come out as written, options and all.
grep -qE "^ +lndtool brush island.lnd --brush Hill --at 800,800 --steps 3 -o hill.lnd$" <<<"$manual" ||
  fail "lndtool(1) does not show its examples as written"
verbs=$("$prefix/bin/lndtool" --help | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p')
for verb in $verbs; do
  grep -qE "^ +$verb( |\$)" <<<"$manual" || fail "lndtool(1) does not describe the verb $verb"
done

# ---- Completion -------------------------------------------------------------------------
complete_words() {
  bash --norc --noprofile -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _lndtool; echo "${COMPREPLY[*]}"' \
    sh "$prefix/share/bash-completion/completions/lndtool" "$@"
}
check "lndtool he completes to heightmap" test "$(complete_words lndtool he)" = heightmap
check "lndtool brush --se completes to --settings" test "$(complete_words lndtool brush island.lnd --se)" = --settings
check "a file follows -o" contains "$(complete_words lndtool new -o isl)" island.lnd
check "every verb completes" test "$(complete_words lndtool '' | tr ' ' '\n' | grep -v '^--' | sort | tr '\n' ' ')" = \
  "$(sort <<<"$verbs" | tr '\n' ' ')"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "install: every check passed"
