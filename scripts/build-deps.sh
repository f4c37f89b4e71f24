#!/usr/bin/env bash
# Builds the third-party libraries for both targets from Debian's own source packages into a
# per-machine cache. A cache whose stamp matches this script and the package versions is reused.
#   usage: build-deps.sh        (prints nothing when the cache is current)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cache=${QVNSIS_DEPS_CACHE:-/var/cache/qvnsis-deps}
jobs=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}

src_versions() { apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -rV; }

# The newest source version the mirrors still serve (an index can name one a mirror has dropped).
fetch_source() {
  local v
  for v in $(src_versions "$1"); do
    if apt-get source --download-only "$1=$v" >/dev/null 2>&1; then return 0; fi
  done
  echo "cannot download the source of $1" >&2
  return 1
}

stamp_text() {
  sha256sum "$here/build-deps.sh" "$here/libpng-options.dfa" "$here/../cmake/toolchain-mingw.cmake" | awk '{print $1}'
  for p in sqlite3 libpng1.6 libjpeg-turbo zlib; do echo "$p $(src_versions "$p" | tr '\n' ' ')"; done
  dpkg-query -W -f='${Version}\n' googletest libz-mingw-w64-dev g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-posix \
    g++-mingw-w64-i686-posix
}

want=$(stamp_text)
if [ -f "$cache/stamp" ] && [ "$(cat "$cache/stamp")" = "$want" ]; then
  exit 0
fi

echo "building third-party libraries into $cache"
rm -rf "$cache"
mkdir -p "$cache/src"
cd "$cache/src"
for p in sqlite3 libpng1.6 libjpeg-turbo zlib; do fetch_source "$p"; done
for dsc in *.dsc; do dpkg-source --no-check -x "$dsc" >/dev/null; done

sqlite_dir=$(ls -d sqlite3-*/ | head -n1)
png_dir=$(ls -d libpng1.6-*/ | head -n1)
jpeg_dir=$(ls -d libjpeg-turbo-*/ | head -n1)
zlib_dir=$(ls -d zlib-*/ | head -n1)

declare -A triple=([x86]=i686-w64-mingw32 [x64]=x86_64-w64-mingw32)

# Every installer download carries these libraries: built for size, one section per function and
# per object so the DLL's link drops what it never calls. Windows XP is the oldest system the
# product loads on.
size_cflags="-Os -ffunction-sections -fdata-sections -D_WIN32_WINNT=0x0501"
# x86 without unwind tables: the linker keeps every function a DWARF unwind table names, used or
# not, and no exception crosses these C libraries (their callbacks here report errors by
# longjmp, which on x86 needs no tables). x64 keeps its tables: Windows unwinds through them.
declare -A unwind_cflags=([x86]="-fno-asynchronous-unwind-tables -fno-unwind-tables" [x64]="")
# SQLite reads databases the engine wrote, with whatever SQLite the engine had (3.7.3, or a later
# one after an upgrade): every schema, trigger, view, CHECK and default it may hold must parse and
# run here as there. An omit option that changes what SQL text can mean (grammar and keywords,
# SQL functions such as the date and JSON ones, pragmas, which a view can name as table-valued
# functions) makes a whole schema unreadable, or a trigger fail, the day a schema uses it. So
# the only options left out are these, none of which any SQL text can reach:
#   C interfaces the library never calls: LOAD_EXTENSION (load_extension() in SQL is refused
#     by a stock SQLite too, until a C call allows it), SHARED_CACHE, PROGRESS_CALLBACK,
#     DECLTYPE, COMPLETE, GET_TABLE, TRACE, AUTHORIZATION, INCRBLOB, DESERIALIZE, and the test
#     hooks (UNTESTABLE);
#   statements no schema can hold (EXPLAIN, ANALYZE, REINDEX; a trigger body cannot contain
#     them, and without ANALYZE an existing sqlite_stat1 table is read as a plain table);
#   $-style parameters (TCL_VARIABLE): a schema may hold no parameters at all;
#   optimisations whose answers are the same without them (XFER_OPT, LIKE/OR/BETWEEN
#     optimisations, BTREECOUNT, TRUNCATE_OPTIMIZATION), the lookaside allocator and memory
#     statistics.
# Foreign-key clauses parse; their enforcement stays off, as a connection leaves it by default.
sqlite_options="-DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION -DSQLITE_OMIT_SHARED_CACHE
  -DSQLITE_OMIT_PROGRESS_CALLBACK -DSQLITE_OMIT_DECLTYPE -DSQLITE_OMIT_COMPLETE
  -DSQLITE_OMIT_GET_TABLE -DSQLITE_OMIT_TRACE -DSQLITE_OMIT_AUTHORIZATION -DSQLITE_OMIT_INCRBLOB
  -DSQLITE_OMIT_DESERIALIZE -DSQLITE_UNTESTABLE -DSQLITE_OMIT_EXPLAIN -DSQLITE_OMIT_ANALYZE
  -DSQLITE_OMIT_REINDEX -DSQLITE_OMIT_TCL_VARIABLE -DSQLITE_OMIT_XFER_OPT
  -DSQLITE_OMIT_LIKE_OPTIMIZATION -DSQLITE_OMIT_OR_OPTIMIZATION -DSQLITE_OMIT_BETWEEN_OPTIMIZATION
  -DSQLITE_OMIT_BTREECOUNT -DSQLITE_OMIT_TRUNCATE_OPTIMIZATION -DSQLITE_OMIT_LOOKASIDE
  -DSQLITE_DEFAULT_MEMSTATUS=0"
