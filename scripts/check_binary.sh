#!/usr/bin/env bash
# Checks that a built Oriel.exe is what a bare Windows XP SP3 .. Windows 10
# machine can start and what we mean to ship.
#   scripts/check_binary.sh <Oriel.exe> [cmake-build-dir]
# The build dir (default: the exe's own folder when it holds a CMake build)
# is where compile_commands.json is read for the stack-protection check.
set -uo pipefail

if [[ $# -lt 1 || $# -gt 2 ]]; then
  echo "usage: $0 <Oriel.exe> [cmake-build-dir]" >&2
  exit 2
fi
exe=$1
if [[ ! -f $exe ]]; then
  echo "binary: $exe does not exist" >&2
  exit 2
fi
build_dir=${2:-$(dirname "$exe")}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

passed=0
failed=0
pass() { echo "ok    $1"; passed=$((passed + 1)); }
fail() { echo "FAIL  $1"; failed=$((failed + 1)); }

headers=$("$objdump" -p "$exe" 2>&1)
if [[ $? -ne 0 ]]; then
  echo "$headers" >&2
  echo "binary: $objdump could not read $exe" >&2
  exit 1
fi

# Value of a "Name<tab>value" header line.
header() { awk -v name="$1" '$1 == name { print $2; exit }' <<<"$headers"; }

# ---- Size ----
# What the download weighs; a library pulled in by one call shows up here.
max_bytes=327680
size=$(stat -c %s "$exe")
if (( size <= max_bytes )); then
  pass "size $size bytes (limit $max_bytes)"
else
  fail "size $size bytes is over the limit of $max_bytes: see what a link map (-Wl,-Map) shows"
fi

# ---- PE32 for i386 ----
magic=$(header Magic)
if grep -q 'file format pei-i386' <<<"$headers" && [[ $magic == 010b ]]; then
  pass "PE32 image for i386"
else
  fail "not a PE32 i386 image (format: $(grep -o 'file format [^ ]*' <<<"$headers"), magic: ${magic:-none})"
fi

# ---- ASLR and DEP ----
dll_chars=$(awk '/^DllCharacteristics/ { on = 1; next } on && /^\t\t\t/ { print $1; next } { on = 0 }' <<<"$headers")
for flag in DYNAMIC_BASE NX_COMPAT; do
  if grep -qx "$flag" <<<"$dll_chars"; then
    pass "DllCharacteristics has $flag"
  else
    fail "DllCharacteristics lacks $flag (has: $(echo $dll_chars))"
  fi
done
# Without relocations the loader cannot move the image, whatever the flag says.
reloc_size=$(awk '/Base Relocation Directory/ { print $4; exit }' <<<"$headers")
if [[ -n $reloc_size && $((16#$reloc_size)) -gt 0 ]]; then
  pass "base relocations present ($((16#$reloc_size)) bytes)"
else
  fail "no base relocation directory: DYNAMIC_BASE cannot take effect"
fi

# ---- GUI subsystem that XP SP3 accepts ----
if grep -Eq '^Subsystem[[:space:]]+00000002[[:space:]]+\(Windows GUI\)' <<<"$headers"; then
  pass "subsystem Windows GUI"
else
  fail "subsystem is not Windows GUI ($(grep '^Subsystem' <<<"$headers" | tr -s '\t' ' '))"
fi
sub_major=$(header MajorSubsystemVersion)
sub_minor=$(header MinorSubsystemVersion)
if [[ $sub_major =~ ^[0-9]+$ && $sub_minor =~ ^[0-9]+$ ]] &&
   (( sub_major < 5 || (sub_major == 5 && sub_minor <= 1) )); then
  pass "subsystem version $sub_major.$sub_minor (XP SP3 starts it)"
else
  fail "subsystem version ${sub_major:-?}.${sub_minor:-?} is above 5.1: Windows XP refuses to start it"
fi

# ---- Imports: system DLLs only ----
allowed=" KERNEL32.DLL USER32.DLL GDI32.DLL ADVAPI32.DLL SHELL32.DLL OLE32.DLL OLEAUT32.DLL COMCTL32.DLL COMDLG32.DLL MSVCRT.DLL "
mapfile -t dlls < <(sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' <<<"$headers" | tr -d '\r' | sort -fu)
if [[ ${#dlls[@]} -eq 0 ]]; then
  fail "no import table found"
else
  bad=()
  for dll in "${dlls[@]}"; do
    upper=${dll^^}
    [[ $allowed == *" $upper "* ]] || bad+=("$dll")
  done
  if [[ ${#bad[@]} -eq 0 ]]; then
    pass "imports only system DLLs (${dlls[*]})"
  else
    fail "imports DLLs outside the allowlist: ${bad[*]}"
  fi
fi

# ---- Imports: each function looked up, none newer than XP ----
# Wine exports nearly everything, so no Wine run sees an import that XP's
# loader refuses; scripts/imports.tsv says where each was looked up.
table=${IMPORTS_TABLE:-$(dirname "$0")/imports.tsv}
floor_major=5 floor_minor=1
# "DLL<tab>name" per import; an import by ordinal has no name to look up.
mapfile -t imported < <(awk '
  /^[[:space:]]*DLL Name:/ { dll = $NF; sub(/\r$/, "", dll); next }
  /^[^\t]/ { dll = "" }
  dll != "" && /^\t[0-9a-f]+\t/ { name = ($3 == "" || $3 == "<none>") ? "#" $2 : $3; print dll "\t" name }
' <<<"$headers")
if [[ ! -r $table ]]; then
  fail "cannot read $table: every import must be looked up there"
elif [[ ${#imported[@]} -eq 0 ]]; then
  fail "no imported functions found"
else
  unlisted=() newer=() malformed=()
  declare -A minimum=()
  while IFS=$'\t' read -r dll name version _; do
    [[ -z $dll || $dll == \#* ]] && continue
    if [[ $version =~ ^[0-9]+\.[0-9]+$ && -n $name ]]; then
      minimum["${dll^^}!$name"]=$version
    else
      malformed+=("$dll!$name")
    fi
  done <"$table"
  for entry in "${imported[@]}"; do
    dll=${entry%%$'\t'*} name=${entry#*$'\t'}
    key="$dll!$name"
    version=${minimum["${dll^^}!$name"]:-}
    if [[ -z $version ]]; then
      unlisted+=("$key")
    elif (( ${version%.*} > floor_major || (${version%.*} == floor_major && ${version#*.} > floor_minor) )); then
      newer+=("$key ($version)")
    fi
  done
  (( ${#malformed[@]} )) && fail "rows of $table without a major.minor version: ${malformed[*]}"
  (( ${#unlisted[@]} )) && fail "imports not in $table (look up each one's oldest Windows first): ${unlisted[*]}"
  (( ${#newer[@]} )) && fail "imports newer than Windows $floor_major.$floor_minor, so XP refuses to start the exe: ${newer[*]}"
  if (( ${#malformed[@]} + ${#unlisted[@]} + ${#newer[@]} == 0 )); then
    pass "all ${#imported[@]} imported functions are in $(basename "$table") at Windows $floor_major.$floor_minor or older"
  fi
fi

# ---- Stack protection and fortified calls ----
# A stripped static exe keeps no symbols, but the failure handlers' messages
# are linked in only when protected or fortified code calls into them (Oriel's
# own handlers, platform/win32/runtime/stack_guard.cpp, or libssp's).
if grep -aq 'stack smashing detected' "$exe"; then
  pass "stack-protector failure handler linked in"
else
  fail "no stack-protector handler in the image: nothing was built with -fstack-protector"
fi
if grep -aq 'buffer overflow detected' "$exe"; then
  pass "fortified-call failure handler linked in"
else
  fail "no _FORTIFY_SOURCE handler in the image"
fi
# ---- Manifest, and the flags Oriel's sources were compiled with ----
# RT_MANIFEST (type 24) read with pefile; the compile commands from the
# compile_commands.json CMake writes (CMAKE_EXPORT_COMPILE_COMMANDS, set by
# the presets). One "ok"/"FAIL" line per finding on stdout.
report=$(/usr/bin/python3 - "$exe" "$build_dir" <<'PY'
import json
import os
import re
import shlex
import sys
import xml.etree.ElementTree as ET

import pefile


def report(ok, text):
    print(("ok    " if ok else "FAIL  ") + text)


def local(tag):
    return tag.rsplit("}", 1)[-1]


def check_manifest(path):
    try:
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
        resources = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
        manifests = [(entry.id, pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size))
                     for kind in (resources.entries if resources else [])
                     if kind.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]
                     for entry in kind.directory.entries for lang in entry.directory.entries]
    except (pefile.PEFormatError, AttributeError, OSError) as error:
        report(False, "cannot read the resource section: %s" % error)
        return

    ids = [res_id for res_id, _ in manifests]
    if not manifests:
        report(False, "no RT_MANIFEST resource: no elevation, no common controls 6")
        return
    report(1 in ids, "manifest is resource 1 (found: %s)" % ids)
    raw = dict(manifests).get(1, manifests[0][1])
    try:
        # The parser drops comments, so a comment naming supportedOS is no finding.
        root = ET.fromstring(raw.decode("utf-8-sig"))
    except (ET.ParseError, UnicodeDecodeError) as error:
        report(False, "manifest is not well-formed UTF-8 XML (%s): Windows refuses to start the exe" % error)
        return
    elements = list(root.iter())

    levels = [e.get("level") for e in elements if local(e.tag) == "requestedExecutionLevel"]
    report(levels == ["requireAdministrator"], "manifest requests requireAdministrator (found: %s)" % levels)

    controls = [e.get("version") for e in elements
                if local(e.tag) == "assemblyIdentity" and e.get("name") == "Microsoft.Windows.Common-Controls"]
    report(controls == ["6.0.0.0"],
           "manifest depends on Microsoft.Windows.Common-Controls 6.0.0.0 (found: %s)" % controls)

    # Per-monitor v1 ("true/pm", "per monitor", "PerMonitor") rescales nothing
    # when the DPI changes: system-aware, or per-monitor v2 where Windows has it.
    dpi = [(e.text or "").strip() for e in elements if local(e.tag) == "dpiAware"]
    report(len(dpi) == 1 and dpi[0].lower() == "true",
           "manifest declares dpiAware true, system-aware before Windows 10 1607 (found: %s)" % dpi)
    awareness = [[v.strip().lower() for v in (e.text or "").split(",")]
                 for e in elements if local(e.tag) == "dpiAwareness"]
    report(awareness == [["permonitorv2", "system"]],
           "manifest declares dpiAwareness PerMonitorV2, System and no per-monitor v1 (found: %s)" % awareness)

    supported = [e.get("Id") for e in elements if local(e.tag) == "supportedOS"]
    report(not supported,
           "manifest declares no supportedOS, so GetVersionExA reports the real version (found: %s)" % supported)


# The last option of each kind on a command line is the one gcc honours: a
# later -fno-stack-protector, or a later lower _FORTIFY_SOURCE, undoes the
# hardening. Returns (stack protector kept, fortify level kept at 2 or more).
def hardening(arguments):
    stack = None
    fortify = 0
    defines = []
    pending = None
    for argument in arguments:
        if pending:
            defines.append(pending + argument)
            pending = None
        elif argument in ("-D", "-U"):
            pending = argument
        elif argument.startswith(("-D", "-U")):
            defines.append(argument)
        elif argument.startswith("-Wp,"):
            defines.extend(item for item in argument[4:].split(",") if item.startswith(("-D", "-U")))
        elif argument.startswith("-fstack-protector") or argument == "-fno-stack-protector":
            stack = argument
    for define in defines:
        name, _, value = define[2:].partition("=")
        if name != "_FORTIFY_SOURCE":
            continue
        if define.startswith("-U"):
            fortify = 0
        else:
            fortify = int(value) if value.isdigit() else (1 if not value else 0)
    return stack in ("-fstack-protector-strong", "-fstack-protector-all"), fortify >= 2


# The rule itself, on command lines whose verdict is known.
HARDENING_SAMPLES = [
    ("-fstack-protector-strong -D_FORTIFY_SOURCE=2", (True, True)),
    ("-fstack-protector-strong -fno-stack-protector -D_FORTIFY_SOURCE=2", (False, True)),
    ("-fno-stack-protector -fstack-protector-strong -D_FORTIFY_SOURCE=2", (True, True)),
    ("-fstack-protector-strong -fstack-protector -D_FORTIFY_SOURCE=2", (False, True)),
    ("-fstack-protector-strong -D_FORTIFY_SOURCE=2 -D_FORTIFY_SOURCE=1", (True, False)),
    ("-fstack-protector-strong -D_FORTIFY_SOURCE=2 -U_FORTIFY_SOURCE", (True, False)),
    ("-fstack-protector-strong -D_FORTIFY_SOURCE=1 -D _FORTIFY_SOURCE=3", (True, True)),
    ("-fstack-protector-all -Wp,-D_FORTIFY_SOURCE=2", (True, True)),
    ("-fstack-protector-strong -D_FORTIFY_SOURCE=2 -Wp,-U_FORTIFY_SOURCE", (True, False)),
    ("-O2", (False, False)),
]


def check_flags(build_dir):
    wrong = [line for line, verdict in HARDENING_SAMPLES if hardening(shlex.split(line)) != verdict]
    report(not wrong, "the last stack-protector and _FORTIFY_SOURCE options of a command decide (%d samples%s)"
           % (len(HARDENING_SAMPLES), ", wrong on: " + "; ".join(wrong) if wrong else ""))
    path = os.path.join(build_dir, "compile_commands.json")
    try:
        # What goes into the exe: Oriel's own objects and the portable core's.
        commands = [shlex.split(entry["command"]) for entry in json.load(open(path))
                    if re.search(r" -o \S*/(Oriel|oriel_core)\.dir/\S*\.cpp\.obj ", entry["command"])]
    except (OSError, ValueError, KeyError) as error:
        report(False, "cannot read %s (%s): cannot confirm -fstack-protector-strong and -D_FORTIFY_SOURCE=2"
               % (path, error))
        return
    verdicts = [hardening(command) for command in commands]
    for index, flag in enumerate(("-fstack-protector-strong", "-D_FORTIFY_SOURCE=2")):
        lacking = sum(not verdict[index] for verdict in verdicts)
        if commands and not lacking:
            report(True, "Oriel compiled with " + flag + " (the last option of its kind on every command)")
        else:
            report(False, "%d of Oriel's %d sources compiled without %s as the last option of its kind (%s)"
                   % (lacking, len(commands), flag, path))


check_manifest(sys.argv[1])
check_flags(sys.argv[2])
PY
)
while IFS= read -r line; do
  [[ -z $line ]] && continue
  case $line in
    "ok    "*) pass "${line#ok    }" ;;
    *) fail "${line#FAIL  }" ;;
  esac
done <<<"$report"

echo "binary: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
