#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace tovi {

// The few kinds of failure a window offers something for beyond their text; every other failure
// is `other`. Carried beside the message wherever a failure crosses a thread or a model.
enum class FailureKind { other, deviceFull };

// Base of every error the system shows to a person. message() is the Polish text shown verbatim.
class ToviError : public std::exception {
public:
    virtual QString message() const = 0;
    virtual FailureKind failureKind() const { return FailureKind::other; }
    const char* what() const noexcept override;

private:
    mutable QByteArray m_what;
};

// Long work stopped at the caller's request; not an error to show.
struct Cancelled : std::exception {
    const char* what() const noexcept override { return "cancelled"; }
};

} // namespace tovi
