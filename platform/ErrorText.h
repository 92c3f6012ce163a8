// What a system error number means, for the texts the operator reads: in
// Chinese for the errors a serial port, a record file or a loaded file
// commonly meets, in the system's words for the rest. Plain C++ (UTF-8), so
// the Qt-free link core says it the same way.
#pragma once

#include <string>

// The text of an errno value, e.g. ENOENT: "没有那个文件或目录".
std::string SystemErrorText(int error);
