#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace tovi {

// Base of every error the system shows to a person. message() is the Polish text shown verbatim.
class ToviError : public std::exception {
public:
    virtual QString message() const = 0;
    const char* what() const noexcept override;

private:
    mutable QByteArray m_what;
};

} // namespace tovi
