#!/usr/bin/env bash
# The release end to end: `make dist` (tools/make-dist), the contents of both
# portable zips, and the x64 setup program from dist/ installing, upgrading
# and uninstalling Proxanto in the project's private 64-bit Wine prefix, with
# the installed program running and driven by proxanto_drive.exe. Where this
# host runs 32-bit programs (tools/wine-arch), the first install is the x86
# setup program's and the x64 one upgrades it; elsewhere the x64 one
# upgrades its own install.
#
# Needs the win32 and the win64 builds.
set -u
test_dir=$(cd "$(dirname "$0")" && pwd)
# Shortcuts made under Wine must not become menu entries of the host's desktop.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}
export PROXANTO_WINE_ARCH=win64
. "$test_dir/../../tools/wine-session"
build=$root/build/win64

failures=0
checks=0
check() {  # what is checked, then a command that succeeds when it holds
  local what=$1
  shift
  checks=$((checks + 1))
  if "$@"; then
    echo "  ok: $what"
  else
    echo "  FAILED: $what"
    failures=$((failures + 1))
  fi
}
fail() {
  echo "dist test: $*" >&2
  exit 1
}
ends_with_text() { tail -n 3 "$1" | tr -d '\r' | grep -qx "$2"; }
# The release's database: valid and without entries, so that the first
# start offers the download.
empty_database() { [ "$(tr -d '\r' <"$1")" = $'[IP]\ncount=0' ]; }
files_of() { (cd "$1" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort | tr '\n' ' '); }

echo "== make dist"
t0=$(date +%s)
"$root/tools/make-dist" >/dev/null || fail "make dist failed"
echo "  make dist took $(($(date +%s) - t0)) s"
version=$(cat "$build/version.txt")
release() { echo "$root/dist/proxanto-$version-$1"; }
check "dist/ holds the x64 and the x86 zip and setup program, named after version $version" \
  test "$(files_of "$root/dist")" = "proxanto-$version-x64-portable.zip proxanto-$version-x64-setup.exe \
proxanto-$version-x86-portable.zip proxanto-$version-x86-setup.exe "
check "the x64 setup program is a 64-bit program, the x86 one a 32-bit one" \
  python3 - "$(release x64-setup.exe)" "$(release x86-setup.exe)" <<'PY'
import struct, sys
def machine(path):
    head = open(path, "rb").read(4096)
    pe = struct.unpack_from("<I", head, 0x3C)[0]
    return struct.unpack_from("<H", head, pe + 4)[0]
sys.exit(0 if [machine(p) for p in sys.argv[1:]] == [0x8664, 0x14C] else 1)
PY

unzipped=$(mktemp -d)
trap 'rm -rf "$unzipped"' EXIT
IFS=. read -r major minor patch <<<"$version"
for arch in x64 x86; do
  [ "$arch" = x64 ] && program=win64 bits=64 || program=win32 bits=32
  echo "== the $arch portable zip"
  zip=$(release "$arch-portable.zip")
  python3 -m zipfile -e "$zip" "$unzipped/$arch" || fail "cannot unpack $zip"
  check "holds exactly proxanto.exe, ip.ini and README.txt" \
    test "$(files_of "$unzipped/$arch")" = "README.txt ip.ini proxanto.exe "
  check "its proxanto.exe is the $bits-bit build" \
    cmp -s "$unzipped/$arch/proxanto.exe" "$root/build/$program/proxanto.exe"
  check "its ip.ini is an empty database" empty_database "$unzipped/$arch/ip.ini"
  check "its version record reads $major,$minor,0,$patch and $(printf '%d.%02d.%04d' "$major" "$minor" "$patch")" \
    python3 - "$unzipped/$arch/proxanto.exe" "$major" "$minor" "$patch" <<'PY'
import struct, sys
exe = open(sys.argv[1], "rb").read()
major, minor, patch = map(int, sys.argv[2:])
# VS_FIXEDFILEINFO, after the record's name: signature, structure version,
# then the file version.
record = exe.index("VS_VERSION_INFO".encode("utf-16-le"))
fixed = exe.index(struct.pack("<I", 0xFEEF04BD), record)
file_ms, file_ls = struct.unpack_from("<II", exe, fixed + 8)
text = "%d.%02d.%04d" % (major, minor, patch)
ok = (file_ms, file_ls) == (major << 16 | minor, patch) and \
    exe.count(text.encode("utf-16-le") + b"\0\0") == 2  # FileVersion, ProductVersion
sys.exit(0 if ok else 1)
PY
  check "its README.txt names version $version, $bits-bit" \
    grep -q "^Proxanto $version ($bits-bit)" "$unzipped/$arch/README.txt"
done

# The first install is the x86 setup program's where 32-bit programs run:
# the x64 one then upgrades a 32-bit install, as on a user's machine.
arches=$("$root/tools/wine-arch") || fail "cannot tell which programs Wine runs here"
if [[ " $arches " == *" win32 "* ]]; then
  first=x86 first_program=win32 first_bits=32 first_wine=/usr/lib/wine/wine
