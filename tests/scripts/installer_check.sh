#!/usr/bin/env bash
# The installer under Wine, run by scripts/package-windows inside scripts/wine-run (with a
# display): for each mode, a silent install with the sign-in option, its entry, files and
# shortcuts; a running copy stops both a reinstall and an uninstall before they change
# anything; then the uninstall removes all it made and keeps the settings and a log.
# Usage: installer_check.sh SETUP.EXE PROGRAM.EXE VERSION
set -euo pipefail
setup=$1 program=$2 version=$3
fail() { echo "package check: $*" >&2; exit 1; }
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavrin QV-5300'
settings_key='HKCU\Software\Tavrin QV-5300\QV-5300'
# value HIVE NAME: one value of the uninstall entry ("" when absent).
value() { wine reg query "$1\\$uninstall_key" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
unix() { wine winepath -u "$1" 2>/dev/null | tr -d '\r'; }
lnk() { find "$WINEPREFIX/drive_c" -ipath "*/$1/QV-5300.lnk" -print -quit; }

# check MODE HIVE OTHER_HIVE FOLDER_PATTERN (a glob, backslashes doubled) START_MENU_ROOT
check() {
    local mode=$1 hive=$2 other=$3 pattern=$4 menu_root=$5
    wine "$setup" /S "/$mode" /STARTLOG || fail "$mode: setup failed ($?)"
    local folder; folder=$(value "$hive" InstallLocation)
    [[ $folder == $pattern ]] || fail "$mode: installed to '$folder'"
    local dir; dir=$(unix "$folder")
    cmp -s "$dir/QV-5300.exe" "$program" || fail "$mode: QV-5300.exe is not the packed program"
    [ -f "$dir/README.txt" ] && [ -f "$dir/Uninstall.exe" ] || fail "$mode: files missing in $dir"
    [ -z "$(value "$other" InstallLocation)" ] || fail "$mode: an entry in $other too"
    local name want
    for name in DisplayName DisplayVersion Publisher DisplayIcon UninstallString; do
        case $name in
        DisplayName) want=QV-5300 ;; DisplayVersion) want=$version ;; Publisher) want=Tavrin ;;
        DisplayIcon) want="$folder\\QV-5300.exe" ;; UninstallString) want="\"$folder\\Uninstall.exe\"" ;;
        esac
        [ "$(value "$hive" "$name")" = "$want" ] || fail "$mode: $name is '$(value "$hive" "$name")', not '$want'"
    done
    local kib=$(( $(cat "$dir"/* | wc -c) / 1024 )) size=$(( $(value "$hive" EstimatedSize) ))
    (( size >= kib - 3 && size <= kib + 3 )) || fail "$mode: EstimatedSize $size KiB, the files $kib KiB"
    [[ $(lnk "Start Menu/Programs") == */$menu_root/* ]] || fail "$mode: no Start-menu shortcut under $menu_root"
    strings -e l "$(lnk Startup)" | grep -qx /startlog || fail "$mode: no Startup shortcut with /startlog"

    # A running copy: the program creates its settings key at start.
    wine reg delete "$settings_key" /f >/dev/null 2>&1 || true
    wine "$dir/QV-5300.exe" >/dev/null 2>&1 &
    local running=$! tries=0
    until wine reg query "$settings_key" >/dev/null 2>&1; do
        (( ++tries < 120 )) || fail "$mode: the program did not start"
        sleep 0.25
    done
    rm "$dir/README.txt"
    local status=0
    wine "$setup" /S "/$mode" || status=$?
    [ "$status" = 2 ] && [ ! -e "$dir/README.txt" ] || fail "$mode: setup over a running copy: $status"
    status=0
    # In place (it waits and tells its status): "_?=" must come last and unquoted, which
    # only a command line that no argument list made can say.
    printf '@"%s\\Uninstall.exe" /S _?=%s\r\n@exit /b %%errorlevel%%\r\n' "$folder" "$folder" \
        >"$QV_WINE_CONTROL/uninstall.cmd"
    wine cmd /c "$QV_WINE_CONTROL_WIN\\uninstall.cmd" || status=$?
    [ "$status" = 2 ] && [ -f "$dir/Uninstall.exe" ] && [ -n "$(value "$hive" DisplayName)" ] ||
        fail "$mode: uninstall under a running copy: $status"
    kill "$running"
    wait "$running" || true

    # Only the program goes: a log in its folder and the settings stay. As from "Apps &
    # features": the uninstaller runs from a copy of itself and returns at once; it removes
    # its entry last.
    printf "12/08/2026\t17:50:50\t45.3\t23.1\r\n" >"$dir/tavrin.log"
    wine reg add "$settings_key" /v LogInterval /t REG_DWORD /d 7 /f >/dev/null
    wine "$dir/Uninstall.exe" /S
    tries=0
    until [ -z "$(value "$hive" DisplayName)" ] && [ "$(ls "$dir")" = tavrin.log ]; do
        (( ++tries < 120 )) || fail "$mode: the uninstaller left $(ls "$dir" | tr '\n' ' ')"
        sleep 0.25
    done
    [ -z "$(lnk "Start Menu/Programs")" ] && [ -z "$(lnk Startup)" ] || fail "$mode: a shortcut left"
    wine reg query "$settings_key" /v LogInterval | grep -q 0x7 || fail "$mode: the settings went"
    rm "$dir/tavrin.log"
    echo "package check: $mode: installed to $folder, refused while running, uninstalled; settings and log kept"
}

check CurrentUser HKCU HKLM '*\\AppData\\Local\\Programs\\Tavrin\\QV-5300' users
check AllUsers HKLM HKCU '?:\\Program Files\\Tavrin\\QV-5300' ProgramData
