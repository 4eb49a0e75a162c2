#pragma once
// Concatenation and comparison of tracked strings (declared with the strings).
#include <prompt/strings.h>
