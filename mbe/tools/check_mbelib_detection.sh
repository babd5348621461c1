#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks how the build finds mbelib, on a machine without it: installs a fake
# mbelib (this script's own, with the library's interface: C header without
# extern "C", libmbe.so and libmbe.a in lib64, libmbe.pc) under a temporary
# prefix, then configures and builds voxloom
#   1. with MBELIB_ROOT naming the prefix (shared library),
#   2. through pkg-config alone (PKG_CONFIG_PATH),
#   3. with MBELIB_ROOT naming a prefix that holds only the static library,
#   4. with ZELVANE_USE_MBELIB=OFF (the silent stand-in despite the library),
# and checks which vocoder each voxloom runs. The fake writes a constant
# non-zero sample and the error text "=" per frame, and, like the library,
# complains on standard output about an unvoiced quality outside 1..64.
#
# Usage: mbe/tools/check_mbelib_detection.sh   (from anywhere; takes a few minutes)
set -euo pipefail
src="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

make_fake() {
    local prefix="$1" kind="$2"
    mkdir -p "$prefix/include" "$prefix/lib64/pkgconfig"
    cat > "$prefix/include/mbelib.h" <<'H'
#ifndef _MBELIB_H
#define _MBELIB_H
#define MBELIB_VERSION "1.3.0-fake"
struct mbe_parameters {
    float w0; int L; int K; int Vl[57]; float Ml[57]; float log2Ml[57]; float PHIl[57]; float PSIl[57];
    float gamma; int un; int repeat;
};
typedef struct mbe_parameters mbe_parms;
void mbe_initMbeParms(mbe_parms *cur_mp, mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced);
void mbe_processAmbe3600x2450Frame(short *aout_buf, int *errs, int *errs2, char *err_str, char ambe_fr[4][24], char ambe_d[49], mbe_parms *cur_mp, mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced, int uvquality);
void mbe_processAmbe3600x2450Framef(float *aout_buf, int *errs, int *errs2, char *err_str, char ambe_fr[4][24], char ambe_d[49], mbe_parms *cur_mp, mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced, int uvquality);
void mbe_processAmbe2450Data(short *aout_buf, int *errs, int *errs2, char *err_str, char ambe_d[49], mbe_parms *cur_mp, mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced, int uvquality);
void mbe_processAmbe2450Dataf(float *aout_buf, int *errs, int *errs2, char *err_str, char ambe_d[49], mbe_parms *cur_mp, mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced, int uvquality);
void mbe_processImbe4400Data(short *aout_buf, int *errs, int *errs2, char *err_str, char imbe_d[88], mbe_parms *cur_mp, mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced, int uvquality);
void mbe_processImbe4400Dataf(float *aout_buf, int *errs, int *errs2, char *err_str, char imbe_d[88], mbe_parms *cur_mp, mbe_parms *prev_mp, mbe_parms *prev_mp_enhanced, int uvquality);
#endif
H
    cat > "$work/fake.c" <<'C'
#include <math.h>
#include <stdio.h>
#include <string.h>
#include "mbelib.h"
static int check(int q) {
    if (q < 1 || q > 64) { printf("Error - uvquality must be within range 1 - 64, setting to default value of 3\n"); q = 3; }
    return q;
}
static void frame(short *s, float *f, char *e, int q) {
    check(q);
    for (int i = 0; i < 160; ++i) { if (s) s[i] = 1234; if (f) f[i] = (float)sqrt(4.0); }
    strcpy(e, "=");
}
void mbe_initMbeParms(mbe_parms *a, mbe_parms *b, mbe_parms *c) { memset(a, 0, sizeof *a); memset(b, 0, sizeof *b); memset(c, 0, sizeof *c); }
void mbe_processAmbe3600x2450Frame(short *o, int *e1, int *e2, char *es, char fr[4][24], char d[49], mbe_parms *a, mbe_parms *b, mbe_parms *c, int q) { (void)fr; (void)a; (void)b; (void)c; memset(d, 0, 49); *e1 = *e2 = 0; frame(o, 0, es, q); }
void mbe_processAmbe3600x2450Framef(float *o, int *e1, int *e2, char *es, char fr[4][24], char d[49], mbe_parms *a, mbe_parms *b, mbe_parms *c, int q) { (void)fr; (void)a; (void)b; (void)c; memset(d, 0, 49); *e1 = *e2 = 0; frame(0, o, es, q); }
void mbe_processAmbe2450Data(short *o, int *e1, int *e2, char *es, char d[49], mbe_parms *a, mbe_parms *b, mbe_parms *c, int q) { (void)e1; (void)e2; (void)d; (void)a; (void)b; (void)c; frame(o, 0, es, q); }
void mbe_processAmbe2450Dataf(float *o, int *e1, int *e2, char *es, char d[49], mbe_parms *a, mbe_parms *b, mbe_parms *c, int q) { (void)e1; (void)e2; (void)d; (void)a; (void)b; (void)c; frame(0, o, es, q); }
void mbe_processImbe4400Data(short *o, int *e1, int *e2, char *es, char d[88], mbe_parms *a, mbe_parms *b, mbe_parms *c, int q) { (void)e1; (void)e2; (void)d; (void)a; (void)b; (void)c; frame(o, 0, es, q); }
void mbe_processImbe4400Dataf(float *o, int *e1, int *e2, char *es, char d[88], mbe_parms *a, mbe_parms *b, mbe_parms *c, int q) { (void)e1; (void)e2; (void)d; (void)a; (void)b; (void)c; frame(0, o, es, q); }
C
    if [ "$kind" = shared ]; then
        cc -O2 -fPIC -shared -Wl,-soname,libmbe.so.1 -I"$prefix/include" -o "$prefix/lib64/libmbe.so.1" "$work/fake.c" -lm
        ln -sf libmbe.so.1 "$prefix/lib64/libmbe.so"
    else
        cc -O2 -c -I"$prefix/include" -o "$work/fake.o" "$work/fake.c"
        ar rcs "$prefix/lib64/libmbe.a" "$work/fake.o"
    fi
    cat > "$prefix/lib64/pkgconfig/libmbe.pc" <<PC
prefix=$prefix
includedir=\${prefix}/include
libdir=\${prefix}/lib64
Name: libmbe
Description: fake vocoder for the detection check
Version: 1.3.0
Cflags: -I\${includedir}
Libs: -L\${libdir} -lmbe
PC
}

