#!/usr/bin/env bash
# 64-bit Windows tree: quarvi_tests.exe once, all tests in one wine process.
source "$(dirname "$0")/../lib/testlib.sh"
quarvi_require_tree win64
quarvi_wine_begin
quarvi_run_gtest "$QUARVI_BUILD/win64/quarvi_tests.exe"
quarvi_wine_end
quarvi_result "$GT_PASSED" "$GT_FAILED"
