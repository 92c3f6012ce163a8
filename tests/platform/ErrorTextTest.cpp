#include "platform/ErrorText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

TEST(SystemErrorText, CommonErrorsInChineseTheRestAsTheSystemSaysThem) {
    const std::vector<std::pair<int, const char*>> table = {{EPERM, "不允许"},
                                                            {ENOENT, "没有那个文件"},
                                                            {EIO, "输入/输出"},
                                                            {ENXIO, "设备或地址"},
                                                            {EAGAIN, "暂时"},
                                                            {ENOMEM, "内存"},
                                                            {EACCES, "权限"},
                                                            {EBUSY, "忙"},
                                                            {EEXIST, "已存在"},
                                                            {ENODEV, "没有那个设备"},
                                                            {ENOTDIR, "不是目录"},
                                                            {EISDIR, "是一个目录"},
                                                            {EINVAL, "参数"},
                                                            {ENFILE, "系统中"},
                                                            {EMFILE, "打开的文件过多"},
                                                            {ENOTTY, "串口"},
                                                            {EFBIG, "过大"},
                                                            {ENOSPC, "空间"},
                                                            {EROFS, "只读"},
                                                            {ENAMETOOLONG, "文件名"},
                                                            {EDQUOT, "配额"},
                                                            {ETIMEDOUT, "超时"},
                                                            {EADDRINUSE, "已在使用"},
                                                            {ECONNREFUSED, "拒绝"}};
    for (const auto& [error, word] : table) {
        const std::string text = SystemErrorText(error);
        const bool latin = std::any_of(text.begin(), text.end(), [](char c) {
            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        });
        EXPECT_TRUE(text.find(word) != std::string::npos && !latin)
            << std::strerror(error) << ": " << text;
    }
    for (int error : {EXDEV, EPIPE, 4321})
        EXPECT_EQ(SystemErrorText(error), std::strerror(error));
}

} // namespace
