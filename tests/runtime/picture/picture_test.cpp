// Picture decoding on real JPEG and GIF bytes, and on bytes that are no picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "runtime/picture/picture.h"
#include "runtime/picture/test_pictures.h"

using runtime::picture::decodePicture;
using runtime::picture::detectFormat;
using runtime::picture::Format;

namespace {
const uint8_t* pixel(const runtime::picture::Picture& p, int x, int y) {
    return p.rgba.data() + (static_cast<size_t>(y) * p.width + x) * 4;
}
}  // namespace

TEST(PictureJpeg, DecodesSizeAndColours) {
    const std::string bytes = testing_pictures::makeJpeg(64, 16);
    EXPECT_EQ(detectFormat(bytes), Format::Jpeg);
    auto p = decodePicture(bytes);
    ASSERT_EQ(p.width, 64);
    ASSERT_EQ(p.height, 16);
    ASSERT_EQ(p.rgba.size(), 64u * 16 * 4);
    // Left edge red, right edge blue, opaque; JPEG is lossy, so within a margin.
    EXPECT_GT(pixel(p, 0, 8)[0], 200);
    EXPECT_LT(pixel(p, 0, 8)[2], 60);
    EXPECT_LT(pixel(p, 63, 8)[0], 60);
    EXPECT_GT(pixel(p, 63, 8)[2], 200);
    EXPECT_EQ(pixel(p, 30, 3)[3], 255);
}

TEST(PictureJpeg, CutShortAfterTheHeaderStillGivesThePicturesSize) {
    const std::string bytes = testing_pictures::makeJpeg(256, 128);
    auto p = decodePicture(std::string_view(bytes).substr(0, bytes.size() / 2));
    EXPECT_EQ(p.width, 256);
    EXPECT_EQ(p.height, 128);
}

TEST(PictureJpeg, CutInsideTheHeaderGivesNothing) {
    const std::string bytes = testing_pictures::makeJpeg(64, 64);
    for (size_t n : {3u, 20u, 100u})
        EXPECT_TRUE(decodePicture(std::string_view(bytes).substr(0, n)).empty()) << n;
}

TEST(PictureGif, DecodesPaletteBands) {
    const std::string bytes = testing_pictures::makeGif(10, 8);
    EXPECT_EQ(detectFormat(bytes), Format::Gif);
    auto p = decodePicture(bytes);
    ASSERT_EQ(p.width, 10);
    ASSERT_EQ(p.height, 8);
    const uint8_t* top = pixel(p, 5, 0);
    EXPECT_EQ(top[0], 255);
    EXPECT_EQ(top[1], 0);
    EXPECT_EQ(top[2], 0);
    EXPECT_EQ(top[3], 255);
    const uint8_t* third = pixel(p, 5, 5);
    EXPECT_EQ(third[2], 255);
    EXPECT_EQ(third[0], 0);
    const uint8_t* bottom = pixel(p, 9, 7);
    EXPECT_EQ(bottom[0], 255);
    EXPECT_EQ(bottom[1], 255);
}

TEST(PictureGif, TransparentIndexIsClear) {
    auto p = decodePicture(testing_pictures::makeGif(4, 4, 0));
    ASSERT_FALSE(p.empty());
    EXPECT_EQ(pixel(p, 0, 0)[3], 0);
    EXPECT_EQ(pixel(p, 0, 3)[3], 255);
}

TEST(PictureBadBytes, EmptyGarbageAndCutFilesGiveNothingOrAPicture) {
    EXPECT_TRUE(decodePicture("").empty());
    EXPECT_TRUE(decodePicture("hello, this is not a picture").empty());
    EXPECT_TRUE(decodePicture("GIF89a").empty());
    EXPECT_TRUE(decodePicture(std::string("\xFF\xD8\xFF\xE0garbage", 11)).empty());
    const std::string gif = testing_pictures::makeGif(16, 16);
    for (size_t n = 0; n < gif.size(); n += 3) {
        auto p = decodePicture(std::string_view(gif).substr(0, n));
        if (!p.empty()) {  // a cut file may keep its image; then it must be whole
            EXPECT_EQ(p.rgba.size(), static_cast<size_t>(p.width) * p.height * 4);
        }
    }
    // Random bytes behind each signature: no crash, and any picture is well formed.
    std::srand(7);
    for (int round = 0; round < 200; ++round) {
        std::string bytes = round % 2 ? std::string("\xFF\xD8\xFF", 3) : std::string("GIF89a");
        const int length = std::rand() % 400;
        for (int i = 0; i < length; ++i) bytes.push_back(static_cast<char>(std::rand() & 0xFF));
        auto p = decodePicture(bytes);
        if (!p.empty()) {
            EXPECT_EQ(p.rgba.size(), static_cast<size_t>(p.width) * p.height * 4);
        }
    }
}

TEST(PictureBadBytes, HugeDeclaredSizeIsRefused) {
    // A GIF header claiming 65535 x 65535 with no image data.
    std::string bytes("GIF89a\xFF\xFF\xFF\xFF\x00\x00\x00;", 14);
    EXPECT_TRUE(decodePicture(bytes).empty());
}

TEST(PictureCarried, DefaultTitlePicturesDecodeAtTheirSizes) {
    struct Expected {
        const char* file;
        int width, height;
    };
    for (const Expected& e : {Expected{"jr.jpg", 1024, 137}, Expected{"zl.jpg", 1024, 130},
                              Expected{"bq.jpg", 705, 89}, Expected{"lxr.jpg", 631, 90}}) {
        std::ifstream in(std::string(QB_ASSETS_DIR) + "/pic/" + e.file, std::ios::binary);
        ASSERT_TRUE(in) << e.file;
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto p = decodePicture(bytes);
        EXPECT_EQ(p.width, e.width) << e.file;
        EXPECT_EQ(p.height, e.height) << e.file;
    }
}
