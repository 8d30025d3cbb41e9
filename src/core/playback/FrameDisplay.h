#pragma once

#include <QImage>

#include <cstdint>

namespace pvsm {

// Where a presentation puts each picture at its time: the player's window,
// the editor's view, a recording in tests. Called on the presenter's own
// thread; `frame` is valid during the call only (copy what is kept).
class FrameDisplay
{
public:
    virtual ~FrameDisplay() = default;
    // `frameNumber`: the show's frame (from 1) the picture starts at; it
    // stands until the next call.
    virtual void present(const QImage &frame, int64_t frameNumber) = 0;
};

} // namespace pvsm