# SQLite: its amalgamation, made once and compiled for each target. Some SQLITE_OMIT_* options
# change the grammar and keyword table, which are generated: configure hands the OMIT options in
# CFLAGS to the parser and keyword generators (OPT_FEATURE_FLAGS), so sqlite3.c matches them.
sqlite_omit=$(for o in $sqlite_options; do case $o in -DSQLITE_OMIT_*) printf '%s ' "$o";; esac; done)
mkdir -p "$cache/src/sqlite-bld"
(cd "$cache/src/sqlite-bld" && "../$sqlite_dir/configure" CFLAGS="$sqlite_omit" >/dev/null && make -s sqlite3.c >/dev/null)

# libjpeg-turbo without what the library's decoder never asks for (it keeps the defaults: the
# accurate integer IDCT, fancy upsampling, no scaling, no colour quantisation), so every image
# decodes to the same pixels: the fast and floating-point IDCTs, IDCT scaling, merged upsampling
# and the two quantisers go from jmorecfg.h (also the header the library compiles against). And
# no JPEGMEM environment variable (NO_GETENV): the loader sets its own memory limit after creating
# the decompressor anyway, and the variable's parsing brought the CRT's scanf and strtod.
jpeg_cflags="-DNO_GETENV"
sed -i -E 's/^#define (DCT_IFAST_SUPPORTED|DCT_FLOAT_SUPPORTED|IDCT_SCALING_SUPPORTED|UPSAMPLE_MERGING_SUPPORTED|QUANT_1PASS_SUPPORTED|QUANT_2PASS_SUPPORTED)\b/#undef  \1/' \
  "$cache/src/$jpeg_dir/jmorecfg.h"
[ "$(grep -cE '^#undef  (DCT_IFAST|DCT_FLOAT|IDCT_SCALING|UPSAMPLE_MERGING|QUANT_1PASS|QUANT_2PASS)_SUPPORTED' "$cache/src/$jpeg_dir/jmorecfg.h")" = 6 ] ||
  { echo "libjpeg-turbo's jmorecfg.h no longer has the options to turn off" >&2; exit 1; }

# The product's thread model of each bitness (see cmake/toolchain-mingw.cmake).
declare -A threads=([x86]=win32 [x64]=posix)
toolchain="$here/../cmake/toolchain-mingw.cmake"