else
  first=x64 first_program=win64 first_bits=64 first_wine=$WINE
fi
setup=$(release x64-setup.exe)

trap 'rm -rf "$unzipped"; wine_session_stop' EXIT
trap 'exit 130' INT TERM
wine_session_start || fail "no Wine session"

drive() {
  "$WINE" "$build/proxanto_drive.exe" "$@" </dev/null | tr -d '\r'
  return "${PIPESTATUS[0]}"
}
windows() { "$WINE" cmd /c echo "$1" </dev/null | tr -d '\r'; }
unix_path() { "$WINE" winepath -u "$1" </dev/null | tr -d '\r'; }
reg_value() {  # key, value name[, /reg:32 or /reg:64]: the data, exit code 1 when absent
  "$WINE" reg query "$1" /v "$2" "${@:3}" </dev/null 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 \+REG_[A-Z_]\+ *//p" | grep .
}
reg_key() { "$WINE" reg query "$1" "${@:2}" </dev/null >/dev/null 2>&1; }
# Starts the installed program as a user would, from the Start menu.
start_from_menu() {
  setsid "$WINE" start "$shortcut_win" </dev/null >/dev/null 2>&1 &
  drive started >/dev/null
}

install_win="$(windows %LOCALAPPDATA%)\\Programs\\Proxanto"
install=$(unix_path "$install_win")
shortcut_win="$(windows %APPDATA%)\\Microsoft\\Windows\\Start Menu\\Programs\\Proxanto.lnk"
shortcut=$(unix_path "$shortcut_win")
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Proxanto'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
runonce_key='HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce'
internet_settings='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
machine_key='HKLM\Software\Marvedo\Quillet'
user_key='HKCU\Software\Marvedo\Quillet'
virtual_store='HKCU\Software\Classes\VirtualStore\MACHINE\SOFTWARE'
[ -n "$install" ] && [ -n "$shortcut" ] || fail "cannot find the user's folders in $WINEPREFIX"

# What a run leaves in the prefix, which the Wine suites share: removed
# before and after.
clean_prefix() {
  rm -rf "$install" "$shortcut"
  for key in "$uninstall_key" "$user_key"; do
    "$WINE" reg delete "$key" /f >/dev/null 2>&1 </dev/null
  done
  for view in 32 64; do
    "$WINE" reg delete "$machine_key" /f /reg:$view >/dev/null 2>&1 </dev/null
  done
  for key in "$run_key" "$runonce_key"; do
    "$WINE" reg delete "$key" /v Proxanto /f >/dev/null 2>&1 </dev/null
  done
  "$WINE" reg delete "$internet_settings" /v ProxyServer /f >/dev/null 2>&1 </dev/null
  "$WINE" reg add "$internet_settings" /v ProxyEnable /t REG_DWORD /d 0 /f >/dev/null </dev/null
}
clean_prefix
trap 'rm -rf "$unzipped"; clean_prefix; wine_session_stop' EXIT
plant_setting() {  # key[, /reg:32 or /reg:64]: a language setting there
  "$WINE" reg add "$1" /v lang /d 100 /f "${@:2}" >/dev/null </dev/null || fail "cannot write $*"
}

# Uninstall.exe copies itself away and returns at once: the Apps entry goes
# last, so its going means the uninstaller is done.
uninstall() {
  "$WINE" "$install/uninstall.exe" /S </dev/null || return 1
  local deadline=$((SECONDS + 30))
  while [ "$SECONDS" -lt "$deadline" ]; do
    reg_key "$uninstall_key" || return 0
    sleep 0.25
  done
  echo "  the uninstaller did not finish within 30 s"
  return 1
}

echo "== silent install ($first setup program)"
check "setup /S succeeds" "$first_wine" "$(release "$first-setup.exe")" /S </dev/null
check "the folder holds exactly proxanto.exe, ip.ini, README.txt and uninstall.exe" \
  test "$(files_of "$install")" = "README.txt ip.ini proxanto.exe uninstall.exe "
check "proxanto.exe is the $first_bits-bit build" \
  cmp -s "$install/proxanto.exe" "$root/build/$first_program/proxanto.exe"
check "ip.ini is an empty database" empty_database "$install/ip.ini"
check "the Start menu has the shortcut" test -f "$shortcut"
check "the Apps list has Proxanto ($first_bits-bit) $version by Marvedo" \
  eval '[ "$(reg_value "$uninstall_key" DisplayName)" = "Proxanto ($first_bits-bit)" ] &&
        [ "$(reg_value "$uninstall_key" DisplayVersion)" = "$version" ] &&
        [ "$(reg_value "$uninstall_key" Publisher)" = Marvedo ]'
check "with icon, size and uninstall command" \
  eval '[ "$(reg_value "$uninstall_key" DisplayIcon)" = "$install_win\\proxanto.exe" ] &&
        [ "$(reg_value "$uninstall_key" UninstallString)" = "\"$install_win\\uninstall.exe\"" ] &&
        [ $(($(reg_value "$uninstall_key" EstimatedSize))) -gt 0 ]'
