#!/usr/bin/env bash
# The release end to end: `make dist` (tools/make-dist), the portable zip's
# contents, and the setup program installing, upgrading and uninstalling
# Proxanto in the project's private Wine prefix, with the installed program
# running and driven by proxanto_drive.exe.
#
# Where Wine runs 32-bit programs the setup program under test is the one in
# dist/. Where it cannot (tools/wine-arch says win64), it is the same script
# built for amd64 around the 64-bit build, into build/win64/dist/.
#
# Needs the win32 build (what dist/ ships) and the build of tools/wine-arch.
set -u
test_dir=$(cd "$(dirname "$0")" && pwd)
# Shortcuts made under Wine must not become menu entries of the host's desktop.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}
. "$test_dir/../../tools/wine-session"
build=$root/build/$wine_arch

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
same_text() { cmp -s <(tr -d '\r' <"$1") <(tr -d '\r' <"$2"); }
ends_with_text() { tail -n 3 "$1" | tr -d '\r' | grep -qx "$2"; }

echo "== make dist"
t0=$(date +%s)
"$root/tools/make-dist" >/dev/null || fail "make dist failed"
echo "  make dist took $(($(date +%s) - t0)) s"
version=$(cat "$root/build/win32/version.txt")
zip=$root/dist/proxanto-$version-portable.zip
check "dist/ holds the zip and the setup program named after version $version" \
  test -f "$zip" -a -f "$root/dist/proxanto-$version-setup.exe"

echo "== the portable zip"
unzipped=$(mktemp -d)
trap 'rm -rf "$unzipped"' EXIT
python3 -m zipfile -e "$zip" "$unzipped" || fail "cannot unpack $zip"
check "holds exactly proxanto.exe, ip.ini and README.txt" \
  test "$(cd "$unzipped" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort | tr '\n' ' ')" = \
  "README.txt ip.ini proxanto.exe "
check "its proxanto.exe is the shipped 32-bit build" \
  cmp -s "$unzipped/proxanto.exe" "$root/build/win32/proxanto.exe"
check "its ip.ini is the sample, documentation addresses only" \
  eval 'same_text "$unzipped/ip.ini" "$root/tools/sample-ip.ini" &&
        ! grep -E "^[0-9]+=" "$unzipped/ip.ini" | grep -vE "=(192\.0\.2|198\.51\.100|203\.0\.113)\."'
IFS=. read -r major minor patch <<<"$version"
check "its version record reads $major,$minor,0,$patch and $(printf '%d.%02d.%04d' "$major" "$minor" "$patch")" \
  python3 - "$unzipped/proxanto.exe" "$major" "$minor" "$patch" <<'PY'
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
check "its README.txt names version $version" grep -q "^Proxanto $version" "$unzipped/README.txt"

if [ "$wine_arch" = win32 ]; then
  setup=$root/dist/proxanto-$version-setup.exe
else
  "$root/tools/make-dist" win64 "$build/dist" >/dev/null || fail "cannot build the amd64 setup program"
  setup=$build/dist/proxanto-$version-setup.exe
fi

trap 'rm -rf "$unzipped"; wine_session_stop' EXIT
trap 'exit 130' INT TERM
wine_session_start || fail "no Wine session"

