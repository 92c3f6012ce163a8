// What the view's line tool needs of the document.
#pragma once

class IDrawingDocument {
public:
    virtual ~IDrawingDocument() = default;
    virtual void SetLineFlag(int flag) = 0;
    // False when the document cannot hold another segment.
    virtual bool AddLine(int x1, int y1, int x2, int y2) = 0;
};
