// The format of a window definition: what the program writes down for each window, registers
// at start-up (registerWindows) and the form loader builds from. Plain data (constant tables of
// these structs), no Qt type, no code.
//
// A window holds its own properties, a flat list of controls and its pop-up menus. Each control
// names its container: empty for the window itself, else a tab control (with the page number)
// or a group box (the group box's page is the page the control shows on). Left and top are
// measured from the container's top-left corner; a tab control's pages cover the whole control
// and its tabs run down its left or right edge, so page children sit beside the tab strip.
// Handlers are bound by name (bindHandler in ui.h); a definition never holds code.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace runtime::ui {

enum class ControlKind {
    TabControl,
    GroupBox,
    Label,
    EditBox,
    Button,
    CheckBox,
    RadioButton,
    ListBox,
    CheckListBox,
    ComboBox,
    ProgressBar,
    Hyperlink,
    PictureBox,
    MonthCalendar,
    WeekGrid,
    DbTableView,
    // Components without a screen presence: present by name, never shown.
    CommonDialog,
    MenuComponent,
    TableProvider,
    DataSource,
    SpreadsheetApp,
    SpreadsheetWorkbook,
    ExternalDatabase,
};

std::string_view controlKindName(ControlKind kind);
bool isComponentKind(ControlKind kind);

// What the user may type into an edit box.
enum class Entry {
    Normal,
    ReadOnly,        // the user cannot type; program writes still change the text
    DigitsAndMinus,  // only "-" and 0-9 can be typed; control keys pass
};

enum class Align { Left, Centre };

enum class TabSide { Left, Right };

inline constexpr uint32_t kNoColour = 0xFFFFFFFFu;
constexpr uint32_t rgb(int r, int g, int b) { return (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b); }

struct EventBinding {
    int event = 0;
    const char* handler = nullptr;  // nullptr ends the list
};

inline constexpr int kMaxBindings = 5;

struct ControlDef {
    const char* name = "";
    ControlKind kind = ControlKind::Label;
    const char* container = "";  // "" the window, else a tab control or group box of the window
    int page = 0;                // page of the container when it is a tab control
    int left = 0, top = 0, width = 0, height = 0;
    // Caption or initial text. Tab control: page captions separated by '\n'. Button: '\n'
    // breaks the caption into lines. Combo box: the initial edit text.
    const char* text = "";
    bool hidden = false;
    bool disabled = false;
    Entry entry = Entry::Normal;
    int maxBytes = 0;  // GB18030 bytes the user may type; 0 no limit
    bool multiLine = false;
    bool verticalScrollBar = false;
    Align align = Align::Left;
    bool transparent = false;  // label drawn without a background
    // Edit box with up-down arrows: the arrows step the number in the box within [min, max].
    bool upDown = false;
    int upDownMin = 0, upDownMax = 0;
    uint32_t textColour = kNoColour;
    uint32_t backColour = kNoColour;
    // Tab control: page hints separated by '\n'. List/combo box: initial items separated by '\n'.
    const char* items = "";
    TabSide tabSide = TabSide::Left;
    // Kind-specific setting: hyperlink target, provider file, data source's provider, table
    // view's data source, common dialog's "filter", picture asset name.
    const char* target = "";
    // Common dialog: title, initial folder, and whether the chosen file and folder must exist.
    const char* dialogTitle = "";
    const char* dialogFolder = "";
    bool mustExist = false;
    bool readOnlyData = false;  // data source: the views cannot edit
    // Week grid design state.
    int gridRows = 0, gridColumns = 0, gridFixedRows = 0, gridFixedColumns = 0;
    int gridRowHeight = 0, gridColumnWidth = 0;
    EventBinding events[kMaxBindings] = {};
};

struct MenuItemDef {
    const char* caption = nullptr;  // "-" a separator; nullptr ends the list
    const char* handler = nullptr;  // bound to event::kMenuSelected of the item
};

inline constexpr int kMaxMenuItems = 8;

// A pop-up menu; its name is its caption. The item's name (the control an item's selected event
// is raised on) is its caption.
struct MenuDef {
    const char* name = "";
    MenuItemDef items[kMaxMenuItems] = {};
};

enum class Frame {
    Fixed,    // fixed-size frame with title bar
    NoFrame,  // no frame, no title bar
};

struct WindowDef {
    const char* name = "";
    const char* caption = "";
    int width = 0, height = 0;  // outer size
    Frame frame = Frame::Fixed;
    bool systemMenu = true;
    bool minimiseButton = false;
    bool maximiseButton = false;
    bool visibleOnLoad = true;
    bool centred = true;
    bool inTaskbar = true;
    bool alwaysOnTop = false;
    uint32_t backColour = kNoColour;
    // The window's font size in points; 0 the program's own (9 pt). A window whose texts are laid
    // out tighter than that font allows names a smaller size here rather than moving controls.
    int fontPointSize = 0;
    EventBinding events[kMaxBindings] = {};
    std::span<const ControlDef> controls = {};
    std::span<const MenuDef> menus = {};
};

}  // namespace runtime::ui
