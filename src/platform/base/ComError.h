#pragma once
// A COM-style failure: a 32-bit number, the name of what raised it and a description. Every layer of
// the program raises and catches failures as this one type, the way COM callers see HRESULTs with
// their error info.
#include <QString>
#include <exception>
#include <string>

namespace com {

class ComError : public std::exception {
public:
    ComError(qint32 number, QString source, QString description)
        : m_number(number),
          m_source(std::move(source)),
          m_description(std::move(description)),
          m_what(m_description.toStdString())
    {
    }

    // A failure described again by a layer above, that keeps the words of the one who raised it
    // first (an object server's own message under a fixed text of the program).
    ComError(qint32 number, QString source, QString description, QString cause)
        : ComError(number, std::move(source), std::move(description))
    {
        m_cause = std::move(cause);
    }

    qint32 number() const { return m_number; }
    const QString& source() const { return m_source; }
    const QString& description() const { return m_description; }
    // The first raiser's description (the description itself when nobody described it again).
    const QString& cause() const { return m_cause.isEmpty() ? m_description : m_cause; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    qint32 m_number;
    QString m_source;
    QString m_description;
    QString m_cause;
    std::string m_what;
};

}  // namespace com
