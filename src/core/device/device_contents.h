#pragma once

#include "device/device_picture.h"
#include "device/device_space.h"

#include <QString>
#include <functional>
#include <vector>

namespace tovi {

// What is on the Tovi: its three albums with their pictures, the six cards of Game1 and the
// room left on the volume. Synchronous reads of a removable disk: call it from a background
// thread. Value type.
struct DeviceContents {
    struct Album {
        QString name;                        // "Photo1" … "Photo3"
        std::vector<DevicePicture> pictures; // by name; hidden files ("._…", ".…") left out
    };

    QString root;
    std::vector<Album> albums;        // Photo1, Photo2, Photo3
    std::vector<DevicePicture> cards; // 1.gif … 6.gif, a card that is not there as `missing`
    DeviceSpace space;

    // Called after each file read; returning false stops the reading (it throws Cancelled).
    // A watch that notices a device that stopped answering beats here.
    using Beat = std::function<bool()>;

    // The device root for a choice `in`: the root itself or one of its six folders. Throws
    // MediaError::invalidFolder when it is neither, PlatformError when it cannot be examined.
    static QString rootOf(const QString& in);

    // Everything on the device at `in` (as rootOf takes it). Throws what rootOf throws,
    // PlatformError when a folder cannot be listed or the volume asked, or Cancelled.
    static DeviceContents read(const QString& in, const Beat& beat = {});
};

} // namespace tovi
