#pragma once
// The program's failures: exceptions that carry a message text.
#include <QByteArray>
#include <QString>
#include <exception>

class Exception : public std::exception {
public:
    explicit Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

#define TVO_EXCEPTION(Name)                                                                                  \
    class Name : public Exception {                                                                          \
    public:                                                                                                  \
        using Exception::Exception;                                                                          \
    }

// The silent abort: ends an operation, and the standard report shows nothing.
class EAbort : public Exception {
public:
    EAbort() : Exception(QStringLiteral("Operation aborted")) {}
};

TVO_EXCEPTION(EInvalidOperation);
// Stream errors of the file layer.
TVO_EXCEPTION(EStreamError);
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
