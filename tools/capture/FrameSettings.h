#pragma once
// How each captured frame is made: its size, and how many renders go into it.

struct FrameSettings {
    int width = 1280;
    int height = 720;
    // Renders at this many times the width and height, averaged down over square blocks.
    int supersample = 1;
    // Renders per frame, spread evenly over the time the shutter is open, averaged.
    int motionBlur = 1;
    // The share of a frame's time the shutter is open, as a film camera's angle: 360 is all of it.
    double shutterDegrees = 180.0;

    int RenderWidth() const { return width * supersample; }
    int RenderHeight() const { return height * supersample; }
    bool Plain() const { return supersample == 1 && motionBlur == 1; }
};
