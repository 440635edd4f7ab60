#!/usr/bin/env bash
# 32-bit Windows tree: quarvi_tests.exe once, all tests in one wine process
# (needs wine32; without it the program would exit 0 and print nothing,
# which counts as a failure here).
source "$(dirname "$0")/../lib/testlib.sh"
quarvi_require_tree win32
quarvi_wine_begin
quarvi_run_gtest "$QUARVI_BUILD/win32/quarvi_tests.exe"
quarvi_wine_end
quarvi_result "$GT_PASSED" "$GT_FAILED"
