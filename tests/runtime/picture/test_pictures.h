// Real picture files made in the test: JPEG bytes through libjpeg's compressor, GIF bytes
// through giflib's encoder, so the decoders are tried on what those libraries really write.
#pragma once

#include <string>

namespace testing_pictures {

// A width x height baseline JPEG (3 components) of a horizontal red-to-blue gradient.
std::string makeJpeg(int width, int height, int quality = 90);
// A width x height GIF of four colour bands (red, green, blue, white, top to bottom); with
// `transparentIndex` >= 0 that palette index is transparent.
std::string makeGif(int width, int height, int transparentIndex = -1);

}  // namespace testing_pictures
