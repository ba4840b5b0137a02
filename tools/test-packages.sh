#!/usr/bin/env bash
# CI stage: builds the packages (tools/build-packages.sh, reusing the Release build in `build` when
# run-tests.sh made one) and checks them as a user would meet them: lintian, the desktop entry and the
# AppStream metadata, the manual pages, both packages unpacked into a fresh root and run from there
# (the installed frostmark-cli's freeze of the sample shard gives the build tree's bytes, bash completes
# its commands and options, and the installed frostmark, started as its menu entry says, shows its
# window under Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
root_dir=$(pwd)
bash tools/install-deps.sh dpkg-dev file lintian desktop-file-utils appstream man-db groff-base x11-utils
export FROSTMARK_BUILD_DIR=${FROSTMARK_BUILD_DIR:-build}
build=$(realpath -m "$FROSTMARK_BUILD_DIR")
bash tools/build-packages.sh >/dev/null
packages="$build/packages"
cli_deb=$(echo "$packages"/frostmark-cli_*.deb)
app_deb=$(echo "$packages"/frostmark_*.deb)
tarball=$(echo "$packages"/frostmark-*.tar.gz)
for f in "$cli_deb" "$app_deb" "$tarball"; do
  [ -f "$f" ] || { echo "test-packages: missing package $f" >&2; exit 1; }
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/frostmark-packages.XXXXXX")
[ -n "${KEEP_SCRATCH:-}" ] || trap 'rm -rf "$scratch"' EXIT
fail() { echo "test-packages: $*" >&2; exit 1; }
step() { echo "== $*"; }

step "lintian"
lintian_args=(--fail-on error)
[ "$(id -u)" -ne 0 ] || lintian_args+=(--allow-root)
lintian "${lintian_args[@]}" "$cli_deb" "$app_deb"

step "dependencies"
cli_depends=$(dpkg-deb -f "$cli_deb" Depends)
app_depends=$(dpkg-deb -f "$app_deb" Depends)
[[ $cli_depends != *qt* ]] || fail "frostmark-cli must not depend on Qt: $cli_depends"
[[ $app_depends == *"frostmark-cli (= "* ]] || fail "frostmark does not depend on frostmark-cli: $app_depends"
# apt resolves both packages' computed dependencies against this Debian release.
apt-get install --simulate -qq "$cli_deb" "$app_deb" >/dev/null 2>"$scratch/apt.err" ||
  { cat "$scratch/apt.err" >&2; fail "the packages' dependencies cannot be met"; }

step "unpacked into a fresh root"
root="$scratch/root"
dpkg-deb -x "$cli_deb" "$root"
dpkg-deb -x "$app_deb" "$root"
usr="$root/usr"
tar tzf "$tarball" >"$scratch/tarball.txt"
grep -q '/usr/bin/frostmark-cli$' "$scratch/tarball.txt" || fail "the .tar.gz lacks frostmark-cli"
grep -q '/usr/bin/frostmark$' "$scratch/tarball.txt" || fail "the .tar.gz lacks frostmark"

step "desktop entry, AppStream metadata and icons"
desktop=$(echo "$usr"/share/applications/*.desktop)
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$usr"/share/metainfo/*.metainfo.xml
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon"
for size in 16 24 32 48 64 128 256; do
  [ -f "$usr/share/icons/hicolor/${size}x${size}/apps/$icon.png" ] || fail "no ${size}x${size} icon $icon"
done

step "manual pages"
for page in frostmark-cli frostmark; do
  file="$usr/share/man/man1/$page.1.gz"
  [ -f "$file" ] || fail "no manual page $page"
  LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$file" >/dev/null 2>"$scratch/man.err"
  [ ! -s "$scratch/man.err" ] || { cat "$scratch/man.err" >&2; fail "man -l $page warns"; }
done

step "the installed frostmark-cli freezes the sample shard as the build tree's does"
samples="$usr/share/doc/frostmark-cli/samples"
freeze() {
  (cd "$2" && "$1" freeze --world "$samples/world.wsc" --scripts "$samples/scripts" \
      --patch stat_tavrel.frz --out world-clean.wsc --flags 378010 >/dev/null)
}
mkdir -p "$scratch/installed" "$scratch/built"
freeze "$usr/bin/frostmark-cli" "$scratch/installed"
freeze "$build/cli/frostmark-cli" "$scratch/built"
for f in stat_tavrel.frz world-clean.wsc; do
  cmp "$scratch/installed/$f" "$scratch/built/$f" || fail "$f differs between the installed and the built program"
done
[ -s "$scratch/installed/stat_tavrel.frz" ] || fail "the installed program wrote an empty patch file"
"$usr/bin/frostmark-cli" --version | grep -q "$(dpkg-deb -f "$cli_deb" Version)" || fail "version mismatch"

step "bash completion"
completion="$usr/share/bash-completion/completions/frostmark-cli"
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
           _frostmark_cli; printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$@"
}
[ "$(complete_words frostmark-cli fre)" = freeze ] || fail "bash does not complete 'fre' to freeze"
[ "$(complete_words frostmark-cli freeze --wor)" = --world ] || fail "bash does not complete --wor"
(cd "$samples" && [ "$(complete_words frostmark-cli freeze --world wor)" = world.wsc ]) ||
  fail "bash does not complete the world file's name"

step "the installed frostmark, started as its menu entry says, shows its window"
exec_line=$(sed -n 's/^Exec=//p' "$desktop" | sed 's/ %[fFuU]//g')
mkdir -p "$scratch/home" "$scratch/run"
cat >"$scratch/desktop.sh" <<'SH'
set -u
cd "$SCRATCH/run"
$EXEC_LINE >"$SCRATCH/frostmark.out" 2>&1 &
pid=$!
for _ in $(seq 1 100); do
  # Qt's own hidden helper windows carry the name too: look for one that is shown.
  for id in $(xwininfo -root -tree 2>/dev/null | awk '/"Frostmark/ {print $1}'); do
    if xwininfo -id "$id" 2>/dev/null | grep -q "Map State: IsViewable"; then
      xwininfo -id "$id" >"$SCRATCH/window.txt"
      kill "$pid"
      wait "$pid" 2>/dev/null
      exit 0
    fi
  done
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
kill "$pid" 2>/dev/null
exit 1
SH
SCRATCH="$scratch" EXEC_LINE="$exec_line" HOME="$scratch/home" PATH="$usr/bin:$PATH" \
  XDG_DATA_DIRS="$usr/share:/usr/share" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x800x24" bash "$scratch/desktop.sh" ||
  { cat "$scratch/frostmark.out" >&2; fail "no Frostmark window appeared"; }
read -r width height < <(awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w, h}' "$scratch/window.txt")
((width >= 300 && height >= 200)) || fail "the Frostmark window is only ${width}x${height}"
echo "test-packages: all checks passed"
