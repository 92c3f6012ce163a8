#include "shell/LockLights.h"

#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>

QMap<QString, bool> ReadLockLights(const QString& root) {
    QMap<QString, bool> lights;
    const QDir leds(root);
    for (const QString& name : leds.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString lock = name.section("::", -1);
        if (lock != "capslock" && lock != "numlock" && lock != "scrolllock")
            continue;
        // Read without blocking, as every file is: the root is a folder a test may give.
        const RegularFile opened =
            OpenRegularFile(QFile::encodeName(leds.filePath(name + "/brightness")).toStdString());
        QFile brightness;
        if (opened.fd < 0 ||
            !brightness.open(opened.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            continue;
        const bool on = brightness.readAll().trimmed().toInt() > 0;
        lights[lock] = lights.value(lock) || on;
    }
    return lights;
}
