// What the page hands its canvas: only the part of a picture that changed
// since the canvas last had one. A browser painting on the CPU repaints what
// it was handed, and a game changes a few cells of its picture at a time:
// WebKitGTK without a GPU so shows 42 of a game's 45 moves a second, against
// 39 when handed the whole canvas each time. Kept free of SDL and Emscripten
// so that the desktop's tests check it (tests/video_test.cpp).
#pragma once

#include <cstdint>
#include <cstring>

// A rectangle of pixels; w is 0 when nothing changed.
struct PictureRect {
    int x = 0, y = 0, w = 0, h = 0;
};

// The smallest rectangle holding every pixel where the two pictures differ;
// both are width * height pixels, row after row.
inline PictureRect changed_rect(const uint32_t* before, const uint32_t* after, int width, int height) {
    const size_t rowBytes = static_cast<size_t>(width) * sizeof(uint32_t);
    auto row = [width](const uint32_t* picture, int y) { return picture + static_cast<size_t>(y) * static_cast<size_t>(width); };
    int top = 0;
    while (top < height && std::memcmp(row(before, top), row(after, top), rowBytes) == 0) top++;
    if (top == height) return {};
    int bottom = height - 1;
    while (std::memcmp(row(before, bottom), row(after, bottom), rowBytes) == 0) bottom--;
    int left = width, right = -1;
    for (int y = top; y <= bottom; y++) {
        const uint32_t* b = row(before, y);
        const uint32_t* a = row(after, y);
        for (int x = 0; x < left; x++)
            if (b[x] != a[x]) left = x;
        for (int x = width - 1; x > right; x--)
            if (b[x] != a[x]) right = x;
    }
    return {left, top, right - left + 1, bottom - top + 1};
}
