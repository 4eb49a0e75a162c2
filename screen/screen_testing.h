#pragma once
// Test hooks of the screen; not for programs.

// Every row with text composed into a shown frame by drawing it over the
// graphics, as rows of antialiased text are (on Windows with ClearType).
void ComposeRowsLive(bool live);

// How many times a scroll moved the window's own pixels instead of
// composing the frame again.
LONG ScrollsOnWindow();
