#include "own_packs.h"

#include "app/background_task.h"
#include "packs/own_pack.h"
#include "packs/pack_file.h"
#include "packs/packs_model.h"
#include "shell/controls.h"
#include "shell/file_chooser.h"
#include "shell/sheet_parts.h"
#include "shell/theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace tovi {

PackNameDialog::PackNameDialog(const QString& title, const QString& action, const QString& name,
                               QWidget* parent)
    : QDialog(parent)
    , m_field(new QLineEdit(name))
    , m_accept(new QPushButton(action)) {
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(380);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 20, 24, 20);
    column->setSpacing(12);
    auto* heading = new QLabel(title);
    heading->setFont(Typography::font(Typography::Style::title3, QFont::Bold));
    column->addWidget(heading);
    auto* label = new QLabel(QStringLiteral("Nazwa zestawu"));
    label->setBuddy(m_field);
    column->addWidget(label);
    m_field->setAccessibleName(QStringLiteral("Nazwa zestawu"));
    m_field->setMaxLength(maxPackNameLength);
    m_field->selectAll();
    column->addWidget(m_field);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* cancel = new QPushButton(QStringLiteral("Anuluj"));
    cancel->setAutoDefault(false);
    buttons->addWidget(cancel);
    m_accept->setDefault(true);
    m_accept->setStyleSheet(SheetParts::accentButtonStyle());
    buttons->addWidget(m_accept);
    column->addLayout(buttons);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_accept, &QPushButton::clicked, this, &QDialog::accept);
    const auto sync = [this] { m_accept->setEnabled(!this->name().isEmpty()); };
    connect(m_field, &QLineEdit::textChanged, this, sync);
    sync();
}

QString PackNameDialog::name() const {
    return m_field->text().trimmed();
}

OwnPackFlow::OwnPackFlow(PacksModel& model, Settings& settings, QWidget* parent)
    : QObject(parent)
    , m_model(model) {
    m_chooseImport = [&settings](QWidget* over) {
        return FileChooser::open(over, settings, QStringLiteral("Importuj zestaw"),
                                 QStringLiteral("Zestawy kart Tovi (*.tovipack);;Wszystkie "
                                                "pliki (*)"));
    };
    m_chooseShare = [&settings](QWidget* over, const QString& name) {
        return FileChooser::saveAs(over, settings, name);
    };
}

void OwnPackFlow::setImportChooser(std::function<std::optional<QString>(QWidget*)> chooser) {
    m_chooseImport = std::move(chooser);
}

void OwnPackFlow::setShareChooser(
    std::function<std::optional<QString>(QWidget*, const QString&)> chooser) {
    m_chooseShare = std::move(chooser);
}

bool OwnPackFlow::idle() const {
    return !m_model.busy() && !m_model.library().busy();
}

OwnPackLibrary& OwnPackFlow::library() const {
    return m_model.library();
}

void OwnPackFlow::begin(const QString& text) {
    m_pending = true;
    m_text = text;
    m_undo.clear();
    emit changed();
}

template <typename Result>
OwnPackLibrary::Done<Result> OwnPackFlow::told(std::function<void(const Result&)> then) {
    begin(m_text);
    return [self = QPointer<OwnPackFlow>(this), then](const Outcome<Result>& outcome) {
        if (!self)
            return;
        self->m_pending = false;
        self->m_text.clear();
        if (outcome.ok()) {
            if (then)
                then(*outcome.value);
            self->m_text = OwnPackLibrary::text(*outcome.value);
        } else {
            // A failure is the error alert's to tell.
            self->m_model.reportError(outcome.error);
        }
        emit self->changed();
    };
}

void OwnPackFlow::askName(QWidget* over, const QString& title, const QString& action,
                          const QString& name, std::function<void(const QString&)> done) {
    if (m_dialog || !idle())
        return;
    m_dialog = new PackNameDialog(title, action, name, over);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_dialog, &QDialog::accepted, this, [this, done] {
        if (idle())
            done(m_dialog->name());
    });
    m_dialog->open();
}

void OwnPackFlow::save(QWidget* over) {
    const StarterPack* pack = m_model.pack();
    if (!pack)
        return;
    const QString name =
        m_model.ownPack(pack->id) ? pack->name : QStringLiteral("%1 – mój zestaw").arg(pack->name);
    askName(over, QStringLiteral("Zapisz jako mój zestaw"), QStringLiteral("Zapisz"),
            name.left(maxPackNameLength), [this](const QString& chosen) {
                PackContent content;
                try {
                    content = m_model.content(m_model.selectedID());
                } catch (...) {
                    m_model.reportError(describeFailure(std::current_exception()));
                    return;
                }
                content.name = chosen;
                m_text = QStringLiteral("Zapisuję zestaw „%1”…").arg(chosen);
                library().save(content, told<OwnPackLibrary::Saved>(
                                            [this](const OwnPackLibrary::Saved& saved) {
                                                m_model.selectPack(saved.id);
                                            }));
            });
}

