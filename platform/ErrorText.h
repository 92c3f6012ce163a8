// What a system error number means, for the texts the operator reads: in
// Chinese for the errors a serial port, a record file or a loaded file
// commonly meets, in the system's words for the rest.
#pragma once

#include <QString>

// The text of an errno value, e.g. ENOENT: "没有那个文件或目录".
QString SystemErrorText(int error);
