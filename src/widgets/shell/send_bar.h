#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QHBoxLayout;

namespace tovi {

// The bottom bar: what will be sent, extra options, and the main button.
class SendBar : public QWidget {
    Q_OBJECT
public:
    explicit SendBar(QWidget* parent = nullptr);

    void setTitle(const QString& title);
    void setSubtitle(const QString& subtitle);
    void setButton(const QString& label);
    void setDisabled(bool disabled);
    // Extra controls placed before the main button; the bar takes ownership.
    void setOptions(QWidget* options);

    QPushButton* button() const { return m_button; }
    QString title() const;
    QString subtitle() const;

signals:
    void triggered();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_title;
    QLabel* m_subtitle;
    QHBoxLayout* m_row;
    QWidget* m_options = nullptr;
    QPushButton* m_button;
};

} // namespace tovi