void OwnPackFlow::share(const QString& id, QWidget* over) {
    const StarterPack* pack = m_model.pack();
    if (!idle() || !pack || pack->id != id || !m_chooseShare)
        return;
    PackContent content;
    try {
        content = m_model.content(id);
    } catch (...) {
        m_model.reportError(describeFailure(std::current_exception()));
        return;
    }
    const std::optional<QString> file =
        m_chooseShare(over, PackFile::suggestedFileName(content.name));
    if (!file)
        return;
    m_text = QStringLiteral("Zapisuję plik zestawu „%1”…").arg(content.name);
    library().exportPack(content, *file, told<OwnPackLibrary::Exported>());
}

void OwnPackFlow::chooseImport(QWidget* over) {
    if (!idle() || !m_chooseImport)
        return;
    if (const std::optional<QString> file = m_chooseImport(over))
        importFile(*file);
}

void OwnPackFlow::importFile(const QString& file) {
    if (!idle())
        return;
    m_text = QStringLiteral("Importuję zestaw…");
    library().importFile(
        file, told<OwnPackLibrary::Imported>([this](const OwnPackLibrary::Imported& imported) {
            m_model.selectPack(imported.id);
        }));
}

void OwnPackFlow::rename(const QString& id, QWidget* over) {
    const OwnPack* own = m_model.ownPack(id);
    if (!own)
        return;
    askName(over, QStringLiteral("Zmień nazwę zestawu"), QStringLiteral("Zmień nazwę"),
            own->content.name, [this, id](const QString& chosen) {
                m_text.clear();
                library().rename(id, chosen, told<OwnPackLibrary::Renamed>());
            });
}

void OwnPackFlow::remove(const QString& id) {
    if (!idle() || (!m_model.ownPack(id) && !library().findDamaged(id)))
        return;
    const bool selected = id == m_model.selectedID();
    m_text.clear();
    library().remove(
        id, told<OwnPackLibrary::Removed>([this, selected](const OwnPackLibrary::Removed& removed) {
            if (removed.restorable)
                m_undo = removed.folder;
            m_undoSelects = selected;
        }));
}

void OwnPackFlow::undo() {
    if (m_undo.isEmpty() || !idle())
        return;
    const QString folder = std::exchange(m_undo, {});
    m_text.clear();
    library().restore(
        folder, told<OwnPackLibrary::Restored>(
                    [this, selects = m_undoSelects](const OwnPackLibrary::Restored& restored) {
                        // The pack that was being edited is again.
                        if (selects)
                            m_model.selectPack(restored.id);
                    }));
}

PackNotice::PackNotice(OwnPackFlow& flow, QWidget* parent)
    : QWidget(parent)
    , m_flow(flow)
    , m_spinner(new Spinner(16))
    , m_label(new QLabel)
    , m_undo(SheetParts::flatButton(QStringLiteral("Cofnij"), QStringLiteral("undoDelete"))) {
    setAccessibleName(QStringLiteral("Moje zestawy"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 6, 6, 6);
    row->setSpacing(10);
    row->addWidget(m_spinner);
    m_label->setWordWrap(true);
    m_label->setTextInteractionFlags(Qt::NoTextInteraction);
    setAlert(m_label);
    row->addWidget(m_label, 1);
    m_undo->setAccessibleDescription(QStringLiteral("Przywraca usunięty zestaw"));
    row->addWidget(m_undo);
    auto* close = SheetParts::flatButton(QStringLiteral("×"), QStringLiteral("closeNotice"));
    close->setAccessibleName(QStringLiteral("Zamknij komunikat"));
    close->setToolTip(QStringLiteral("Zamknij komunikat"));
    row->addWidget(close);
    Theme::followWithStyleSheet(this, [this] { return SheetParts::flatButtonStyle(this); });
    connect(m_undo, &QPushButton::clicked, &m_flow, &OwnPackFlow::undo);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    connect(&m_flow, &OwnPackFlow::changed, this, &PackNotice::sync);
    sync();
}

void PackNotice::sync() {
    const bool shown = !m_flow.text().isEmpty();
    m_spinner->setVisible(m_flow.working());
    m_undo->setVisible(m_flow.canUndo());
    m_label->setText(m_flow.text());
    m_label->setAccessibleName(m_flow.text()); // what the alert says
    setVisible(shown);
    if (shown)
        announce(m_label);
}

void PackNotice::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Theme::primary(this, 0.08), 1));
    painter.setBrush(Theme::primary(this, 0.04));
    painter.drawRoundedRect(QRectF(contentsRect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
}

} // namespace tovi
