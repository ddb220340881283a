#pragma once

#include "shell/caption_fields.h"

#include <QWidget>

class QLabel;

namespace tovi {

class PacksModel;

// The animation tool of the card editor: the set's reveal, a draw to preview it, the size.
class PacksAnimationControls : public QWidget {
    Q_OBJECT
public:
    explicit PacksAnimationControls(PacksModel& model, QWidget* parent = nullptr);
};

// The caption tool of the card editor: the current card's two lines above the switch, and what
// the card means in its pack; applied to the card's edit on every keystroke.
class PacksCaptionControls : public CaptionFields {
    Q_OBJECT
public:
    explicit PacksCaptionControls(PacksModel& model, QWidget* parent = nullptr);

private:
    void sync();

    PacksModel& m_model;
    QLabel* m_meaning;
};

} // namespace tovi
