// The environment image the host makes itself when a scene asks for one (and for the
// showcase): a latitude-longitude sky with a bright sun, a blue gradient towards the zenith and
// a darker ground below the horizon, in linear light. Row 0 is straight up.
#ifndef TARVO_HOST_RENDER_SKY_H
#define TARVO_HOST_RENDER_SKY_H

#include "host/render/textures.h"

namespace tarvo::render {

Image generateSky(int width = 512, int height = 256);

// A checkerboard of `squares` by `squares` light and dark grey squares with a red mark in the
// square at the image's lower-left corner, in linear light: what shows a texture projection's
// orientation and repeats.
Image generateChecker(int size = 256, int squares = 8);

// Flake normals for a car paint's sparkle layer: every texel one flake, tilted from the surface
// normal by a hashed amount (z in [0.55, 1]) towards a hashed direction, encoded as
// (0.5 + 0.5 x, 0.5 + 0.5 y, z); the image repeats in both directions.
Image generateFlakeNormals(int size = 512);

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_SKY_H
