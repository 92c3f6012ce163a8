#include "platform/ErrorText.h"

#include <cerrno>
#include <cstring>

QString SystemErrorText(int error) {
    switch (error) {
    case EPERM:
        return QStringLiteral("不允许的操作");
    case ENOENT:
        return QStringLiteral("没有那个文件或目录");
    case EIO:
        return QStringLiteral("输入/输出错误");
    case ENXIO:
        return QStringLiteral("没有那个设备或地址");
    case EAGAIN:
        return QStringLiteral("资源暂时不可用");
    case ENOMEM:
        return QStringLiteral("内存不足");
    case EACCES:
        return QStringLiteral("权限不够");
    case EBUSY:
        return QStringLiteral("设备或资源忙");
    case EEXIST:
        return QStringLiteral("文件已存在");
    case ENODEV:
        return QStringLiteral("没有那个设备");
    case ENOTDIR:
        return QStringLiteral("不是目录");
    case EISDIR:
        return QStringLiteral("是一个目录");
    case EINVAL:
        return QStringLiteral("无效的参数");
    case ENFILE:
        return QStringLiteral("系统中打开的文件过多");
    case EMFILE:
        return QStringLiteral("打开的文件过多");
    case ENOTTY:
        return QStringLiteral("不是终端或串口设备");
    case EFBIG:
        return QStringLiteral("文件过大");
    case ENOSPC:
        return QStringLiteral("设备上没有空间");
    case EROFS:
        return QStringLiteral("只读文件系统");
    case ENAMETOOLONG:
        return QStringLiteral("文件名过长");
    case EDQUOT:
        return QStringLiteral("超出磁盘配额");
    case ETIMEDOUT:
        return QStringLiteral("操作超时");
    default:
        break;
    }
    // Any other: the system's own text (strerror is not safe on several threads).
    char buffer[256] = {};
    return QString::fromLocal8Bit(strerror_r(error, buffer, sizeof buffer));
}
