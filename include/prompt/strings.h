#pragma once
// Tracked strings: heap blocks laid out as [32-bit length][bytes][zero],
// known to a registry so that a release of a stranger is caught. A call that
// takes a TrackedString consumes it (releases it) unless its name says it keeps it.
#include <windows.h>

// The address of the first data byte; any ANSI function can take it as a
// zero-terminated text.
using TrackedString = char*;

// Once, before any other string call (the console's start does not do it).
void StringsInit();

// A new string of length zero bytes. Memory that cannot be had ends the
// process with a message box (exit code 3).
TrackedString AllocString(LONG length);
TrackedString NewString(LONG length); // the same as AllocString
// Frees a string the registry knows; any other pointer is left alone and
// reported to the debugger output.
void ReleaseString(TrackedString s);

LONG StringLength(TrackedString s);
// The first byte as an unsigned value, 0 for an empty string; s is consumed.
UINT StringFirstByte(TrackedString s);
// A zero-terminated text (not consumed) as a new string.
TrackedString StringFromText(const char* text);
// A new copy; s is kept.
TrackedString StringCopy(TrackedString s);

// left followed by right, as a new string; both are consumed.
TrackedString StringConcat(TrackedString left, TrackedString right);
// CSTR_LESS_THAN (1), CSTR_EQUAL (2), CSTR_GREATER_THAN (3), or 0 on failure,
// in Japanese sort order. Both are consumed.
int StringCompare(TrackedString left, TrackedString right);
// The same, but left is kept.
int StringCompareKeepLeft(TrackedString left, TrackedString right);

// How many strings are alive: a program can watch it for leaks.
LONG RegistryCountNow();