check "starting with Windows is off by default" eval '! reg_value "$run_key" Proxanto >/dev/null'
# A database as Update brings it.
cp "$root/tools/sample-ip.ini" "$install/ip.ini"
check "the shortcut starts the installed program, which sets a proxy" start_from_menu
check "the running program is the installed one" \
  eval '[ "$(drive running | tr A-Z a-z)" = "$(echo "$install_win\\proxanto.exe" | tr A-Z a-z)" ]'

echo "== upgrade to x64 while the program runs, over an ip.ini with a block mark"
printf '0_block=1\r\n' >>"$install/ip.ini"
cp "$install/ip.ini" "$unzipped/before-upgrade.ini"
plant_setting "$user_key"
check "setup /S /AUTOSTART=1 succeeds" "$WINE" "$setup" /S /AUTOSTART=1 </dev/null
check "the running program was ended by its exit sequence" \
  eval '! drive running >/dev/null && [ "$(drive proxy)" = "ProxyEnable=0 ProxyServer=(none)" ]'
check "proxanto.exe is the 64-bit build, and the Apps list says so" \
  eval 'cmp -s "$install/proxanto.exe" "$build/proxanto.exe" &&
        [ "$(reg_value "$uninstall_key" DisplayName)" = "Proxanto (64-bit)" ]'
check "ip.ini, block mark and all, and the settings are kept" \
  eval 'cmp -s "$install/ip.ini" "$unzipped/before-upgrade.ini" &&
        [ "$(reg_value "$user_key" lang)" = 100 ]'
check "Proxanto now starts with Windows" \
  eval '[ "$(reg_value "$run_key" Proxanto)" = "\"$install_win\\proxanto.exe\"" ]'

echo "== uninstall after the program died with a proxy applied"
{ "$WINE" reg add "$internet_settings" /v ProxyEnable /t REG_DWORD /d 1 /f &&
  "$WINE" reg add "$internet_settings" /v ProxyServer /d 192.0.2.8:80 /f &&
  "$WINE" reg add "$user_key" /v applied_proxy /d 192.0.2.8:80 /f &&
  "$WINE" reg add "$runonce_key" /v Proxanto /d "\"$install_win\\proxanto.exe\" /recover" /f
} >/dev/null </dev/null || fail "cannot write what a program that died leaves"
check "uninstall.exe /S succeeds" uninstall
check "the proxy is switched off, the Run and RunOnce values gone" \
  eval '[ "$(drive proxy)" = "ProxyEnable=0 ProxyServer=(none)" ] &&
        ! reg_value "$run_key" Proxanto >/dev/null && ! reg_value "$runonce_key" Proxanto >/dev/null'

echo "== silent uninstall while the program runs"
check "setup /S /AUTOSTART=1 again keeps ip.ini" \
  eval '"$WINE" "$setup" /S /AUTOSTART=1 </dev/null &&
        cmp -s "$install/ip.ini" "$unzipped/before-upgrade.ini"'
check "the program runs again and sets a proxy" start_from_menu
cp "$install/ip.ini" "$install/ip_backup.ini"
# The settings an administrator set for every user, in the views of the
# 64-bit and the 32-bit program; the user's own; and the copies Windows kept
# of a standard user's writes by an earlier 32-bit version.
plant_setting "$machine_key" /reg:64
plant_setting "$machine_key" /reg:32
plant_setting "$user_key"
plant_setting "$virtual_store\\Marvedo\\Quillet"
plant_setting "$virtual_store\\WOW6432Node\\Marvedo\\Quillet"
check "uninstall.exe /S succeeds" uninstall
check "the program has ended" eval '! drive running >/dev/null'
check "ProxyEnable is 0 and ProxyServer absent" \
  test "$(drive proxy)" = "ProxyEnable=0 ProxyServer=(none)"
check "only ip.ini, with its block mark, and ip_backup.ini are left" \
  eval '[ "$(files_of "$install")" = "ip.ini ip_backup.ini " ] && ends_with_text "$install/ip.ini" 0_block=1'
check "the shortcut is gone" test ! -e "$shortcut"
check "the Run and RunOnce values are gone" \
  eval '! reg_value "$run_key" Proxanto >/dev/null && ! reg_value "$runonce_key" Proxanto >/dev/null'
check "the Apps entry is gone" eval '! reg_key "$uninstall_key"'
check "the user's settings and their virtual-store copies are gone" \
  eval '! reg_key "HKCU\Software\Marvedo" &&
        ! reg_key "$virtual_store\\Marvedo" && ! reg_key "$virtual_store\\WOW6432Node\\Marvedo"'
check "the machine's settings, shared by every user, are kept in both views" \
  eval '[ "$(reg_value "$machine_key" lang /reg:64)" = 100 ] &&
        [ "$(reg_value "$machine_key" lang /reg:32)" = 100 ]'

echo
echo "dist: $((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
