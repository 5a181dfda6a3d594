#!/usr/bin/env bash
# Checks that a built Oriel.exe is what a bare Windows XP SP3 .. Windows 10
# machine can start and what we mean to ship.
#   scripts/check_binary.sh <Oriel.exe> [cmake-build-dir]
# The build dir (default: the exe's own folder when it holds a CMake build)
# is where the compile flags are read for the stack-protection check.
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

# ---- Manifest ----
# Reads RT_MANIFEST (type 24) out of .rsrc and checks it; one "ok"/"FAIL" line
# per finding on stdout.
manifest_report=$(python3 - "$exe" <<'PY'
import struct
import sys
import xml.etree.ElementTree as ET

RT_MANIFEST = 24


def read_manifests(data):
    """[(resource id, bytes)] of every RT_MANIFEST entry."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    rsrc_rva, rsrc_size = struct.unpack_from("<II", data, directories + 2 * 8)
    if rsrc_size == 0:
        return []
    table = optional + optional_size
    spans = []
    for i in range(sections):
        vsize, va, raw_size, raw_ptr = struct.unpack_from("<IIII", data, table + 40 * i + 8)
        spans.append((va, max(vsize, raw_size), raw_ptr))

    def offset(rva):
        for va, size, raw in spans:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("RVA %#x lies in no section" % rva)

    base = offset(rsrc_rva)

    def entries(directory):
        named, ids = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
            yield name, target

    found = []
    for type_id, type_dir in entries(0):
        if type_id != RT_MANIFEST or not type_dir & 0x80000000:
            continue
        for res_id, lang_dir in entries(type_dir & 0x7FFFFFFF):
            if not lang_dir & 0x80000000:
                continue
            for _lang, leaf in entries(lang_dir & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, base + leaf)
                start = offset(rva)
                found.append((res_id, data[start:start + size]))
    return found


def local(tag):
    return tag.rsplit("}", 1)[-1]


def report(ok, text):
    print(("ok    " if ok else "FAIL  ") + text)


try:
    manifests = read_manifests(open(sys.argv[1], "rb").read())
except (ValueError, struct.error, OSError) as error:
    report(False, "cannot read the resource section: %s" % error)
    sys.exit(0)

ids = [res_id for res_id, _ in manifests]
if not manifests:
    report(False, "no RT_MANIFEST resource: no elevation, no common controls 6")
    sys.exit(0)
report(1 in ids, "manifest is resource 1 (found: %s)" % ids)
raw = dict(manifests).get(1, manifests[0][1])

try:
    # The parser drops comments, so a comment naming supportedOS is no finding.
    root = ET.fromstring(raw.decode("utf-8-sig"))
except (ET.ParseError, UnicodeDecodeError) as error:
    report(False, "manifest is not well-formed UTF-8 XML (%s): Windows refuses to start the exe" % error)
    sys.exit(0)
elements = list(root.iter())

levels = [e.get("level") for e in elements if local(e.tag) == "requestedExecutionLevel"]
report(levels == ["requireAdministrator"], "manifest requests requireAdministrator (found: %s)" % levels)

controls = [e.get("version") for e in elements
            if local(e.tag) == "assemblyIdentity" and e.get("name") == "Microsoft.Windows.Common-Controls"]
report(controls == ["6.0.0.0"], "manifest depends on Microsoft.Windows.Common-Controls 6.0.0.0 (found: %s)" % controls)

# Per-monitor v1 ("true/pm", "per monitor", "PerMonitor") rescales nothing
# when the DPI changes: system-aware, or per-monitor v2 where Windows has it.
dpi = [(e.text or "").strip() for e in elements if local(e.tag) == "dpiAware"]
report(len(dpi) == 1 and dpi[0].lower() == "true",
       "manifest declares dpiAware true, system-aware before Windows 10 1607 (found: %s)" % dpi)
awareness = [[v.strip().lower() for v in (e.text or "").split(",")] for e in elements if local(e.tag) == "dpiAwareness"]
report(awareness == [["permonitorv2", "system"]],
       "manifest declares dpiAwareness PerMonitorV2, System and no per-monitor v1 (found: %s)" % awareness)

supported = [e.get("Id") for e in elements if local(e.tag) == "supportedOS"]
report(not supported, "manifest declares no supportedOS, so GetVersionExA reports the real version (found: %s)" % supported)
PY
)
while IFS= read -r line; do
  [[ -z $line ]] && continue
  case $line in
    "ok    "*) pass "${line#ok    }" ;;
    *) fail "${line#FAIL  }" ;;
  esac
done <<<"$manifest_report"

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
flags_file=$build_dir/CMakeFiles/Oriel.dir/flags.make
if [[ -f $flags_file ]]; then
  cxx_flags=$(grep '^CXX_FLAGS' "$flags_file")
  for flag in -fstack-protector-strong -D_FORTIFY_SOURCE=2; do
    if grep -q -- "$flag\\b" <<<"$cxx_flags"; then
      pass "Oriel compiled with $flag"
    else
      fail "Oriel's CXX_FLAGS lack $flag ($flags_file)"
    fi
  done
else
  fail "no $flags_file: cannot confirm -fstack-protector-strong and -D_FORTIFY_SOURCE=2 (pass the CMake build dir)"
fi

echo "binary: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
