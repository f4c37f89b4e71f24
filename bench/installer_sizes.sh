#!/usr/bin/env bash
# What each DLL costs an installer: its file size, and what it adds to an installer that stores it
# the way ours do (solid LZMA). makensis compiles a tiny script twice per target, without and with
# a File of the DLL; the difference of the two installers is the DLL compressed (plus the few bytes
# of the File instruction itself).
#   installer_sizes.sh DIST_DIR WORK_DIR
# prints one word per target for the benchmark program: <target>=<dll>,<empty installer>,<with dll>
set -euo pipefail

dist=$(cd "$1" && pwd)
work=$(mkdir -p "$2" && cd "$2" && pwd)

cat >"$work/size.nsi" <<'EOF'
Target ${TARGET}
SetCompressor /SOLID lzma
RequestExecutionLevel user
OutFile "${OUTFILE}"
Section
  InitPluginsDir
!ifdef DLL
  File "/oname=$PLUGINSDIR\qvnsis.dll" "${DLL}"
!endif
SectionEnd
EOF

size() { stat -c %s "$1"; }

words=()
for target in x86-unicode amd64-unicode; do
  dll="$dist/$target/qvnsis.dll"
  if [ ! -f "$dll" ]; then
    echo "installer_sizes.sh: $dll is missing; build it first" >&2
    exit 1
  fi
  makensis -V1 -DTARGET="$target" -DOUTFILE="$work/empty-$target.exe" "$work/size.nsi" >&2
  makensis -V1 -DTARGET="$target" -DOUTFILE="$work/with-dll-$target.exe" -DDLL="$dll" "$work/size.nsi" >&2
  dll_bytes=$(size "$dll")
  empty_bytes=$(size "$work/empty-$target.exe")
  with_bytes=$(size "$work/with-dll-$target.exe")
  if [ "$with_bytes" -le "$empty_bytes" ]; then
    echo "installer_sizes.sh: the $target installer did not grow with the DLL" >&2
    exit 1
  fi
  words+=("$target=$dll_bytes,$empty_bytes,$with_bytes")
done
echo "${words[*]}"
