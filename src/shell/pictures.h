// The title pictures of the four content pages: the defaults the program carries, the pictures
// shown at start-up, and the user's replacement of one by double-clicking it.
#pragma once

#include <string_view>

namespace shell {

// The default picture of that name ("jr.jpg", "zl.jpg", "bq.jpg", "lxr.jpg"); empty if unknown.
std::string_view defaultPicture(std::string_view name);

// Creates the pic folder; a fresh folder gets all four defaults, an existing one only the
// missing ones. An existing file is never overwritten.
void writeMissingDefaultPictures();
// Reads the four picture names from the settings and shows each file in its picture box.
void showTitlePictures();

void onTodayPictureDoubleClick();
void onOverviewPictureDoubleClick();
void onMemoPictureDoubleClick();
void onContactsPictureDoubleClick();
void onTodayPictureHover();
void onOverviewPictureHover();
void onMemoPictureHover();
void onContactsPictureHover();

void bindPictureHandlers();

}  // namespace shell
