// The settings file config.ini and the settings page. loadSettings reads the file once, at the
// end of start-up, and applies it; each control of the settings page writes its own key at
// once. Only the two "立即生效" buttons apply a value to the running window: a changed default
// page or minimise mode takes effect at the next start.
#pragma once

#include <string>
#include <string_view>

namespace shell {

void loadSettings();

void onMonthViewOptionClicked();
void onWeekViewOptionClicked();
void onTodayOptionClicked();
void onOverviewOptionClicked();
void onMemoOptionClicked();
void onContactsOptionClicked();
void onTrayOptionClicked();
void onScreenTopOptionClicked();
void onZoomEdited();
void onApplyZoom();
void onWeekRowHeightEdited();
void onApplyRowHeight();

void bindSettingsHandlers();

// The settings file's path, and one key's value with a default.
std::string configPath();
std::string readSetting(std::string_view section, std::string_view key, std::string_view defaultValue = {});
void writeSetting(std::string_view section, std::string_view key, std::string_view value);

}  // namespace shell
