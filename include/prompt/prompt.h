#pragma once
// Everything a program on the runtime uses.
#include <prompt/console.h>
#include <prompt/mouse.h>
#include <prompt/numeric.h>
#include <prompt/pad.h>
#include <prompt/picture.h>
#include <prompt/screen.h>
#include <prompt/sound.h>
#include <prompt/strings.h>
#include <prompt/text.h>
