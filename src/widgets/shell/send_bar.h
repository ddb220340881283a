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
    // `options`: extra controls before the main button; the bar takes ownership.
    explicit SendBar(QWidget* options = nullptr, QWidget* parent = nullptr);

    void setTitle(const QString& title);
    void setSubtitle(const QString& subtitle);
    void setButton(const QString& label);
    void setDisabled(bool disabled);

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
    QPushButton* m_button;
};

} // namespace tovi
