#pragma once
// A picture's pixels as the runtime's own drawing loops read them: 32-bit,
// premultiplied alpha, rows from the top. A picture loaded with alpha or made
// by PictureMake is read where it is (its alpha says what shows); any other
// is copied once, opaque but transparent where it has the colour key asks
// for, and the copy kept until its image or the key changes.
#include <windows.h>

#include <prompt/picture.h>

#include "screen/pixel_blend.h"

// key: the colour a copy leaves out, or UseOwnKey for the picture's own
// (PictureSetKey). False without an image (or no memory for the copy).
const COLORREF UseOwnKey = 0xFE000000;
bool SpritePixels(Picture* picture, COLORREF key, PixelImage* pixels);
// The picture's image went away: its copy goes too.
void SpriteForgetImage(Picture* picture);
// The picture goes: its key too.
void SpriteForget(Picture* picture);
