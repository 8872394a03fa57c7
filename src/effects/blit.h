#pragma once
// Clipped 32-bit picture blits into the picture's own target.
#include "assets/image.h"

void BlitOpaque(const Image& image);
// Source pixels equal to image.key are not drawn.
void BlitKeyed(const Image& image);
// Keyed, and each channel becomes the floor of the average of source and target.
void BlitBlend(const Image& image);
