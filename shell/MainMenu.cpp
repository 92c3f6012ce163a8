#include "shell/MainMenu.h"

#include <map>

const std::vector<MenuEntry>& MainMenu() {
    static const std::vector<MenuEntry> menu = {
        {"文件(&F)", "保存数据路径", ID_SAVE_DATA_PATH},
        {"文件(&F)", "打开分析文件(&O)", ID_LOAD_ANALYSIS_FILE},
        {"文件(&F)", "", 0},
        {"文件(&F)", "最近文件", ID_FILE_MRU_FILE1},
        {"文件(&F)", "", 0},
        {"文件(&F)", "退出(&X)", ID_APP_EXIT},
        {"连接(&C)", "选择串口", ID_SELECT_PORT},
        {"", "串口监视(&D)", ID_SERIAL_MONITOR},
        {"实时监控视图(&R)", "实时数据视图1", ID_VIEW_REALTIME1},
        {"实时监控视图(&R)", "实时数据视图2", ID_VIEW_REALTIME2},
        {"视图操作(&V)", "中心放大", ID_ZOOM_CENTRE_IN},
        {"视图操作(&V)", "横向放大", ID_STRETCH_X},
        {"视图操作(&V)", "纵向放大", ID_STRETCH_Y},
        {"视图操作(&V)", "", 0},
        {"视图操作(&V)", "中心缩小", ID_ZOOM_CENTRE_OUT},
        {"视图操作(&V)", "横向收缩", ID_SHRINK_X},
        {"视图操作(&V)", "纵向收缩", ID_SHRINK_Y},
        {"视图操作(&V)", "", 0},
        {"视图操作(&V)", "移动", ID_MOVE},
        {"视图操作(&V)", "刷新", ID_REFRESH},
        {"视图操作(&V)", "跟随最新", ID_FOLLOW_LIVE},
        {"视图操作(&V)", "", 0},
        {"视图操作(&V)", "工具栏(&T)", ID_VIEW_TOOLBAR},
        {"数据分析视图(&A)", "调入文件", ID_LOAD_ANALYSIS_FILE},
        {"数据分析视图(&A)", "方位角(绿色线)", ID_TOGGLE_HEADING},
        {"数据分析视图(&A)", "俯仰角(褐色线)", ID_TOGGLE_PITCH},
        {"数据分析视图(&A)", "横滚角(红色线)", ID_TOGGLE_ROLL},
        {"数据分析视图(&A)", "卫星数(蓝色线)", ID_TOGGLE_SATELLITE},
        {"数据分析视图(&A)", "误差值(黄色线)", ID_TOGGLE_ERROR},
        {"报警(&B)", "报警角度设定", ID_ALARM_LIMITS},
        {"报警(&B)", "", 0},
        {"报警(&B)", "确认报警", ID_ALARM_ACKNOWLEDGE},
        {"报警(&B)", "静音", ID_ALARM_SILENCE},
        {"帮助(&H)", "系统运行时间", ID_RUNNING_TIME},
        {"帮助(&H)", "关于(&A)...", ID_APP_ABOUT},
    };
    return menu;
}

const std::vector<int>& MainToolbar() {
    static const std::vector<int> bar = {ID_LOAD_ANALYSIS_FILE,
                                         0,
                                         ID_SAVE_DATA_PATH,
                                         0,
                                         ID_SELECT_PORT,
                                         0,
                                         ID_VIEW_REALTIME1,
                                         0,
                                         ID_VIEW_REALTIME2,
                                         0,
                                         ID_ZOOM_CENTRE_IN,
                                         0,
                                         ID_ZOOM_CENTRE_OUT,
                                         0,
                                         ID_STRETCH_X,
                                         ID_SHRINK_X,
                                         ID_STRETCH_Y,
                                         ID_SHRINK_Y,
                                         0,
                                         ID_MOVE,
                                         0,
                                         ID_REFRESH,
                                         ID_FOLLOW_LIVE,
                                         0,
                                         ID_TOGGLE_HEADING,
                                         0,
                                         ID_TOGGLE_PITCH,
                                         0,
                                         ID_TOGGLE_ROLL,
                                         0,
                                         ID_TOGGLE_SATELLITE,
                                         0,
                                         ID_TOGGLE_ERROR,
                                         0,
                                         ID_ALARM_ACKNOWLEDGE,
                                         ID_ALARM_SILENCE,
                                         0,
                                         ID_APP_ABOUT};
    return bar;
}

