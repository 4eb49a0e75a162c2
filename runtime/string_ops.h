#pragma once
// Concatenation and comparison of tracked strings. Each consumes its operands
// (StringCompareKeepLeft only its right one).
#include "runtime/tracked_string.h"

TrackedString StringConcat(TrackedString left, TrackedString right);

// CSTR_LESS_THAN (1), CSTR_EQUAL (2), CSTR_GREATER_THAN (3), or 0 on failure,
// in the sort order of the system's default locale.
int StringCompare(TrackedString left, TrackedString right);
int StringCompareKeepLeft(TrackedString left, TrackedString right);