for t in x86 x64; do
  prefix="$cache/$t"
  tc=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQVNSIS_TRIPLE="${triple[$t]}" -DQVNSIS_THREADS="${threads[$t]}")
  mkdir -p "$prefix/lib" "$prefix/include"

  # shellcheck disable=SC2086
  "${triple[$t]}-gcc-${threads[$t]}" $size_cflags ${unwind_cflags[$t]} $sqlite_options -c "$cache/src/sqlite-bld/sqlite3.c" -o "$cache/src/sqlite3-$t.o"
  "${triple[$t]}-ar" rcs "$prefix/lib/libsqlite3.a" "$cache/src/sqlite3-$t.o"
  cp "$cache/src/sqlite-bld/sqlite3.h" "$cache/src/sqlite-bld/sqlite3ext.h" "$prefix/include/"

  # zlib from its source: the toolchain's prebuilt one has unwind tables, which on x86 kept its
  # whole compressor in the DLL, and nothing here compresses.
  cmake -Wno-deprecated -S "$cache/src/$zlib_dir" -B "$cache/src/zlib-$t" "${tc[@]}" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_C_FLAGS="$size_cflags ${unwind_cflags[$t]}" -DCMAKE_C_FLAGS_RELEASE="-DNDEBUG" >/dev/null
  cmake --build "$cache/src/zlib-$t" -j "$jobs" --target zlibstatic >/dev/null
  cp "$cache/src/zlib-$t/libzlibstatic.a" "$prefix/lib/libz.a"
  cp "$cache/src/$zlib_dir/zlib.h" "$cache/src/zlib-$t/zconf.h" "$prefix/include/"

  # libpng with the options of libpng-options.dfa (its pnglibconf.h is generated from them).
  cmake -S "$cache/src/$png_dir" -B "$cache/src/png-$t" "${tc[@]}" -DDFA_XTRA="$here/libpng-options.dfa" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DPNG_SHARED=OFF -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DPNG_BUILD_ZLIB=OFF -DZLIB_INCLUDE_DIR="$prefix/include" \
    -DZLIB_LIBRARY="$prefix/lib/libz.a" -DCMAKE_C_FLAGS="$size_cflags ${unwind_cflags[$t]}" -DCMAKE_C_FLAGS_RELEASE="-DNDEBUG" >/dev/null
  cmake --build "$cache/src/png-$t" -j "$jobs" --target png_static >/dev/null
  cmake --install "$cache/src/png-$t" >/dev/null 2>&1 || true
  cp "$cache/src/png-$t"/libpng*.a "$prefix/lib/" 2>/dev/null || true
  [ -f "$prefix/lib/libpng.a" ] || cp "$(ls "$prefix"/lib/libpng16*.a | head -n1)" "$prefix/lib/libpng.a"
  cp "$cache/src/$png_dir"/png.h "$cache/src/$png_dir"/pngconf.h "$cache/src/png-$t"/pnglibconf.h "$prefix/include/"

  cmake -S "$cache/src/$jpeg_dir" -B "$cache/src/jpeg-$t" "${tc[@]}" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DENABLE_SHARED=OFF \
    -DWITH_TURBOJPEG=OFF -DWITH_SIMD=0 -DCMAKE_C_FLAGS="$size_cflags ${unwind_cflags[$t]} $jpeg_cflags" \
    -DCMAKE_C_FLAGS_RELEASE="-DNDEBUG" >/dev/null
  cmake --build "$cache/src/jpeg-$t" -j "$jobs" --target jpeg-static >/dev/null
  cp "$cache/src/jpeg-$t/libjpeg.a" "$prefix/lib/libjpeg.a"
  cp "$cache/src/$jpeg_dir"/jpeglib.h "$cache/src/$jpeg_dir"/jmorecfg.h "$cache/src/$jpeg_dir"/jerror.h \
     "$cache/src/jpeg-$t"/jconfig.h "$prefix/include/"

  # Boost: headers only, in a folder of their own so the cross compiler never sees /usr/include.
  mkdir -p "$prefix/boost-include"
  ln -sfn /usr/include/boost "$prefix/boost-include/boost"
done

# GoogleTest, for the test executables: the posix thread model of each bitness (the 32-bit one
# goes into x86-posix, beside the win32-model libraries of the product).
declare -A gtest_triple=([x64]=x86_64-w64-mingw32 [x86-posix]=i686-w64-mingw32)
for t in x64 x86-posix; do
  cmake -S /usr/src/googletest -B "$cache/src/gtest-$t" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DQVNSIS_TRIPLE="${gtest_triple[$t]}" -DQVNSIS_THREADS=posix \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$cache/$t" -Dgtest_disable_pthreads=OFF \
    -DBUILD_GMOCK=ON -DCMAKE_CXX_FLAGS="-static-libgcc -static-libstdc++" >/dev/null
  cmake --build "$cache/src/gtest-$t" -j "$jobs" >/dev/null
  cmake --install "$cache/src/gtest-$t" >/dev/null
done

rm -rf "$cache/src"
echo "$want" > "$cache/stamp"
echo "third-party libraries ready in $cache"