CommandPrompt PromptFor(int id) {
    // "prompt\ntooltip".
    static const std::map<int, QString> table = {
        {ID_ZOOM_CENTRE_IN, "放大视图\n以鼠标拾取点为中心放大"},
        {ID_ZOOM_CENTRE_OUT, "缩小视图\n以鼠标拾取点为中心缩小"},
        {ID_MOVE, "移动\n移动"},
        {ID_VIEW_REALTIME1, "\n实时数据视图1"},
        {ID_STRETCH_X, "横向放大\n横向放大"},
        {ID_STRETCH_Y, "纵向放大\n纵向放大"},
        {ID_SHRINK_X, "横向收缩\n横向收缩"},
        {ID_SHRINK_Y, "纵向收缩\n纵向收缩"},
        {ID_REFRESH, "\n刷新"},
        {ID_FOLLOW_LIVE, "跟随最新：最新的样本留在实时曲线的右边缘\n跟随最新"},
        {ID_VIEW_REALTIME2, "\n实时数据视图2"},
        {ID_TOGGLE_HEADING, "\n方位角"},
        {ID_TOGGLE_PITCH, "\n俯仰角"},
        {ID_TOGGLE_ROLL, "\n横滚角"},
        {ID_TOGGLE_SATELLITE, "\n卫星数"},
        {ID_TOGGLE_ERROR, "\n误差值"},
        {ID_LOAD_ANALYSIS_FILE, "\n打开文件，调入数据"},
        {ID_SAVE_DATA_PATH, "\n选择保存数据的路径"},
        {ID_ALARM_LIMITS, "报警角度设定"},
        {ID_ALARM_ACKNOWLEDGE, "确认报警：停止报警声，报警结束前报警栏保持红色\n确认报警 (F8)"},
        {ID_ALARM_SILENCE, "静音：报警声停止 30 秒\n静音 (Shift+F8)"},
        {ID_SELECT_PORT, "选择串口\n选择串口"},
        {ID_SERIAL_MONITOR, "\n串口调试"},
        {ID_APP_ABOUT, "显示程序信息，版本号和版权\n关于"},
        {ID_APP_EXIT, "退出应用程序；提示保存文档\n退出"},
        {ID_VIEW_TOOLBAR, "显示或隐藏工具栏\n显隐工具栏"},
        {ID_FILE_MRU_FILE1, "打开该文档"},
        {ID_EXIT_TOOL, "退出"},
        {ID_LINE_TOOL, "画线\n画线"},
        {ID_TEXT_NOTE_TOOL, "文字注记\n文字注记"},
        {ID_SHIP_SHAPE, "船形选择"},
        {ID_CHANNEL_LAYOUT, "航道布线"},
        {ID_COORD_LIBRARY, "坐标库"},
        {ID_COORD_PLOT, "坐标作图"},
        {ID_YAW_WINDOW, "偏航窗口"},
        {ID_MEASURE_MODE, "测量方式"},
        {ID_PLAYBACK, "数据回放"},
        {ID_FULL_WIDTH_LAYOUT, "满幅布线\n满幅布线"},
        {ID_AREA_LAYOUT, "区域布线\n区域布线"},
        {ID_LINE_STYLE, "线形设置"},
        {ID_FONT_SETTINGS, "字体设置"},
        {ID_AREA_ZOOM, "区域缩放\n区域缩放"},
        {ID_INITIAL_VIEW, "原始视图\n原始视图"},
        {ID_FILE_NEW, "建立新文档\n新建"},
        {ID_FILE_OPEN, "打开一个现有文档\n打开"},
        {ID_FILE_SAVE, "保存活动文档\n保存"},
        {ID_FILE_PRINT, "打印活动文档\n打印"},
    };
    const auto it = table.find(id);
    if (it == table.end())
        return {};
    const int cut = it->second.indexOf('\n');
    if (cut < 0)
        return {it->second, {}};
    return {it->second.left(cut), it->second.mid(cut + 1)};
}

const std::vector<Accelerator>& MainAccelerators() {
    static const std::vector<Accelerator> keys = {
        {"Ctrl+C", ID_EDIT_COPY},
        {"Ctrl+Ins", ID_EDIT_COPY},
        {"Ctrl+N", ID_FILE_NEW},
        {"Ctrl+O", ID_FILE_OPEN},
        {"Ctrl+P", ID_FILE_PRINT},
        {"Ctrl+S", ID_FILE_SAVE},
        {"Ctrl+V", ID_EDIT_PASTE},
        {"Shift+Ins", ID_EDIT_PASTE},
        {"Alt+Backspace", ID_EDIT_UNDO},
        {"Ctrl+Z", ID_EDIT_UNDO},
        {"Shift+Del", ID_EDIT_CUT},
        {"Ctrl+X", ID_EDIT_CUT},
        {"F6", ID_NEXT_PANE},
        {"Shift+F6", ID_PREV_PANE},
        {"F8", ID_ALARM_ACKNOWLEDGE},
        {"Shift+F8", ID_ALARM_SILENCE},
    };
    return keys;
}
