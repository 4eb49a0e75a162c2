#include "console/console.h"

// Rows stay empty until printing exists, and the repaint has already copied
// the back buffer over them, so there is nothing to draw yet.
void RenderRows(HDC, LONG, LONG)
{
}
