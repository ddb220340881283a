#include "studio_model.h"

#include "device/device_layout.h"

namespace tovi {

QString StudioModel::photoFolder(const QString& in, const QString& selected) {
    return DeviceLayout::photoFolder(in, selected);
}

} // namespace tovi
