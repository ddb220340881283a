#include "own_packs.h"

#include "packs/own_pack.h"
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
#include <QSet>
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
    // The work of a save, an import or a share ends in a message or an error.
    connect(&m_model, &PacksModel::messageChanged, this, [this] {
        if (m_pending && !m_model.message().isEmpty())
            settle();
    });
    connect(&m_model, &PacksModel::errorChanged, this, [this] {
        if (m_pending && !m_model.error().isEmpty())
            settle();
    });
}

void OwnPackFlow::setImportChooser(std::function<std::optional<QString>(QWidget*)> chooser) {
    m_chooseImport = std::move(chooser);
}

void OwnPackFlow::setShareChooser(
    std::function<std::optional<QString>(QWidget*, const QString&)> chooser) {
    m_chooseShare = std::move(chooser);
}

void OwnPackFlow::begin(const QString& text) {
    m_pending = true;
    m_text = text;
    m_undo.clear();
    emit changed();
}

void OwnPackFlow::settle(const QString& undo) {
    m_pending = false;
    // A failure is the error alert's to tell.
    m_text = m_model.error().isEmpty() ? m_model.message() : QString();
    m_undo = m_text.isEmpty() ? QString() : undo;
    emit changed();
}

void OwnPackFlow::askName(QWidget* over, const QString& title, const QString& action,
                          const QString& name, std::function<void(const QString&)> done) {
    if (m_dialog || m_model.busy())
        return;
    m_dialog = new PackNameDialog(title, action, name, over);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_dialog, &QDialog::accepted, this, [this, done] {
        if (!m_model.busy())
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
                begin(QStringLiteral("Zapisuję zestaw „%1”…").arg(chosen));
                m_model.saveOwnPack(chosen);
            });
}

void OwnPackFlow::share(const QString& id, QWidget* over) {
    const StarterPack* pack = m_model.pack();
    if (m_model.busy() || !pack || pack->id != id || !m_chooseShare)
        return;
    QString name = pack->name;
    name.replace(QLatin1Char('/'), QLatin1Char('-')); // a file name, not a path
    const std::optional<QString> file = m_chooseShare(over, name + QStringLiteral(".tovipack"));
    if (!file)
        return;
    begin(QStringLiteral("Zapisuję plik zestawu „%1”…").arg(pack->name));
    m_model.exportPack(id, *file);
}

void OwnPackFlow::chooseImport(QWidget* over) {
    if (m_model.busy() || !m_chooseImport)
        return;
    if (const std::optional<QString> file = m_chooseImport(over))
        importFile(*file);
}

void OwnPackFlow::importFile(const QString& file) {
    if (m_model.busy())
        return;
    begin(QStringLiteral("Importuję zestaw…"));
    m_model.importPack(file);
}

void OwnPackFlow::rename(const QString& id, QWidget* over) {
    const OwnPack* own = m_model.ownPack(id);
    if (!own)
        return;
    askName(over, QStringLiteral("Zmień nazwę zestawu"), QStringLiteral("Zmień nazwę"),
            own->content.name, [this, id](const QString& chosen) {
                m_model.renameOwnPack(id, chosen);
                settle();
            });
}

void OwnPackFlow::remove(const QString& id) {
    if (m_model.busy() || !m_model.ownPack(id))
        return;
    QSet<QString> before;
    for (const OwnPackStore::Removed& removed : m_model.removedOwnPacks())
        before.insert(removed.folder);
    m_undoSelects = id == m_model.selectedID();
    m_model.deleteOwnPack(id);
    QString moved;
    for (const OwnPackStore::Removed& removed : m_model.removedOwnPacks())
        if (!before.contains(removed.folder))
            moved = removed.folder;
    settle(moved);
}

void OwnPackFlow::undo() {
    if (m_undo.isEmpty() || m_model.busy())
        return;
    const QString folder = std::exchange(m_undo, {});
    QSet<QString> before;
    for (const OwnPack& own : m_model.ownPacks())
        before.insert(own.id);
    m_model.restoreOwnPack(folder);
    settle();
    // The pack that was being edited is again.
    for (const OwnPack& own : m_model.ownPacks())
        if (!before.contains(own.id) && m_undoSelects)
            m_model.selectPack(own.id);
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
