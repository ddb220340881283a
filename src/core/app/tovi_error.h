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

// Long work stopped at the caller's request; not an error to show.
struct Cancelled : std::exception {
    const char* what() const noexcept override { return "cancelled"; }
};

} // namespace tovi
