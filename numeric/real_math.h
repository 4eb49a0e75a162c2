#pragma once
// The floating-point routines (declared in the public header).
#include <prompt/numeric.h>
