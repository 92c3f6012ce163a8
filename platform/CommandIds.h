// Command ids: one numbering for menus, toolbar, accelerators, context menu
// and the command router, so any command can be issued by its number.
#pragma once

#include <QString>
#include <vector>

enum CommandId : int {
    ID_ZOOM_CENTRE_OUT = 32776, // "中心缩小"
    ID_ZOOM_CENTRE_IN = 32780,  // "中心放大"
    ID_EXIT_TOOL = 32782,       // context menu "退出"
    ID_MOVE = 32826,            // "移动"
    ID_VIEW_REALTIME1 = 32842,  // "实时数据视图1"
    ID_STRETCH_X = 32843,       // "横向放大"
    ID_STRETCH_Y = 32845,       // "纵向放大"
    ID_SHRINK_X = 32847,        // "横向收缩"
    ID_SHRINK_Y = 32852,        // "纵向收缩"
    ID_AREA_ZOOM = 32854,       // no menu offers it
    ID_INITIAL_VIEW = 32855,    // no menu offers it
    ID_REFRESH = 32860,         // "刷新"
    ID_VIEW_REALTIME2 = 32861,  // "实时数据视图2"
    ID_RUNNING_TIME = 32862,    // "系统运行时间"
    ID_TOGGLE_HEADING = 32864,
    ID_TOGGLE_PITCH = 32865,
    ID_TOGGLE_ROLL = 32866,
    ID_TOGGLE_SATELLITE = 32867,
    ID_TOGGLE_ERROR = 32868,
    ID_LOAD_ANALYSIS_FILE = 32869, // "打开分析文件(&O)" and "调入文件"
    ID_SAVE_DATA_PATH = 32882,     // "保存数据路径"
    ID_ALARM_LIMITS = 32884,       // "报警角度设定"
    ID_SELECT_PORT = 32888,        // "选择串口"
    ID_SERIAL_MONITOR = 32892,     // "串口监视(&D)"

    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_DIRECT = 57608,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_FILE_MRU_FILE1 = 57616,
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_UNDO = 57643,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    ID_VIEW_TOOLBAR = 59392,
};

// One entry of the main menu (resource 128). A popup opens with `popup`
// set and id 0; a separator has id 0 and an empty text.
struct MenuEntry {
    QString popup; // the popup this item belongs to; empty for a top-level command
    QString text;
    int id;
};
const std::vector<MenuEntry>& MainMenu();

// Toolbar buttons left to right; 0 stands for a separator.
const std::vector<int>& MainToolbar();

// The string-table text of a command: status-bar prompt and tooltip.
struct CommandPrompt {
    QString statusPrompt;
    QString toolTip;
};
CommandPrompt PromptFor(int id);

struct Accelerator {
    QString keys; // QKeySequence form
    int id;
};
const std::vector<Accelerator>& MainAccelerators();
