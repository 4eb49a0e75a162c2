#pragma once
// A picture's pixels as the runtime's own drawing loops read them: 32-bit,
// premultiplied alpha, rows from the top. A picture loaded with alpha or made
// by PictureMake is read where it is (its alpha says what shows); any other
// is copied once, opaque but transparent where it has the colour key asks
// for, and the copy kept until its image or the key changes.
#include <windows.h>

#include <prompt/picture.h>

#include "screen/pixel_blend.h"

// False without an image (or no memory for the copy).
bool SpritePixels(Picture* picture, COLORREF key, PixelImage* pixels);
// The key colour a picture's part, cell and turned draws leave out (CLR_INVALID: none).
COLORREF SpriteKey(Picture* picture);
// The picture's image went away: its copy goes too.
void SpriteForgetImage(Picture* picture);
// The picture goes: its key too.
void SpriteForget(Picture* picture);
