#pragma once

#include <QImage>
#include <QString>

// The captions of every picture the system makes, single graphics and cards alike: one drawing,
// so a caption looks the same wherever it appears. Stateless; any thread.
namespace tovi::CaptionBand {

// Draws over the bottom of the square `picture`: a band darkening towards the lower edge, the
// title and the subtitle centred and elided to fit, and `label` (a card's number) small under
// them when not empty. The layout lives in a 240-unit design space scaled by the picture's
// width / 240. Throws MediaError::encode when the picture cannot be painted on.
void draw(QImage& picture, const QString& title, const QString& subtitle,
          const QString& label = {});

} // namespace tovi::CaptionBand
