#pragma once

#include <QIcon>
#include <QString>

// The program's icon (res/icons/quillmar.svg, rendered into PNG sizes so that
// no SVG plug-in is needed): the window icon and the picture of the version box.
inline QIcon QuillmarIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QString(":/icons/quillmar-%1.png").arg(size), QSize(size, size));
    return icon;
}
