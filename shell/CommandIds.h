// Command ids: one numbering for menus, toolbar, accelerators, context menu
// and the command table, so any command can be issued by its number. The
// comment after an id is its menu text, where a menu offers it (the menu
// tables are in MainMenu.cpp). The view registers its commands under these
// numbers too: this header is all it takes from the shell.
#pragma once

enum CommandId : int {
    // Survey drawing tools: no menu, toolbar or accelerator offers these.
    ID_SHIP_SHAPE = 32771,        // "船形选择"
    ID_FULL_WIDTH_LAYOUT = 32772, // "满幅布线" (does nothing)
    ID_AREA_LAYOUT = 32773,       // "区域布线" (does nothing)
    ID_CHANNEL_LAYOUT = 32774,    // "航道布线"
    ID_LINE_TOOL = 32781,         // "画线"
    ID_MEASURE_MODE = 32784,      // "测量方式": view mode 1
    ID_PLAYBACK = 32787,          // "数据回放": view mode 4
    ID_VIEW_MODE_5 = 32788,       // view mode 5 (ViewMode::Unlisted)
    ID_COORD_LIBRARY = 32796,     // "坐标库"
    ID_COORD_PLOT = 32797,        // "坐标作图"
    ID_LINE_STYLE = 32798,        // "线形设置" (does nothing)
    ID_TEXT_NOTE_TOOL = 32799,    // "文字注记"
    ID_YAW_WINDOW = 32806,        // "偏航窗口"
    ID_FONT_SETTINGS = 32807,     // "字体设置" (does nothing)
    ID_PLANNED_LINE = 32829,      // planned survey lines

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
    ID_LOAD_RECORD_FILE = 32875,   // "调入记录文件"
    ID_TIME_AXIS = 32876,          // "时间轴"
    ID_CANCEL_LOAD = 32877,        // "取消调入" (and Esc while a file loads)
    ID_SAVE_DATA_PATH = 32882,     // "保存数据路径"
    ID_ALARM_LIMITS = 32884,       // "报警角度设定"
    ID_SELECT_PORT = 32888,        // "选择串口"
    ID_SERIAL_MONITOR = 32892,     // "串口监视"
    ID_ALARM_ACKNOWLEDGE = 32893,  // "确认报警"
    ID_ALARM_SILENCE = 32894,      // "静音"
    ID_DATA_HEALTH = 32895,        // "数据状态"
    ID_FOLLOW_LIVE = 32900,        // "跟随最新"
    ID_REPLAY = 32901,             // "数据回放…"
    ID_REPLAY_END = 32902,         // "结束回放"
    ID_NET_SERVE = 32903,          // "数据转发…"
    ID_ANALYSIS_EXPORT = 32905,    // "导出…"
    ID_SESSION_SUMMARY = 32906,    // "会话摘要"

    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_DIRECT = 57608,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_FILE_MRU_FILE1 = 57616, // .. 57619: the four recent files
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
