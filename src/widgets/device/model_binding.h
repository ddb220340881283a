#pragma once

#include "device/transfer_sheet.h"

#include <QMessageBox>
#include <QPushButton>

// What both screens do with their model around the transfer sheet and the error alert. A model
// here is StudioModel or PacksModel: destination, message, error, busy and stalled, with their
// signals.
namespace tovi {

// Keeps the sheet showing the model's destination, message, error, busy and stalled state.
template <typename Model> void followModel(ToviTransferSheet* sheet, Model& model) {
    sheet->setMessage(model.message());
    sheet->setError(model.error(), model.errorKind());
    sheet->setDestination(model.destination());
    QObject::connect(&model, &Model::destinationChanged, sheet,
                     [sheet, &model] { sheet->setDestination(model.destination()); });
    QObject::connect(&model, &Model::messageChanged, sheet,
                     [sheet, &model] { sheet->setMessage(model.message()); });
    QObject::connect(&model, &Model::errorChanged, sheet,
                     [sheet, &model] { sheet->setError(model.error(), model.errorKind()); });
    QObject::connect(&model, &Model::stalledChanged, sheet,
                     [sheet, &model] { sheet->setStalled(model.stalled()); });
    sheet->setStalled(model.stalled());
    // The busy edge: by then the message, error and files are the outcome's.
    QObject::connect(&model, &Model::busyChanged, sheet,
                     [sheet, &model] { sheet->setBusy(model.busy()); });
    sheet->setBusy(model.busy());
}

// The alert of a failure: `title`, the model's error text and "OK", which clears the error.
template <typename Model>
QMessageBox* openErrorAlert(QWidget* parent, Model& model, const QString& title) {
    auto* alert =
        new QMessageBox(QMessageBox::Warning, title, model.error(), QMessageBox::Ok, parent);
    alert->setWindowModality(Qt::WindowModal);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    QObject::connect(alert, &QMessageBox::finished, parent, [&model] { model.clearError(); });
    alert->open();
    return alert;
}

} // namespace tovi
