#include "shell/pictures.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "core/globals.h"
#include "runtime/base/files.h"
#include "runtime/base/text.h"
#include "runtime/ui/ui.h"
#include "shell/settings.h"

namespace assets {
struct EmbeddedFile {
    std::string_view name;
    std::string_view bytes;
};
extern const EmbeddedFile kEmbeddedFiles[];
extern const int kEmbeddedFileCount;
}  // namespace assets

namespace shell {

namespace ui = runtime::ui;

namespace {

constexpr const char* kMain = "MainWindow";

struct TitlePicture {
    const char* box;
    const char* key;
    const char* defaultFile;
};
constexpr TitlePicture kTitlePictures[] = {
    {"图片框_今日", "今日", "jr.jpg"},
    {"图片框_总览", "总览", "zl.jpg"},
    {"图片框_便签", "便签", "bq.jpg"},
    {"图片框_联系人", "联系人", "lxr.jpg"},
};

// Far beyond any title picture, and small enough to hold in memory whole.
constexpr std::uintmax_t kMaxPictureFileBytes = 64u * 1024 * 1024;

// The picture name comes from the settings file, which the user may edit: a name that leads to
// a pipe or a device would block or never end the read, and a huge file would exhaust memory.
// Such a file reads as empty, like a missing one, and the box shows nothing.
std::string readPictureFile(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) || error) return {};
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kMaxPictureFileBytes) return {};
    return runtime::readFile(path);
}

void showPicture(const TitlePicture& p, const std::string& fileName) {
    ui::setProperty(kMain, p.box, "picture", readPictureFile(core::programPath("/pic/" + fileName)));
}

void changePicture(const TitlePicture& p) {
    if (ui::showMessageBox("需要修改标题图片吗？", ui::kMbOkCancel, "询问：") != ui::kIdOk) return;
    ui::setInt(kMain, "通用对话框", "kind", 1);  // open a file
    ui::setText(kMain, "通用对话框", "");
    ui::setProperty(kMain, "通用对话框", "title", std::string("请选择一个图片文件，大小最好是390*50像素"));
    ui::setProperty(kMain, "通用对话框", "filter", std::string("图片文件（支持JPG、GIF格式）|*.jpg;*.gif"));
    if (!ui::showCommonDialog(kMain, "通用对话框")) return;
    ui::Value picked = ui::getProperty(kMain, "通用对话框", "fileName");
    const std::string* chosenPtr = std::get_if<std::string>(&picked);
    if (!chosenPtr || chosenPtr->empty()) return;
    const std::string chosen = *chosenPtr;
    if (!ui::copyFilesByShell(chosen, core::programPath("/pic/"))) {
        ui::showMessageBox("复制图片文件失败！", ui::kMbOk);
        return;
    }
    std::string name =
        runtime::getRightText(chosen, runtime::getTextLength(chosen) - runtime::findTextReverse(chosen, "/"));
    writeSetting("标题图片", p.key, name);
    // Read back rather than taken from memory: what shows now is what the next start shows.
    showPicture(p, readSetting("标题图片", p.key));
}

void showTip(const TitlePicture& p) {
    ui::setWindowToolTip(ui::getWindowHandle(kMain, p.box), "双击可修改图片", true, false);
}

}  // namespace

std::string_view defaultPicture(std::string_view name) {
    for (int i = 0; i < assets::kEmbeddedFileCount; ++i) {
        if (assets::kEmbeddedFiles[i].name == name) return assets::kEmbeddedFiles[i].bytes;
    }
    return {};
}

void writeMissingDefaultPictures() {
    std::string folder = core::programPath("/pic");
    bool fresh = runtime::createDirectory(folder);
    for (const TitlePicture& p : kTitlePictures) {
        std::string path = folder + "/" + p.defaultFile;
        if (fresh || !runtime::fileExists(path)) runtime::writeFile(path, defaultPicture(p.defaultFile));
    }
}

void showTitlePictures() {
    std::string names[4];
    for (int i = 0; i < 4; ++i)
        names[i] = readSetting("标题图片", kTitlePictures[i].key, kTitlePictures[i].defaultFile);
    for (int i = 0; i < 4; ++i) showPicture(kTitlePictures[i], names[i]);
}

void onTodayPictureDoubleClick() { changePicture(kTitlePictures[0]); }
void onOverviewPictureDoubleClick() { changePicture(kTitlePictures[1]); }
void onMemoPictureDoubleClick() { changePicture(kTitlePictures[2]); }
void onContactsPictureDoubleClick() { changePicture(kTitlePictures[3]); }
void onTodayPictureHover() { showTip(kTitlePictures[0]); }
void onOverviewPictureHover() { showTip(kTitlePictures[1]); }
void onMemoPictureHover() { showTip(kTitlePictures[2]); }
void onContactsPictureHover() { showTip(kTitlePictures[3]); }

void bindPictureHandlers() {
    struct Binding {
        const char* name;
        void (*fn)();
    };
    static constexpr Binding kBindings[] = {
        {"onTodayPictureDoubleClick", onTodayPictureDoubleClick},
        {"onOverviewPictureDoubleClick", onOverviewPictureDoubleClick},
        {"onMemoPictureDoubleClick", onMemoPictureDoubleClick},
        {"onContactsPictureDoubleClick", onContactsPictureDoubleClick},
        {"onTodayPictureHover", onTodayPictureHover},
        {"onOverviewPictureHover", onOverviewPictureHover},
        {"onMemoPictureHover", onMemoPictureHover},
        {"onContactsPictureHover", onContactsPictureHover},
    };
    for (const Binding& b : kBindings) ui::bindHandler(b.name, std::function<void()>(b.fn));
}

}  // namespace shell
