#pragma once
// Where the demo's 16:9 picture lies in a window of another shape: as large as fits, centred,
// the rest left to black bars.

struct PictureRect {
    int x = 0;  // from the window's left edge
    int y = 0;  // from its bottom edge, as glViewport counts
    int width = 0;
    int height = 0;
    bool operator==(const PictureRect&) const = default;
};

// Empty when the window is (a minimised window reports no height).
PictureRect FitPicture(int windowWidth, int windowHeight);
