// BFont: a font description; only its size is used. A plain value.
#pragma once

class BFont {
public:
    void SetSize(float size) { fSize = size; }
    float Size() const { return fSize; }

private:
    float fSize = 12;
};

extern const BFont* be_plain_font;
