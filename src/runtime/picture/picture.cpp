// JPEG and GIF decoding. libjpeg reports fatal errors through a callback that must not return;
// it jumps back to decodeJpeg with longjmp, so no object with a destructor may live between the
// setjmp and the library calls (the output buffer is sized before the jump point is armed).
#include "runtime/picture/picture.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <gif_lib.h>
#include <jpeglib.h>

namespace runtime::picture {
namespace {

struct JpegError {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void onJpegError(j_common_ptr info) {
    auto* err = reinterpret_cast<JpegError*>(info->err);
    std::longjmp(err->jump, 1);
}

void onJpegMessage(j_common_ptr) {}  // warnings are not printed: a damaged picture is no news

// Reads the header into `info`; false when the bytes are no JPEG the library accepts.
bool readJpeg(std::string_view bytes, Picture& out) {
    jpeg_decompress_struct info;
    JpegError err;
    info.err = jpeg_std_error(&err.base);
    err.base.error_exit = onJpegError;
    err.base.output_message = onJpegMessage;
    // Everything the jump can skip over is plain data declared above; `out` is filled only after
    // the size is known and is left empty on every failure path.
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&info);
    const long long pixels = static_cast<long long>(info.output_width) * info.output_height;
    if (pixels <= 0 || pixels > kMaxPixels || info.output_components != 4) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    out.rgba.resize(static_cast<size_t>(pixels) * 4);
    out.width = static_cast<int>(info.output_width);
    out.height = static_cast<int>(info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.rgba.data() + static_cast<size_t>(info.output_scanline) * out.width * 4;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

Picture decodeJpeg(std::string_view bytes) {
    Picture out;
    if (!readJpeg(bytes, out)) return Picture{};
    return out;
}

struct GifSource {
    std::string_view bytes;
    size_t offset = 0;
};

int readGifBytes(GifFileType* gif, GifByteType* buffer, int length) {
    auto* src = static_cast<GifSource*>(gif->UserData);
    if (length <= 0) return 0;
    size_t n = std::min(static_cast<size_t>(length), src->bytes.size() - src->offset);
    std::memcpy(buffer, src->bytes.data() + src->offset, n);
    src->offset += n;
    return static_cast<int>(n);
}

Picture decodeGif(std::string_view bytes) {
    GifSource source{bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&source, readGifBytes, &error);
    if (!gif) return {};
    Picture out;
    // DGifSlurp lays interlaced images out in display order. A file cut short after its first
    // image still counts: only that image is shown.
    bool slurped = DGifSlurp(gif) == GIF_OK;
    if ((slurped || gif->ImageCount > 0) && gif->ImageCount > 0 && gif->SWidth > 0 && gif->SHeight > 0 &&
        static_cast<long long>(gif->SWidth) * gif->SHeight <= kMaxPixels) {
        const SavedImage& image = gif->SavedImages[0];
        const GifImageDesc& desc = image.ImageDesc;
        const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
        if (map && image.RasterBits && desc.Width > 0 && desc.Height > 0) {
            int transparent = NO_TRANSPARENT_COLOR;
            GraphicsControlBlock gcb;
            if (DGifSavedExtensionToGCB(gif, 0, &gcb) == GIF_OK) transparent = gcb.TransparentColor;
            out.width = gif->SWidth;
            out.height = gif->SHeight;
            out.rgba.assign(static_cast<size_t>(out.width) * out.height * 4, 0);
            for (int y = 0; y < desc.Height; ++y) {
                const int sy = desc.Top + y;
                if (sy < 0 || sy >= out.height) continue;
                for (int x = 0; x < desc.Width; ++x) {
                    const int sx = desc.Left + x;
                    if (sx < 0 || sx >= out.width) continue;
                    const int index = image.RasterBits[static_cast<size_t>(y) * desc.Width + x];
                    if (index == transparent || index >= map->ColorCount) continue;
                    uint8_t* p = out.rgba.data() + (static_cast<size_t>(sy) * out.width + sx) * 4;
                    p[0] = map->Colors[index].Red;
                    p[1] = map->Colors[index].Green;
                    p[2] = map->Colors[index].Blue;
                    p[3] = 255;
                }
            }
        }
    }
    DGifCloseFile(gif, &error);
    return out;
}

}  // namespace

Format detectFormat(std::string_view bytes) {
    if (bytes.size() >= 3 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
        static_cast<uint8_t>(bytes[1]) == 0xD8 && static_cast<uint8_t>(bytes[2]) == 0xFF)
        return Format::Jpeg;
    if (bytes.size() >= 6 && (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a"))
        return Format::Gif;
    return Format::Unknown;
}

Picture decodePicture(std::string_view bytes) {
    switch (detectFormat(bytes)) {
        case Format::Jpeg: return decodeJpeg(bytes);
        case Format::Gif: return decodeGif(bytes);
        case Format::Unknown: break;
    }
    return {};
}

}  // namespace runtime::picture
