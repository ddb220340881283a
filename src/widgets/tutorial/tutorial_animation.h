#pragma once

#include <QImage>
#include <QString>
#include <vector>

namespace tovi {

// A tutorial GIF decoded whole, with the moment each frame ends, so playback can follow the
// file's own frame timing from nothing but the time since it began.
struct TutorialAnimation {
    std::vector<QImage> frames;
    // ends[i]: seconds from the start of the loop at which frames[i] stops being shown.
    std::vector<double> ends;

    // The time a frame is shown for a declared delay; zero, negative or not a number mean the
    // file gave none.
    static double frameDelay(double declaredSeconds);
    // Decodes every frame (at most 2000 px on the longer side) with its delay. Throws a ToviError
    // when the file cannot be read or holds no frame that decodes.
    static TutorialAnimation load(const QString& path);

    void append(const QImage& frame, double declaredSeconds);
    // The loop's length: the last end, 0 when empty.
    double length() const;
    // The frame to show `seconds` after playback began; the loop repeats. 0 when there is no
    // length to loop over.
    int frameIndex(double seconds) const;
};

} // namespace tovi
