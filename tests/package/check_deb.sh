#!/usr/bin/env bash
# The Debian package, made from this build tree with CPack and unpacked into
# a scratch root with dpkg -x: its files, its declared dependencies against
# the libraries the installed program really needs, the desktop entry, the
# icon and the manual page.
#
#   check_deb.sh BUILD_DIR CPACK WORK
set -uo pipefail
build=$1 cpack=$2 work=$3
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work" && mkdir -p "$work" || exit 1
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  fail "cpack failed: $(tail -n 20 "$work/cpack.log")"
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one package, got: ${debs[*]}"
deb=${debs[0]}

# Control fields.
[ "$(dpkg-deb -f "$deb" Package)" = drmorvel ] || fail "package name $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "section $(dpkg-deb -f "$deb" Section)"
depends=$(dpkg-deb -f "$deb" Depends)
[ "$depends" = "libsdl2-2.0-0, libjpeg62-turbo, libgl1" ] || fail "Depends: $depends"

# Exactly these files, nothing else.
root=$work/root
dpkg -x "$deb" "$root" || fail "dpkg -x failed"
data=usr/share/drmorvel-by-quenlo/data
expected=$(printf '%s\n' usr/games/drmorvel \
  $data/funkka.jpg $data/funker.jpg $data/70skugga.jpg $data/morvelite.jpg \
  $data/tahti.jpg $data/tekstit.jpg $data/miehet.jpg $data/zurivovariv.mod \
  usr/share/applications/drmorvel.desktop \
  usr/share/icons/hicolor/256x256/apps/drmorvel.png usr/share/icons/hicolor/48x48/apps/drmorvel.png \
  usr/share/man/man6/drmorvel.6.gz | sort)
actual=$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort)
[ "$actual" = "$expected" ] || fail "files differ from the expected list:
$(diff <(echo "$expected") <(echo "$actual"))"

# The program: executable, reading the installed data set, and needing no
# library beyond those declared and the C and C++ run-time every system has.
bin=$root/usr/games/drmorvel
[ -x "$bin" ] || fail "the program is not executable"
grep -q -a -F '/usr/share/drmorvel-by-quenlo/data/' "$bin" || fail "the program does not read the installed data set"
grep -q -a -F "$build" "$bin" && fail "the program names the build directory"
declared=" libsdl2-2.0-0 libjpeg62-turbo libgl1 "
runtime=" libc6 libstdc++6 libgcc-s1 "
used=""
needed=$(objdump -p "$bin" | awk '$1 == "NEEDED" { print $2 }')
[ -n "$needed" ] || fail "objdump lists no library the program needs"
for lib in $needed; do
  # The file the loader picks here, and the package that holds it.
  path=$(ldd "$bin" | awk -v lib="$lib" '$1 == lib && $2 == "=>" { print $3 }')
  [ -n "$path" ] || fail "$lib is not found on this system"
  owner=$( (dpkg -S "$path" || dpkg -S "$(readlink -f "$path")") 2>/dev/null | head -n 1 | cut -d: -f1)
  [ -n "$owner" ] || fail "no installed package holds $path"
  case "$declared$runtime" in
    *" $owner "*) used="$used $owner " ;;
    *) fail "$lib comes from $owner, which Depends does not name" ;;
  esac
done
for p in $declared; do
  case "$used" in *" $p "*) ;; *) fail "Depends names $p, which the program does not use" ;; esac
done

# The desktop entry starts the installed program in full screen (no
# argument) with the installed icon, as a game.
entry=$root/usr/share/applications/drmorvel.desktop
field() { sed -n "s/^$1=//p" "$entry"; }
[ "$(head -n 1 "$entry")" = "[Desktop Entry]" ] || fail "desktop entry header"
[ "$(field Type)" = Application ] || fail "desktop entry type"
[ "$(field Name)" = "Dr Morvel by Quenlo" ] || fail "desktop entry name"
[ "$(field Exec)" = /usr/games/drmorvel ] || fail "desktop entry Exec: $(field Exec)"
[ "$(field Icon)" = drmorvel ] || fail "desktop entry Icon: $(field Icon)"
case ";$(field Categories)" in *";Game;"*) ;; *) fail "desktop entry Categories: $(field Categories)" ;; esac
grep -q '@' "$entry" && fail "desktop entry has an unfilled placeholder"

# The icons: PNG files of their directory's size, with alpha.
for size in 256 48; do
  png=$root/usr/share/icons/hicolor/${size}x$size/apps/drmorvel.png
  read -r -a b < <(od -An -tu1 -v -N26 "$png" | tr -s ' \n' ' ')
  [ "${b[1]} ${b[2]} ${b[3]}" = "80 78 71" ] || fail "$png is not a PNG"
  width=$(( (b[16] << 24) | (b[17] << 16) | (b[18] << 8) | b[19] ))
  height=$(( (b[20] << 24) | (b[21] << 16) | (b[22] << 8) | b[23] ))
  [ "$width x $height" = "$size x $size" ] || fail "$png is $width x $height"
  [ "${b[25]}" = 6 ] || fail "$png has no alpha (colour type ${b[25]})"
done

# The manual page: section 6, with the option, the keys, the exit
# statuses and the data directory, and without troff warnings.
man=$work/drmorvel.6
gzip -dc "$root/usr/share/man/man6/drmorvel.6.gz" >"$man" || fail "the manual page is not gzip"
grep -q '^\.TH DRMORVEL 6 ' "$man" || fail "manual page title"
for text in '\-w' 'EXIT STATUS' 'Escape' '/usr/share/drmorvel-by-quenlo/data/'; do
  grep -q -F -- "$text" "$man" || fail "the manual page lacks $text"
done
if command -v groff >/dev/null; then
  warnings=$(groff -man -ww -z "$man" 2>&1)
  [ -z "$warnings" ] || fail "troff warnings: $warnings"
fi
echo "ok: $(basename "$deb")"
