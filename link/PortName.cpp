#include "link/PortName.h"

#include <cstdio>

bool ScanNumberAfterCom(const std::string& text, int* number) {
    if (text.size() < 3)
        return false;
    return std::sscanf(text.c_str() + 3, "%d", number) == 1;
}

int PortFromSettingText(const std::string& text) {
    if (text.find("COM") == std::string::npos)
        return 1;
    int port = 0;
    if (!ScanNumberAfterCom(text, &port) || port < 1 || port > kPortSlots)
        return 1;
    return port;
}

std::string PortName(int port) {
    return "COM" + std::to_string(port);
}
