// Port names "COM1".."COM8" and the numbers read from them.
#pragma once

#include <string>

constexpr int kPortSlots = 8;

// Reads a decimal number (scanf's %d) starting at the fourth character, where
// the number follows "COM". False when the text is too short or holds none.
bool ScanNumberAfterCom(const std::string& text, int* number);

// The configured port: a text containing "COM" is read from its fourth
// character whatever precedes "COM"; anything unusable, or outside 1..8, is 1.
int PortFromSettingText(const std::string& text);

std::string PortName(int port); // "COM3"
