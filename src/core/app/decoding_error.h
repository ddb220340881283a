#pragma once

#include "app/tovi_error.h"

namespace tovi {

// Stored or bundled JSON that does not have the expected shape.
class DecodingError : public ToviError {
public:
    // `what` names the file or data in the user's terms, `detail` says what is wrong with it.
    DecodingError(QString what, QString detail)
        : m_what(std::move(what))
        , m_detail(std::move(detail)) {}
    QString message() const override {
        return QStringLiteral("Nie udało się odczytać danych (%1): %2.").arg(m_what, m_detail);
    }

private:
    QString m_what;
    QString m_detail;
};

} // namespace tovi
