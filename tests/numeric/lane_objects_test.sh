#!/usr/bin/env bash
# The machine code of the lane kernels: no fused multiply-add (contraction
# stays off, so every path rounds products and sums apart, as the scalar code
# does; only the objects compiled for AVX-512 could hold one, the rest of the
# library being x86-64 baseline), and nothing in the objects compiled for
# AVX2 or AVX-512 that the linker could share with code running on any
# x86-64 processor: no weak or inline definitions, one table of kernels as the
# only global definition.
#
# usage: lane_objects_test.sh OBJECT...   (the library's object files; the
# lane kernels' are checked)
set -euo pipefail
status=0
checked=0
for object in "$@"; do
  case "$object" in
  *lane_kernels_*.cpp.o) checked=$((checked + 1)) ;;
  *) continue ;;
  esac
  if objdump -d --no-show-raw-insn "$object" | grep -Eq '\s(vfn?m(add|sub)[0-9a-z]*)\s'; then
    echo "fused multiply-add in $object" >&2
    status=1
  fi
  case "$object" in
  *lane_kernels_avx2.cpp.o | *lane_kernels_avx512.cpp.o)
    shared=$(nm -C "$object" | awk '$2 ~ /^[WVuiu]$/' || true)
    if [ -n "$shared" ]; then
      echo "weak or shared definitions in $object:" >&2
      echo "$shared" >&2
      status=1
    fi
    # (The address sanitizer adds a marker of its own beside each global.)
    globals=$(nm -C --defined-only "$object" | awk '$2 ~ /^[A-Z]$/ && $3 !~ /^__odr_asan/ {print $3}')
    if [ "$globals" != "pelmora::kLaneKernelsAvx2" ] && [ "$globals" != "pelmora::kLaneKernelsAvx512" ]; then
      echo "global definitions in $object other than its kernel table:" >&2
      echo "$globals" >&2
      status=1
    fi
    ;;
  esac
done
if [ "$checked" -lt 3 ]; then
  echo "found $checked lane kernel objects, expected the SSE2, AVX2 and AVX-512 ones" >&2
  status=1
fi
exit $status
