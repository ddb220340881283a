#pragma once

#include "media/media_types.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace tovi {

class DoubleSlider;

// The three crop sliders (zoom, horizontal, vertical) with their values, and "Wycentruj kadr".
class CropControls : public QWidget {
    Q_OBJECT
public:
    explicit CropControls(QWidget* parent = nullptr);

    const CropSettings& crop() const { return m_crop; }
    // Shows `crop` without reporting a change.
    void setCrop(const CropSettings& crop);

    // The value texts: integer parts, never rounded (−0.005 shows "0", 1.5 zoom "150%").
    static QString zoomText(double zoom);
    static QString offsetText(double offset);

    DoubleSlider* zoomSlider() const { return m_zoom; }
    DoubleSlider* xSlider() const { return m_x; }
    DoubleSlider* ySlider() const { return m_y; }
    QPushButton* centreButton() const { return m_centre; }

signals:
    // After every change the user makes.
    void changed(const tovi::CropSettings& crop);

private:
    void showValues();

    CropSettings m_crop;
    DoubleSlider* m_zoom;
    DoubleSlider* m_x;
    DoubleSlider* m_y;
    QLabel* m_zoomValue;
    QLabel* m_xValue;
    QLabel* m_yValue;
    QPushButton* m_centre;
};

} // namespace tovi
