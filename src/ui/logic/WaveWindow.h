#pragma once

#include <cstdint>

namespace sonlet {

// The program-wide horizontal zoom of the waveform view; 1.0 shows the whole sample.
extern double ZoomFactor;

// Which frames of a sample a lane of a given width shows, and the pixel/frame mappings.
struct WaveWindow {
    std::int64_t Frames = 0;  // N: frames in the sample
    std::int64_t First = 0;   // P: first visible frame
    std::int64_t Visible = 0; // V: visible frames
    std::int32_t Width = 0;   // W: lane width in pixels

    // A window of width pixels at zoom over frames; first is used only when zoomed in.
    static WaveWindow Make(std::int64_t frames, double zoom, std::int64_t first,
                           std::int32_t width);

    // The frame under column x, limited to the sample; 0 for an empty view.
    std::int64_t XToFrame(std::int32_t x) const;
    // The column of a frame; may lie outside 0..Width-1.
    std::int32_t FrameToX(std::int64_t frame) const;
};

// The largest zoom at which a sample still shows two frames (1.0 for shorter samples).
double MaxZoomFor(std::int64_t frames);

// The scroll bar of a zoomed view: positions 0..MaxPosition, a page of PageSize frames.
struct WaveScroll {
    std::int32_t MaxPosition = 0;
    std::int32_t PageSize = 1;
    std::int32_t Step = 1;
};
// Scroll set-up for a sample of frames shown pageFrames at a time. An empty or short sample
// gets a valid, collapsed range instead of a maximum below the minimum.
WaveScroll MakeWaveScroll(std::int64_t frames, std::int64_t pageFrames);

} // namespace sonlet
