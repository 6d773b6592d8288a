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

    qint32 number() const { return m_number; }
    const QString& source() const { return m_source; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    qint32 m_number;
    QString m_source;
    QString m_description;
    std::string m_what;
};

}  // namespace com
