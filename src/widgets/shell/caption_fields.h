#pragma once

#include <QString>
#include <QWidget>

class QLineEdit;
class QVBoxLayout;

namespace tovi {

class Switch;

// The caption tool of both screens: the switch "Napisy na ekranie Tovi" and the title and
// subtitle lines. A screen derives from it, shows its model's values with display() and applies
// the signals to the model.
class CaptionFields : public QWidget {
    Q_OBJECT
public:
    enum class Order { switchAbove, switchBelow };

    // `titleName` names the first line; the second is "Podpis".
    CaptionFields(const QString& titleName, Order order, QWidget* parent = nullptr);

    Switch* captionsSwitch() const { return m_captions; }
    QLineEdit* titleField() const { return m_title; }
    QLineEdit* subtitleField() const { return m_subtitle; }

    // Typing into an empty line means the captions are wanted: the switch comes on. `Edit` is
    // the model's value with `captions` and the two lines.
    template <typename Edit>
    static void type(Edit& edit, QString Edit::*line, const QString& text) {
        edit.captions = edit.captions || (edit.*line).isEmpty();
        edit.*line = text;
    }

signals:
    void captionsToggled(bool on);
    void titleTyped(const QString& text);
    void subtitleTyped(const QString& text);

protected:
    QVBoxLayout* column() const { return m_column; }
    // Shows the model's values without signalling; a line changes only when it differs, so the
    // cursor stays where the person is typing.
    void display(bool captions, const QString& title, const QString& subtitle);
    // A clear button at the end of each line, named after it ("Wyczyść podpis").
    void offerClearing();

private:
    QVBoxLayout* m_column;
    Switch* m_captions;
    QLineEdit* m_title;
    QLineEdit* m_subtitle;
};

} // namespace tovi
