// Hard winter: the deepest-snow season, decided from each pixel's surroundings.
//
// Every land pixel is taken toward white: result = 255 - k (255 - c) for each channel c of
// a grey of the summer pixel's luminance (in trees, of its colour with part of its saturation
// taken out), so the summer's structure stays, only fainter. How much of the ground shows
// through the snow, k, is decided from the smoothed tile (weighted sums over a pixel's
// surroundings, sigma about 3) rather than from single pixels, whose colours come in the
// 4 x 4 blocks of the texture format:
//   - open ground (fields, meadows, roofs) lies under a thick cover: white, except where a
//     pixel is darker than its surroundings by more than the ground's own grain (hedges,
//     ditches, field edges, tracks, the shadows of houses), which shows in proportion, so the
//     lines of the landscape stay; over it lies a faint trace of the whole summer (k 0.035
//     for black), so that what is lighter than its surroundings (pale houses on darker
//     ground) keeps its outline too;
//   - where the smoothed tile is dark and rough (forest, woods, tree rows; a dark but smooth
//     field is open ground), trees stand out of the snow: the pixels darker than their
//     surroundings (crowns, shadows) keep much of their darkness, the brighter ones between
//     them are snow. Where the landscape itself is dark (judged over a window of sigma about
//     10, so that a town's shadows and dark yards do not count), the forest is deep: most of
//     the canopy stays dark and greener, and only the gaps between crowns are white;
//   - where the tile is grey close around the pixel (asphalt, concrete, slate; judged over a
//     smaller neighbourhood, so that a street between colourful fields is grey), the snow is
//     cleared or trodden: a light grey that keeps the surface's brightness.
// Hard winter is the snowiest season: where the land comes out less white than winter's at its
// default would be (a town that winter snows almost wholly), every land pixel is then taken the
// same share of its way to white, which keeps the shape of the summer's lines.
// The depth scales k down: more depth, more snow, and every channel of every pixel is as
// light or lighter than at a smaller depth, and never darker than in summer. At 100 all land
// is white. Water is what the mask marks (alpha below 128) and is left as it is. Unlike the
// other seasons, blue-dominant pixels without the mask are not taken for water: among land
// they are bluish shadows, often whole 4 x 4 blocks of them, which would stay as dark squares
// in the snow; unmasked open water lies frozen under it. They are left out of the smoothing,
// so they do not darken what is around them. No noise is drawn. The smoothing is done in
// integers, so a pixel's result depends only on what is around it, not on where in the tile
// it lies.
#pragma once

#include "season/SeasonTable.h"

namespace season {

inline constexpr int defaultHardWinterDepth = 60;
inline constexpr int highestHardWinterDepth = 100;

void hardWinterTile(TileColours &tile, int depth);

} // namespace season
