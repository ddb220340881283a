#pragma once

#include "app/resource_bundle.h"

#include <QImage>

namespace tovi::artwork {

// Every card of the bundle's collection rendered at 240 px with its captions on, round as the
// device shows it, six to a row under each pack's name. Throws what the pack loader, the image
// decoder or the renderer throw.
QImage contactSheet(const ResourceBundle& bundle);

} // namespace tovi::artwork
