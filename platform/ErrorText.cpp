#include "platform/ErrorText.h"

#include <cerrno>
#include <cstring>

std::string SystemErrorText(int error) {
    switch (error) {
    case EPERM:
        return std::string("不允许的操作");
    case ENOENT:
        return std::string("没有那个文件或目录");
    case EIO:
        return std::string("输入/输出错误");
    case ENXIO:
        return std::string("没有那个设备或地址");
    case EAGAIN:
        return std::string("资源暂时不可用");
    case ENOMEM:
        return std::string("内存不足");
    case EACCES:
        return std::string("权限不够");
    case EBUSY:
        return std::string("设备或资源忙");
    case EEXIST:
        return std::string("文件已存在");
    case ENODEV:
        return std::string("没有那个设备");
    case ENOTDIR:
        return std::string("不是目录");
    case EISDIR:
        return std::string("是一个目录");
    case EINVAL:
        return std::string("无效的参数");
    case ENFILE:
        return std::string("系统中打开的文件过多");
    case EMFILE:
        return std::string("打开的文件过多");
    case ENOTTY:
        return std::string("不是终端或串口设备");
    case EFBIG:
        return std::string("文件过大");
    case ENOSPC:
        return std::string("设备上没有空间");
    case EROFS:
        return std::string("只读文件系统");
    case ENAMETOOLONG:
        return std::string("文件名过长");
    case EDQUOT:
        return std::string("超出磁盘配额");
    case ETIMEDOUT:
        return std::string("操作超时");
    default:
        break;
    }
    // Any other: the system's own text (strerror is not safe on several threads).
    char buffer[256] = {};
    return strerror_r(error, buffer, sizeof buffer);
}
