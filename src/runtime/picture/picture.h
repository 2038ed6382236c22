// Decoding the bytes of a picture file (JPEG through libjpeg-turbo, GIF through giflib) into
// plain RGBA pixels, for the picture boxes and anything else that shows a carried picture. Bad
// bytes are an ordinary outcome: they give an empty Picture, never an exception, a message or a
// crash. No Qt here.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace runtime::picture {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // width * height * 4 bytes, rows top to bottom, R G B A
    bool empty() const { return width <= 0 || height <= 0; }
};

enum class Format { Unknown, Jpeg, Gif };

// Tells the format by the file's signature alone.
Format detectFormat(std::string_view bytes);

// The first image of a JPEG or GIF file. Empty for empty, unknown or undecodable bytes, and for
// pictures larger than kMaxPixels. A JPEG cut short after its header decodes as far as its data
// goes (the rest grey), as picture viewers show it.
Picture decodePicture(std::string_view bytes);

inline constexpr long long kMaxPixels = 64LL * 1024 * 1024;

}  // namespace runtime::picture