# configure NAME EXPECTED-LINE [cmake options...]: configures mbe/ alone and
# checks that the configure output holds EXPECTED-LINE.
configure() {
    local name="$1" expected="$2"
    shift 2
    cmake -S "$src" -B "$work/$name" -DZELVANE_SUBSYSTEMS=mbe "$@" > "$work/$name.log" 2>&1 ||
        { cat "$work/$name.log"; fail "$name: configure"; }
    grep -q -- "$expected" "$work/$name.log" || { cat "$work/$name.log"; fail "$name: configure does not say '$expected'"; }
}

# speaks NAME: voxloom of that build runs the fake vocoder.
speaks() {
    local bin="$work/$1/bin/voxloom" out err
    cmake --build "$work/$1" -j2 --target voxloom > "$work/$1.build.log" 2>&1 || { cat "$work/$1.build.log"; fail "$1: build"; }
    printf '%012d' 0 | "$bin" -u 0 > "$work/out" 2> "$work/err"
    out="$(od -An -tx1 -v "$work/out" | tr -s ' \n' ' ')"
    [ "$(stat -c %s "$work/out")" = 320 ] || fail "$1: expected 320 bytes on standard output"
    [[ "$out" == " d2 04 d2 04"* ]] || fail "$1: not the fake vocoder's samples"
    grep -q '^rejecting unvoiced quality "0"' "$work/err" || fail "$1: -u 0 not rejected"
    [ "$(tail -c 1 "$work/err")" = "=" ] || fail "$1: no error text from the vocoder"
    ! grep -q 'no vocoder' "$work/err" || fail "$1: says it has no vocoder"
    echo "ok: $1 speaks through the fake mbelib"
}

silent() {
    local bin="$work/$1/bin/voxloom"
    cmake --build "$work/$1" -j2 --target voxloom > "$work/$1.build.log" 2>&1 || { cat "$work/$1.build.log"; fail "$1: build"; }
    printf '%012d' 0 | "$bin" > "$work/out" 2> "$work/err"
    cmp -s "$work/out" <(head -c 320 /dev/zero) || fail "$1: not 320 bytes of silence"
    grep -q 'no vocoder' "$work/err" || fail "$1: no notice of silence"
    echo "ok: $1 is the silent stand-in"
}

make_fake "$work/shared" shared
make_fake "$work/static" static

configure by-root "voxloom: linking mbelib 1.3.0-fake" -DMBELIB_ROOT="$work/shared"
speaks by-root
ldd "$work/by-root/bin/voxloom" > "$work/ldd" || true
grep -q "libmbe.so.1 => $work/shared/lib64/libmbe.so.1" "$work/ldd" || { cat "$work/ldd"; fail "by-root: not linked to libmbe.so.1"; }
echo "ok: by-root links $work/shared/lib64/libmbe.so.1"
cmake --install "$work/by-root" --prefix "$work/installed" --component Unspecified > /dev/null ||
    fail "by-root: install"
ldd "$work/installed/bin/voxloom" > "$work/ldd" || true
grep -q "libmbe.so.1 => $work/shared/lib64/libmbe.so.1" "$work/ldd" || { cat "$work/ldd"; fail "installed voxloom does not find libmbe.so.1"; }
echo "ok: the installed voxloom finds libmbe.so.1 under the private prefix"
# The end-to-end tests, with the real-library case, against this build.
cmake --build "$work/by-root" -j2 --target voxloom_program_test > "$work/by-root.tests.log" 2>&1 || fail "by-root: tests build"
"$work/by-root/bin/voxloom_program_test" --gtest_brief=1 || fail "by-root: end-to-end tests"
# The logic and the recording double compiled against the library's header.
cmake --build "$work/by-root" -j2 --target voxloom_test > "$work/by-root.tests.log" 2>&1 || fail "by-root: voxloom_test build"
"$work/by-root/bin/voxloom_test" --gtest_brief=1 || fail "by-root: in-process tests"

PKG_CONFIG_PATH="$work/shared/lib64/pkgconfig" configure by-pkg-config "voxloom: linking mbelib 1.3.0-fake"
speaks by-pkg-config

configure static "voxloom: linking mbelib 1.3.0-fake" -DMBELIB_ROOT="$work/static"
speaks static

configure forced-off "ZELVANE_USE_MBELIB is OFF" -DMBELIB_ROOT="$work/shared" -DZELVANE_USE_MBELIB=OFF
silent forced-off

configure wrong-root "mbelib was not found" -DMBELIB_ROOT="$work/nowhere"
silent wrong-root

echo "all detection checks passed"
