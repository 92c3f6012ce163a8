#include "platform/ErrorText.h"

#include "platform/UiText.h"

#include <cerrno>
#include <cstring>

std::string SystemErrorText(int error) {
    switch (error) {
    case EPERM:
        return UiText("ErrorText", "不允许的操作");
    case ENOENT:
        return UiText("ErrorText", "没有那个文件或目录");
    case EIO:
        return UiText("ErrorText", "输入/输出错误");
    case ENXIO:
        return UiText("ErrorText", "没有那个设备或地址");
    case EAGAIN:
        return UiText("ErrorText", "资源暂时不可用");
    case ENOMEM:
        return UiText("ErrorText", "内存不足");
    case EACCES:
        return UiText("ErrorText", "权限不够");
    case EBUSY:
        return UiText("ErrorText", "设备或资源忙");
    case EEXIST:
        return UiText("ErrorText", "文件已存在");
    case ENODEV:
        return UiText("ErrorText", "没有那个设备");
    case ENOTDIR:
        return UiText("ErrorText", "不是目录");
    case EISDIR:
        return UiText("ErrorText", "是一个目录");
    case EINVAL:
        return UiText("ErrorText", "无效的参数");
    case ENFILE:
        return UiText("ErrorText", "系统中打开的文件过多");
    case EMFILE:
        return UiText("ErrorText", "打开的文件过多");
    case ENOTTY:
        return UiText("ErrorText", "不是终端或串口设备");
    case EFBIG:
        return UiText("ErrorText", "文件过大");
    case ENOSPC:
        return UiText("ErrorText", "设备上没有空间");
    case EROFS:
        return UiText("ErrorText", "只读文件系统");
    case ENAMETOOLONG:
        return UiText("ErrorText", "文件名过长");
    case EDQUOT:
        return UiText("ErrorText", "超出磁盘配额");
    case ETIMEDOUT:
        return UiText("ErrorText", "操作超时");
    // What a network source or the sharing meets.
    case EADDRINUSE:
        return UiText("ErrorText", "地址已在使用");
    case EADDRNOTAVAIL:
        return UiText("ErrorText", "无法使用该地址");
    case ECONNREFUSED:
        return UiText("ErrorText", "连接被拒绝");
    case ECONNRESET:
        return UiText("ErrorText", "连接被对方重置");
    case EHOSTUNREACH:
        return UiText("ErrorText", "无法到达主机");
    case ENETUNREACH:
        return UiText("ErrorText", "网络不可达");
    default:
        break;
    }
    // Any other: the system's own text (strerror is not safe on several threads).
    char buffer[256] = {};
    return strerror_r(error, buffer, sizeof buffer);
}
