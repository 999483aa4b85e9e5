#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Packaging test: builds the amd64 and i386 Debian packages (scripts/package),
# then checks what they hold and say: the shipped library's fixed paths and
# lack of test hooks, computed dependencies, Multi-Arch, the ldconfig trigger,
# hardening, debug symbols, reproducible times, the symbols file against the
# built library, lintian, co-installation of the two architectures, and
# relocatable installs (a consumer built with pkg-config and with CMake).
# Exit status: 0 passed, 1 failed.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
scratch=$top/build/pkg-test
rm -rf "$scratch"
mkdir -p "$scratch"
debs=$scratch/debs
failures=0

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
check() {  # description, command...
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
not() { ! "$@"; }

echo "== build the packages"
scripts/package --out "$debs" amd64 i386
version=$(dpkg-parsechangelog -l debian/changelog -SVersion)
epoch=$(dpkg-parsechangelog -l debian/changelog -STimestamp)
deb() { echo "$debs/$1_${version}_$2.deb"; }
field() { dpkg-deb -f "$1" "$2"; }
contents() { dpkg-deb -c "$1" | awk '{print $6}' | sed 's|^\./|/|'; }
declare -A triplet=([amd64]=x86_64-linux-gnu [i386]=i386-linux-gnu)

echo "== package metadata"
for arch in amd64 i386; do
  t=${triplet[$arch]}
  lib=$(deb libzerir2settings1 $arch) dev=$(deb libzerir2settings-dev $arch) tool=$(deb zerir2-settings $arch)
  for p in libzerir2settings1 libzerir2settings-dev zerir2-settings libzerir2settings1-dbgsym zerir2-settings-dbgsym; do
    check "$p $arch built" test -f "$(deb $p $arch)"
  done
  check "$arch: Multi-Arch same, same, foreign" \
    test "$(field "$lib" Multi-Arch) $(field "$dev" Multi-Arch) $(field "$tool" Multi-Arch)" = "same same foreign"
  # Computed by dpkg-shlibdeps: lower bounds from the symbols the binaries use,
  # not the versions installed on the build machine.
  libc=$(dpkg-query -W -f='${Version}' "libc6:$arch" 2>/dev/null || true)
  check "$arch: library depends on libc6 and libstdc++6, below the build machine's libc6 $libc" \
    bash -c '[[ $1 =~ ^libc6\ \(\>=\ ([0-9.]+)\),\ libstdc\+\+6\ \(\>=\ [0-9.]+\)$ ]] &&
             dpkg --compare-versions "${BASH_REMATCH[1]}" lt "$2"' _ "$(field "$lib" Depends)" "${libc:-9}"
  check "$arch: tool depends on the library through its shlibs" \
    grep -qE '(^|, )libzerir2settings1 \(>= [0-9.]+\)' <<<"$(field "$tool" Depends)"
  check "$arch: -dev depends on the same library version" \
    grep -qx "libzerir2settings1 (= $version)" <<<"$(field "$dev" Depends)"
  ctrl=$scratch/ctrl-$arch
  dpkg-deb -e "$lib" "$ctrl"
  check "$arch: ldconfig by trigger, no maintainer script" \
    bash -c 'grep -qx "activate-noawait ldconfig" "$1/triggers" && ! ls "$1"/post* "$1"/pre* 2>/dev/null' _ "$ctrl"
  check "$arch: the symbols control file lists every symbol of abi/" \
    scripts/check-abi --symbols "$ctrl/symbols" "abi/$([ $arch = i386 ] && echo i386 || echo x86_64).txt"
  for d in "$lib" "$dev" "$tool"; do
    p=$(field "$d" Package)
    check "$p $arch: copyright and changelog" bash -c 'grep -qx "$1" <<<"$3" && grep -qx "$2" <<<"$3"' _ \
      "/usr/share/doc/$p/copyright" "/usr/share/doc/$p/changelog.Debian.gz" "$(contents "$d")"
    check "$p $arch: no file newer than the changelog (SOURCE_DATE_EPOCH)" bash -c '
      dpkg-deb --fsys-tarfile "$1" | TZ=UTC tar -t --full-time -v |
        awk -v e="$2" "\$4 \" \" \$5 > e { print \"  newer: \" \$6; bad = 1 } END { exit bad }"' \
      _ "$d" "$(date -u -d "@$epoch" '+%F %T')"
    check "$p $arch: nothing under /opt or /var/opt" bash -c '! grep -qE "^/(var/)?opt(/|$)" <<<"$1"' _ "$(contents "$d")"
  done
  check "$arch: samples in /usr/share/zerir2settings" \
    grep -qx /usr/share/zerir2settings/orvi17.sty <<<"$(contents "$tool")"
  root=$scratch/root-$arch
  for d in "$lib" "$dev" "$tool"; do dpkg -x "$d" "$root"; done
done

echo "== the shipped library: real fixed paths, no test hooks, hardened"
# A fixed path must stand at the start of a text (it may follow a separator
# such as ","), never after a directory: that would be a redirected test root.
shipped_path() {  # texts, path
  local hits
  hits=$(grep -oE "[^[:space:]]*$2" <<<"$1" || true)
  [ -n "$hits" ] || { echo "  no text holds $2" >&2; return 1; }
  if grep -E "/.*$2" <<<"$hits" | grep -q .; then echo "  $2 under a prefix: $hits" >&2; return 1; fi
}
for arch in amd64 i386; do
  so=$scratch/root-$arch/usr/lib/${triplet[$arch]}/libzerir2settings.so.1.0.0
  texts=$(strings -a "$so")
  for p in /var/opt/zerir2/users/ /opt/zerir2/share/for_guest/ /opt/zerir2/share/original/orvi17.sty; do
    check "$arch: library names $p as shipped" shipped_path "$texts" "$p"
  done
  check "$arch: no build-tree path in the library" bash -c '! grep -qF "$1" <<<"$2"' _ "$top" "$texts"
  check "$arch: no fault-injection hooks" bash -c '! nm -D "$1" | grep -q zerir2_fault_' _ "$so"
  check "$arch: library has the soname libzerir2settings.so.1" \
    grep -q 'Library soname: \[libzerir2settings.so.1\]' <<<"$(readelf -d "$so")"
  for bin in "$so" "$scratch/root-$arch/usr/bin/zerir2-settings"; do
    check "$arch $(basename "$bin"): BIND_NOW, RELRO, stack protector, FORTIFY" bash -c '
      readelf -d "$1" | grep -qE "FLAGS.*(BIND_NOW|NOW)" && readelf -lW "$1" | grep -q GNU_RELRO &&
      nm -D "$1" | grep -q "__stack_chk_fail" && nm -D "$1" | grep -qE "__[a-z]+_chk(@|$)"' _ "$bin"
    check "$arch $(basename "$bin"): no run path" bash -c '! readelf -d "$1" | grep -qiE "rpath|runpath"' _ "$bin"
  done
done

echo "== the packaged tool and its manual page"
r=$scratch/root-amd64 libdir=$scratch/root-amd64/usr/lib/x86_64-linux-gnu
check "manual page formats without warnings" \
  bash -c 'test -z "$(zcat "$1" | groff -k -man -Tutf8 -ww -z 2>&1)"' _ "$r/usr/share/man/man1/zerir2-settings.1.gz"
# Every command the tool lists has its entry in the manual page.
man_commands() {
  local cmds page missing=""
  cmds=$(LD_LIBRARY_PATH="$libdir" "$r/usr/bin/zerir2-settings" --help | awk '/^commands:/ {on = 1; next} on && /^  [a-z]/ {print $1}')
  [ -n "$cmds" ] || { echo "  the tool lists no commands" >&2; return 1; }
  page=$(zcat "$r/usr/share/man/man1/zerir2-settings.1.gz" | groff -k -man -Tutf8 -P-cbou 2>/dev/null)
  for c in $cmds; do grep -qE "^       $c( |$)" <<<"$page" || missing+=" $c"; done
  [ -z "$missing" ] || { echo "  not in the manual page:$missing" >&2; return 1; }
}
check "manual page describes every command of the tool" man_commands

echo "== symbols: a symbol the symbols file does not list fails the package build"
grep -qE '^export DPKG_GENSYMBOLS_CHECK_LEVEL = 4$' debian/rules || fail "debian/rules does not make symbol changes fatal"
so=$scratch/root-amd64/usr/lib/x86_64-linux-gnu/libzerir2settings.so.1.0.0
gensymbols() {  # symbols file
  (cd "$scratch" && mkdir -p gs/debian && cp "$top/debian/changelog" "$top/debian/control" gs/debian/ &&
   cd gs && dpkg-gensymbols -c4 -q -plibzerir2settings1 -P"$scratch/root-amd64" -e"$so" -I"$1" -O/dev/null >/dev/null 2>&1)
}
sed '3d' debian/libzerir2settings1.symbols >"$scratch/one-less.symbols"
sed '3s/@Base/_gone@Base/' debian/libzerir2settings1.symbols >"$scratch/one-changed.symbols"
check "the checked-in symbols file matches the built library" gensymbols "$top/debian/libzerir2settings1.symbols"
check "a symbol added without a symbols change is refused" not gensymbols "$scratch/one-less.symbols"
check "a changed symbol is refused" not gensymbols "$scratch/one-changed.symbols"

echo "== lintian on every .deb, .changes and .buildinfo"
lint=$scratch/lintian.txt
# --fail-on: a non-zero status for any error or warning (or lintian failing).
check "lintian reports no error and no warning" \
  lintian --fail-on error,warning --display-level ">=info" "$debs"/*.changes "$debs"/*.buildinfo "$debs"/*.deb \
  >"$lint" 2>&1
grep -E '^[EW]: ' "$lint" >&2 || true
sed -n 's/^\([IPXC]\): .*: \([a-z0-9-]*\).*/  remaining \1: \2/p' "$lint" | sort | uniq -c

echo "== co-installation: amd64 and i386 share only identical files"
for p in libzerir2settings1 libzerir2settings-dev; do
  for arch in amd64 i386; do
    mkdir -p "$scratch/co-$p-$arch" && dpkg -x "$(deb $p $arch)" "$scratch/co-$p-$arch"
    (cd "$scratch/co-$p-$arch" && find . -type f -o -type l | LC_ALL=C sort) >"$scratch/co-$p-$arch.list"
  done
  shared=$(LC_ALL=C comm -12 "$scratch/co-$p-amd64.list" "$scratch/co-$p-i386.list")
  differ=""
  while read -r f; do
    [ -n "$f" ] || continue
    a=$scratch/co-$p-amd64/$f b=$scratch/co-$p-i386/$f
    if [ -L "$a" ] || [ -L "$b" ]; then [ "$(readlink "$a")" = "$(readlink "$b")" ] || differ+=" $f"
    else cmp -s "$a" "$b" || differ+=" $f"; fi
  done <<<"$shared"
  check "$p: $(wc -l <<<"$shared") shared files, all identical${differ:+ (differ:$differ)}" test -z "$differ"
  check "$p: the library folders differ by architecture" \
    bash -c '! grep -q "/lib/" <<<"$1"' _ "$shared"
done

echo "== relocatable installs: pkg-config and CMake consumers"
inside() {  # prefix, flags...: every -I/-L folder lies in prefix
  local pre=$1 f d; shift
  pre=$(realpath "$pre")
  for f in "$@"; do
    case $f in -I*|-L*) d=$(realpath -m "${f:2}"); [[ $d == "$pre"/* ]] || { echo "  $f is outside $pre" >&2; return 1; } ;; esac
  done
}
consumer() {  # install prefix, its library folder, name
  local pre=$1 libdir=$2 name=$3 b=$scratch/consumer-$3 pc
  pc=$(PKG_CONFIG_PATH=$libdir/pkgconfig PKG_CONFIG_LIBDIR= pkg-config --cflags --libs zerir2settings)
  check "$name: pkg-config flags lie in $pre" inside "$pre" $pc
  cp -r examples/consumer "$b-src"
  PKG_CONFIG_PATH=$libdir/pkgconfig PKG_CONFIG_LIBDIR= make -s -C "$b-src" consumer >"$b.log" 2>&1 ||
    { cat "$b.log"; fail "$name: pkg-config build"; }
  cmake -S "$b-src" -B "$b-cmake" -DCMAKE_PREFIX_PATH="$pre" >>"$b.log" 2>&1 && cmake --build "$b-cmake" >>"$b.log" 2>&1 ||
    { cat "$b.log"; fail "$name: CMake build"; }
  check "$name: find_package found the package in $pre" \
    grep -qx "zerir2settings_DIR:PATH=$libdir/cmake/zerir2settings" "$b-cmake/CMakeCache.txt"
  for exe in "$b-src/consumer" "$b-cmake/consumer"; do
    check "$name: $(basename "$(dirname "$exe")") uses $libdir and reads a profile" bash -c '
      LD_LIBRARY_PATH=$2 ldd "$1" | grep -q "libzerir2settings.so.1 => $2/" &&
      test "$(LD_LIBRARY_PATH=$2 "$1" "$3")" = "$4"' _ "$exe" "$libdir" "$profile" "$expected"
  done
}
# A profile with known values: the key that appears twice keeps the second
# value, a reopened section adds to the first, a CR LF line loses the CR.
profile=$scratch/zerir2.ven
printf '%s\n' '[環境]' '[入力・変換]' '漢字入力モード=Ｒ漢' 'コード体系=JIS' '[辞書・学習]' '[入力・変換]' \
  '漢字入力モード=カナ漢' >"$profile"
printf '入力文字種=全角カタカナ\r\n' >>"$profile"
expected=$'漢字入力モード=カナ漢\n入力文字種=全角カタカナ\nコード体系=JIS'
consumer "$scratch/root-amd64/usr" "$scratch/root-amd64/usr/lib/x86_64-linux-gnu" unpacked
sed 's|^prefix=.*|prefix=/elsewhere|' "$scratch/root-amd64/usr/lib/x86_64-linux-gnu/pkgconfig/zerir2settings.pc" \
  >"$scratch/outside.pc"
check "a .pc pointing outside the prefix is caught" \
  not inside "$scratch/root-amd64" $(pkg-config --cflags --libs "$scratch/outside.pc") 2>/dev/null
# The README's plain build, installed under a prefix: the shipped library, the
# tool finding it beside itself.
if [ -f build/native/CMakeCache.txt ]; then
  x=$scratch/prefix
  cmake --install build/native --prefix "$x" >"$scratch/install.log" 2>&1 || { cat "$scratch/install.log"; fail "install of build/native"; }
  xlib=$x/$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' build/native/CMakeCache.txt)
  consumer "$x" "$xlib" prefix
  check "prefix: the installed tool runs without LD_LIBRARY_PATH" bash -c '"$1" --help | grep -q "^usage: zerir2-settings"' _ "$x/bin/zerir2-settings"
  check "prefix: the installed library is the shipped one" shipped_path "$(strings -a "$xlib/libzerir2settings.so.1.0.0")" /opt/zerir2/share/original/orvi17.sty
  check "prefix: no test library or test tool installed" bash -c '! grep -q testroot "$1"' _ "$top/build/native/install_manifest.txt"
else
  echo "SKIP (prefix install): no build/native (scripts/test-all builds it)"
fi

if [ $failures -gt 0 ]; then echo "packaging test: $failures check(s) failed" >&2; exit 1; fi
echo "packaging test: passed"
