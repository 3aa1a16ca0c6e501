#!/bin/sh
# The Windows host test under Wine: zlnetdrv.dll loaded by zlhost_test.exe,
# its gateway zlsim running natively on 127.0.0.1.
#
#   tests/win32/run.sh [NATIVE_BUILD]      (default: build)
#   SCREENSHOT=docs/status-window.png tests/win32/run.sh [NATIVE_BUILD]
#
# For each library: its PE header, export table and imports are checked with
# objdump; then, in a Wine prefix of its own under its build folder, the host
# test runs against a fresh zlsim, and the script checks at the simulator
# that the writes arrived, and in the prefix's drive C: the debug log and the
# sample file. build-win64 runs under wine64 always; build-win32 under 32-bit
# Wine where that is installed, else one line says so. With Xvfb installed the
# host runs on a virtual display and the status window is checked as a real
# window; without it, as the model only. With SCREENSHOT set, only the x86_64
# host runs, and the status window is photographed into that file. Then the
# unit tests of the layers that do not touch the platform run under wine64.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
native=${1:-build}
case $native in /*) ;; *) native=$root/$native ;; esac
zlsim=$native/tools/zlsim/zlsim
failed=0
# The longest any Wine step may take (seconds): a hung Wine fails the run
# instead of stalling it.
WINE_TIMEOUT=${WINE_TIMEOUT:-240}

screenshot=${SCREENSHOT:-}
case $screenshot in "" | /*) ;; *) screenshot=$(pwd)/$screenshot ;; esac
xvfb=
display_args=

say() { printf '%s\n' "$*"; }

# A virtual display of our own, when Xvfb is there.
start_display() {
  command -v Xvfb >/dev/null 2>&1 || return 1
  n=90
  while [ -e /tmp/.X$n-lock ] && [ $n -lt 200 ]; do n=$((n + 1)); done
  Xvfb :$n -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  i=0
  while [ ! -e /tmp/.X11-unix/X$n ]; do
    i=$((i + 1))
    if [ $i -gt 100 ] || ! kill -0 $xvfb 2>/dev/null; then xvfb=; return 1; fi
    sleep 0.1
  done
  export DISPLAY=:$n
}
stop_display() {
  [ -n "$xvfb" ] && kill $xvfb 2>/dev/null && wait $xvfb 2>/dev/null
  xvfb=
}
trap stop_display EXIT
fail() { say "FAIL - $*"; failed=1; }

[ -x "$zlsim" ] || { say "no $zlsim: build the zlsim target first"; exit 1; }

# The library's file: machine, exports exactly these, imports only system libraries.
EXPORTS="BufferInfo Check ClickButton DisposeDriver Done DriverCallBack DriverProc GetChannelMap GetDriverInfo
GetInput GetStatusWindow Init InputFinalized InputRequest InputRequestCompleted MakeDriver
OutputFinalized OutputRequest OutputRequestCompleted PumpMessages QueryProc SetBufferAddr Version"
SYSTEM_DLLS="KERNEL32.DLL USER32.DLL GDI32.DLL WSOCK32.DLL MSVCRT.DLL COMCTL32.DLL"

check_pe() { # dll objdump magic format
  dump=$($2 -p "$1") || { fail "$2 cannot read $1"; return; }
  printf '%s\n' "$dump" | grep -q "^Magic.*($3)" || fail "$1 is not $3"
  printf '%s\n' "$dump" | grep -q "file format $4\$" || fail "$1 is not for machine $4"
  exports=$(printf '%s\n' "$dump" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
  want=$(printf '%s\n' $EXPORTS | sort | tr '\n' ' ')
  [ "$exports" = "$want" ] || fail "$1 exports: $exports"
  for dll in $(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z'); do
    case " $SYSTEM_DLLS " in *" $dll "*) ;; *) fail "$1 imports $dll" ;; esac
  done
  say "ok - $1: $3 $4, $(printf '%s\n' $EXPORTS | wc -l) exports, imports $(printf '%s\n' "$dump" |
    sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')"
}

run_host() { # build-dir wine-loader arch-name
  dir=$root/$1
  wine=$2
  prefix=$dir/wine
  work=$dir/win32-test
  rm -rf "$work"
  mkdir -p "$work" "$prefix"
  export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$prefix/system.reg" ]; then
    [ "$3" = win32 ] && export WINEARCH=win32
    # A first start that hangs must not stall the run.
    timeout -k 10 "$WINE_TIMEOUT" "$wine" wineboot -i >"$work/wineboot.log" 2>&1 ||
      say "$3: wineboot ended with $? (the test says whether the prefix serves)"
    unset WINEARCH
  fi
  drive=$prefix/drive_c
  [ -d "$drive" ] || { fail "$3: no Wine prefix at $prefix"; return; }
  rm -f "$drive/ZLNETDRV.LOG" "$drive"/*.CUC "$drive/ZLTEST.PAR"
  mkdir -p "$drive/zltest"
  cp "$dir/zlnetdrv.dll" "$dir/tests/win32/zlhost_test.exe" "$drive/zltest/"

  # The demonstration line, quick (no pause after an answer, 1 ms between
  # the thread's passes), with the debug log on.
  sed -e 's/SILENCE_WAIT 20/SILENCE_WAIT 0 /' -e 's/IDLE_TIME    10/IDLE_TIME    1 /' \
    -e 's/^\[GLOBAL\]/[GLOBAL] $DIAGS/' "$root/examples/demo.par" >"$work/sim.par"
  # zlsim reads the file with the driver's reader, $DIAGS included: its own
  # C:\ZLNETDRV.LOG goes to the work folder.
  ZLNETDRV_DRIVE_C="$work" "$zlsim" "$work/sim.par" --bind 127.0.0.1 --ephemeral --static --seed 7 --trace --stats \
    >"$work/zlsim.log" 2>&1 &
  sim=$!
  i=0
  while ! grep -q '^READY' "$work/zlsim.log" 2>/dev/null; do
    i=$((i + 1))
    if [ $i -gt 100 ] || ! kill -0 $sim 2>/dev/null; then
      fail "$3: zlsim did not start"; cat "$work/zlsim.log"; kill $sim 2>/dev/null; return
    fi
    sleep 0.1
  done
  cp "$work/sim.par" "$drive/ZLTEST.PAR"
  # Station 1's line goes to zlsim; station 3's to a port where nothing
  # listens (the refused connect).
  port=$(sed -n 's/^PORT 4001 \([0-9]*\)$/\1/p' "$work/zlsim.log")
  sed -i -e "s/PORT           4001/PORT           $port/" -e "s/PORT           4002/PORT           1/" \
    "$drive/ZLTEST.PAR"

  start=$(date +%s)
  # For the picture, Wine draws the window's frame and title itself, on a
  # desktop of its own (Xvfb has no window manager to draw them).
  desktop=
  [ -n "$screenshot" ] && desktop="explorer /desktop=zlnetdrv,800x600"
  # shellcheck disable=SC2086
  timeout -k 10 "$WINE_TIMEOUT" "$wine" $desktop 'C:\zltest\zlhost_test.exe' 'C:\zltest\zlnetdrv.dll' \
    'C:\ZLTEST.PAR' $display_args >"$work/host.log" 2>&1 &
  host=$!
  if [ -n "$screenshot" ]; then
    i=0
    while ! grep -q '^window at' "$work/host.log" && kill -0 $host 2>/dev/null && [ $i -lt 600 ]; do
      i=$((i + 1))
      sleep 0.1
    done
    geometry=$(sed -n 's/^window at \(-*[0-9]*\) \(-*[0-9]*\) size \([0-9]*\) \([0-9]*\).*/\3x\4+\1+\2/p' \
      "$work/host.log")
    if [ -n "$geometry" ] && xwd -root -silent -display "$DISPLAY" >"$work/screen.xwd" &&
      convert "xwd:$work/screen.xwd" -crop "$geometry" +repage "$screenshot"; then
      say "ok - the status window photographed into $screenshot ($geometry)"
    else
      fail "no screenshot of the status window"
    fi
  fi
  wait $host
  rc=$?
  took=$(($(date +%s) - start))
  kill -TERM $sim 2>/dev/null
  wait $sim 2>/dev/null
  # No Wine process of this prefix outlives the run.
  timeout -k 5 20 "${wine%/*}/wineserver" -k 2>/dev/null
  sed "s/^/  $3: /" "$work/host.log"
  [ $rc -eq 0 ] || fail "$3: the host test ended with $rc"

  # At the simulator, the frames that carried the writes to station 1
  # (address 5): "b" binary output 1 := 1, "QQ" the WORD variable at 0 16 1
  # := 250 and the REAL variable at 0 16 13 := 3.7.
  trace=$work/zlsim.log
  grep -q ' IN .* 00 05 00 62 01 01 ' "$trace" || fail "$3: zlsim saw no write of binary output 1"
  grep -q ' IN .* 00 05 00 51 51 00 10 01 FA 00 00 00 ' "$trace" ||
    fail "$3: zlsim saw no write of 250 to QQ 0 16 1"
  grep -q ' IN .* 00 05 00 51 51 00 10 0D CD CC 6C 40 ' "$trace" ||
    fail "$3: zlsim saw no write of 3.7 to QQ 0 16 13"
  # Debug log and sample file in the prefix's drive C:.
  grep -q 'done : end' "$drive/ZLNETDRV.LOG" 2>/dev/null || fail "$3: no C:\\ZLNETDRV.LOG with done : end"
  cuc=$(ls "$drive"/*.CUC 2>/dev/null | head -n 1)
  if [ -z "$cuc" ] || [ "$(wc -c <"$cuc")" -ne 16368 ]; then
    fail "$3: no sample file of 16368 bytes in C:\\"
  fi
  say "$3: host test took ${took} s; zlsim: $(grep -c ' IN ' "$trace") frames in, $(grep -c ' OUT ' "$trace") out"
  grep '^station 1 \|^line .*4001' "$trace" | sed "s/^/  $3 zlsim: /"
}

if start_display; then
  display_args=--window
  say "display: Xvfb $DISPLAY (the status window is a real window)"
else
  unset DISPLAY
  say "display: none (no Xvfb): the status window is checked as the model only"
fi
[ -n "$screenshot" ] && display_args="--show 4000"

for spec in build-win32:i686-w64-mingw32-objdump:PE32:pei-i386 \
  build-win64:x86_64-w64-mingw32-objdump:PE32+:pei-x86-64; do
  dir=${spec%%:*}
  if [ -f "$root/$dir/zlnetdrv.dll" ]; then
    # shellcheck disable=SC2046
    check_pe "$root/$dir/zlnetdrv.dll" $(printf '%s\n' "${spec#*:}" | tr : ' ')
  else
    fail "no $dir/zlnetdrv.dll (make win32)"
  fi
done

if [ -x /usr/lib/wine/wine64 ] && [ -f "$root/build-win64/tests/win32/zlhost_test.exe" ]; then
  run_host build-win64 /usr/lib/wine/wine64 win64
else
  fail "wine64 or build-win64/tests/win32/zlhost_test.exe missing"
fi
# The unit tests of util, config and port's shared parts, built for Windows,
# under the same Wine as the host test: each program in its own time limit.
run_units() { # build-dir wine-loader arch-name
  dir=$root/$1
  export WINEPREFIX="$dir/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$dir/win32-test"
  for name in util config port; do
    exe=$dir/tests/win32/test_$name.exe
    log=$dir/win32-test/test_$name.log
    [ -f "$exe" ] || { fail "$3: no $exe (make win32-test builds it)"; continue; }
    start=$(date +%s)
    # Of config's tests, not those that map drive C: onto a folder of their
    # own or take a file's read permission away: Linux's ways of testing paths.
    filter=
    [ $name = config ] && filter=--gtest_filter=-ParameterFile.CucPath:ParameterFile.UnreadableFilesFailWithAMessage:ItemReader.DiagsSwitchesTheLogOnAnywhereAndEveryItemIsLogged
    # shellcheck disable=SC2086
    timeout -k 10 "$WINE_TIMEOUT" "$2" "$exe" --gtest_brief=1 $filter >"$log" 2>&1
    rc=$?
    took=$(($(date +%s) - start))
    passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}.*/\1/p' "$log" | tr -d '\r')
    if [ $rc -eq 0 ]; then
      say "ok - $3: test_$name.exe, ${passed:-?} tests passed in ${took} s"
    else
      sed "s/^/  $3 test_$name: /" "$log"
      fail "$3: test_$name.exe ended with $rc after ${took} s"
    fi
  done
  timeout -k 5 20 "${2%/*}/wineserver" -k 2>/dev/null
}

if [ -z "$screenshot" ] && [ -x /usr/lib/wine/wine64 ]; then
  run_units build-win64 /usr/lib/wine/wine64 win64
fi
if [ -n "$screenshot" ]; then
  :
elif [ -x /usr/lib/wine/wine ]; then
  run_host build-win32 /usr/lib/wine/wine win32
else
  say "wine32 is not installed: the i686 library was checked with objdump only"
fi

[ $failed -eq 0 ] && say "win32 host test: PASS" || say "win32 host test: FAIL"
exit $failed
