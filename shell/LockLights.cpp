#include "shell/LockLights.h"

#include <QDir>
#include <QFile>

QMap<QString, bool> ReadLockLights(const QString& root) {
    QMap<QString, bool> lights;
    const QDir leds(root);
    for (const QString& name : leds.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString lock = name.section("::", -1);
        if (lock != "capslock" && lock != "numlock" && lock != "scrolllock")
            continue;
        QFile brightness(leds.filePath(name + "/brightness"));
        if (!brightness.open(QIODevice::ReadOnly))
            continue;
        const bool on = brightness.readAll().trimmed().toInt() > 0;
        lights[lock] = lights.value(lock) || on;
    }
    return lights;
}
