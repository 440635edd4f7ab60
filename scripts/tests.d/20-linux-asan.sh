#!/usr/bin/env bash
# Native Debug tree with AddressSanitizer and UndefinedBehaviorSanitizer.
source "$(dirname "$0")/../lib/testlib.sh"
quarvi_require_tree linux-asan
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
quarvi_run_ctest "$QUARVI_BUILD/linux-asan"
quarvi_result "$CT_PASSED" "$CT_FAILED"
