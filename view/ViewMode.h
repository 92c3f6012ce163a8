// What the view shows.
#pragma once

enum class ViewMode {
    Measure = 1,   // "测量方式": no display draws it, the background shows
    Playback = 4,  // "数据回放": likewise
    Unlisted = 5,  // likewise, and no menu offers it: only its command id
    RealTime1 = 7, // the attitude display
    RealTime2 = 8, // the live curves
    Analysis = 10, // the curves of a loaded file
};