drive() {
  "$WINE" "$build/proxanto_drive.exe" "$@" </dev/null | tr -d '\r'
  return "${PIPESTATUS[0]}"
}
windows() { "$WINE" cmd /c echo "$1" </dev/null | tr -d '\r'; }
unix_path() { "$WINE" winepath -u "$1" </dev/null | tr -d '\r'; }
reg_value() {  # key, value name: the value's data, exit code 1 when absent
  "$WINE" reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r' |
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
settings_key='HKLM\Software\Marvedo\Quillet'
record_key='HKCU\Software\Marvedo\Quillet'
virtual_store='HKCU\Software\Classes\VirtualStore\MACHINE\SOFTWARE'
[ -n "$install" ] && [ -n "$shortcut" ] || fail "cannot find the user's folders in $WINEPREFIX"

# What an earlier run left in the prefix.
rm -rf "$install" "$shortcut"
for key in "$uninstall_key" "$settings_key" "$record_key"; do
  "$WINE" reg delete "$key" /f >/dev/null 2>&1 </dev/null
done
for key in "$run_key" "$runonce_key"; do
  "$WINE" reg delete "$key" /v Proxanto /f >/dev/null 2>&1 </dev/null
done
"$WINE" reg delete "$internet_settings" /v ProxyServer /f >/dev/null 2>&1 </dev/null
"$WINE" reg add "$internet_settings" /v ProxyEnable /t REG_DWORD /d 0 /f >/dev/null </dev/null

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

echo "== silent install ($(basename "$setup"), $wine_arch)"
check "setup /S succeeds" "$WINE" "$setup" /S </dev/null
check "the folder holds exactly proxanto.exe, ip.ini, README.txt and uninstall.exe" \
  test "$(cd "$install" && LC_ALL=C ls | tr '\n' ' ')" = "README.txt ip.ini proxanto.exe uninstall.exe "
check "proxanto.exe is the $wine_arch build" cmp -s "$install/proxanto.exe" "$build/proxanto.exe"
check "ip.ini is the sample" same_text "$install/ip.ini" "$root/tools/sample-ip.ini"
check "the Start menu has the shortcut" test -f "$shortcut"
check "the Apps list has Proxanto $version by Marvedo" \
  eval '[ "$(reg_value "$uninstall_key" DisplayName)" = Proxanto ] &&
        [ "$(reg_value "$uninstall_key" DisplayVersion)" = "$version" ] &&
        [ "$(reg_value "$uninstall_key" Publisher)" = Marvedo ]'
check "with icon, size and uninstall command" \
  eval '[ "$(reg_value "$uninstall_key" DisplayIcon)" = "$install_win\\proxanto.exe" ] &&
        [ "$(reg_value "$uninstall_key" UninstallString)" = "\"$install_win\\uninstall.exe\"" ] &&
        [ $(($(reg_value "$uninstall_key" EstimatedSize))) -gt 0 ]'
check "starting with Windows is off by default" eval '! reg_value "$run_key" Proxanto >/dev/null'
check "the shortcut starts the installed program, which sets a proxy" start_from_menu
check "the running program is the installed one" \
  eval '[ "$(drive running | tr A-Z a-z)" = "$(echo "$install_win\\proxanto.exe" | tr A-Z a-z)" ]'

echo "== upgrade while the program runs, over an ip.ini with a block mark"
printf '0_block=1\r\n' >>"$install/ip.ini"
cp "$install/ip.ini" "$unzipped/before-upgrade.ini"
check "setup /S /AUTOSTART=1 succeeds" "$WINE" "$setup" /S /AUTOSTART=1 </dev/null
check "the running program was ended by its exit sequence" \
  eval '! drive running >/dev/null && [ "$(drive proxy)" = "ProxyEnable=0 ProxyServer=(none)" ]'
check "ip.ini, block mark and all, is kept" cmp -s "$install/ip.ini" "$unzipped/before-upgrade.ini"
check "Proxanto now starts with Windows" \
  eval '[ "$(reg_value "$run_key" Proxanto)" = "\"$install_win\\proxanto.exe\"" ]'

echo "== uninstall after the program died with a proxy applied"
{ "$WINE" reg add "$internet_settings" /v ProxyEnable /t REG_DWORD /d 1 /f &&
  "$WINE" reg add "$internet_settings" /v ProxyServer /d 192.0.2.8:80 /f &&
  "$WINE" reg add "$record_key" /v applied_proxy /d 192.0.2.8:80 /f &&
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
# The program's settings as the 32-bit and the 64-bit build see them, and
# the copies Windows keeps of a standard user's writes.
for view in 32 64; do
  "$WINE" reg add "$settings_key" /v lang /d 100 /f /reg:$view >/dev/null </dev/null ||
    fail "cannot write $settings_key"
done
for key in "$virtual_store\\Marvedo\\Quillet" "$virtual_store\\WOW6432Node\\Marvedo\\Quillet"; do
  "$WINE" reg add "$key" /v lang /d 100 /f >/dev/null </dev/null || fail "cannot write $key"
done
check "uninstall.exe /S succeeds" uninstall
check "the program has ended" eval '! drive running >/dev/null'
check "ProxyEnable is 0 and ProxyServer absent" \
  test "$(drive proxy)" = "ProxyEnable=0 ProxyServer=(none)"
check "only ip.ini is left, with its block mark" \
  eval '[ "$(ls "$install")" = ip.ini ] && ends_with_text "$install/ip.ini" 0_block=1'
check "the shortcut is gone" test ! -e "$shortcut"
check "the Run and RunOnce values are gone" \
  eval '! reg_value "$run_key" Proxanto >/dev/null && ! reg_value "$runonce_key" Proxanto >/dev/null'
check "the Apps entry is gone" eval '! reg_key "$uninstall_key"'
check "the program's keys are gone, in both views, the virtual store and the user's" \
  eval '! reg_key "HKLM\Software\Marvedo" /reg:32 && ! reg_key "HKLM\Software\Marvedo" /reg:64 &&
        ! reg_key "$virtual_store\\Marvedo" && ! reg_key "$virtual_store\\WOW6432Node\\Marvedo" &&
        ! reg_key "HKCU\Software\Marvedo"'

echo
echo "dist: $((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
