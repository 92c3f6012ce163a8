// The lock keys' lights as the kernel shows them (the LED class in sysfs:
// /sys/class/leds/input3::capslock/brightness and the like). The status bar
// shows a lock pane only where such a light exists; what cannot be known is
// not shown.
#pragma once

#include <QMap>
#include <QString>

// "capslock", "numlock", "scrolllock" -> whether some keyboard's light is on;
// a lock that no keyboard has a light for is absent.
QMap<QString, bool> ReadLockLights(const QString& root = QStringLiteral("/sys/class/leds"));
