#pragma once

#include "packs/own_pack_library.h"

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tovi {

class PacksModel;
class Settings;

// The small sheet that names a pack: one line, "Anuluj" and the action. Enter accepts a name
// that is not blank, Escape cancels.
class PackNameDialog : public QDialog {
    Q_OBJECT
public:
    PackNameDialog(const QString& title, const QString& action, const QString& name,
                   QWidget* parent = nullptr);
    QString name() const;
    QLineEdit* field() const { return m_field; }

private:
    QLineEdit* m_field;
    QPushButton* m_accept;
};

// What the person's own packs are doing, with their outcome: "Zapisuję zestaw…" while the work
// runs, then what the library says it did, and "Cofnij" after a deletion.
class OwnPackFlow : public QObject {
    Q_OBJECT
public:
    OwnPackFlow(PacksModel& model, Settings& settings, QWidget* parent);

    // Each asks what it needs over `over` (the window or the collection sheet); nothing while
    // the model is busy.
    void save(QWidget* over);
    void share(const QString& id, QWidget* over);
    void chooseImport(QWidget* over);
    void importFile(const QString& file);
    void rename(const QString& id, QWidget* over);
    void remove(const QString& id);
    // The last deletion back.
    void undo();

    const QString& text() const { return m_text; }
    bool working() const { return m_pending; }
    bool canUndo() const { return !m_undo.isEmpty(); }
    // The open name sheet, if any.
    PackNameDialog* nameDialog() const { return m_dialog; }

    // The file dialogs, replaceable in tests (nothing: cancelled). `save` gets the file name.
    void setImportChooser(std::function<std::optional<QString>(QWidget*)> chooser);
    void setShareChooser(std::function<std::optional<QString>(QWidget*, const QString&)> chooser);

signals:
    void changed();

private:
    bool idle() const;
    OwnPackLibrary& library() const;
    void begin(const QString& text);
    // Marks the work begun with the text in m_text; the answer runs `then`, shows what was done
    // and hands a failure to the model's alert.
    template <typename Result>
    OwnPackLibrary::Done<Result> told(std::function<void(const Result&)> then = {});
    void askName(QWidget* over, const QString& title, const QString& action, const QString& name,
                 std::function<void(const QString&)> done);

    PacksModel& m_model;
    QString m_text;
    QString m_undo;             // the removed folder "Cofnij" brings back, as the library said
    bool m_undoSelects = false; // it was the selected pack
    bool m_pending = false;
    QPointer<PackNameDialog> m_dialog;
    std::function<std::optional<QString>(QWidget*)> m_chooseImport;
    std::function<std::optional<QString>(QWidget*, const QString&)> m_chooseShare;
};

// The line under a screen that shows the flow: a spinner while it works, the sentence, "Cofnij"
// when a deletion can be undone, and "×" to put it away. Drawn inside its contents margins.
class PackNotice : public QWidget {
    Q_OBJECT
public:
    PackNotice(OwnPackFlow& flow, QWidget* parent = nullptr);
    QLabel* label() const { return m_label; }
    QPushButton* undoButton() const { return m_undo; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void sync();

    OwnPackFlow& m_flow;
    QWidget* m_spinner;
    QLabel* m_label;
    QPushButton* m_undo;
};

} // namespace tovi
