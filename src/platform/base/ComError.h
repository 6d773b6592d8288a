#pragma once
// A COM-style failure: a 32-bit number, the name of what raised it and a description. Every layer of
// the program raises and catches failures as this one type, the way COM callers see HRESULTs with
// their error info.
#include "platform/base/Sentence.h"

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

    // The program's own words: the English kept as the description (the log, automation errors), the
    // user's language for a box.
    ComError(qint32 number, QString source, const Sentence& description, QString cause = QString())
        : ComError(number, std::move(source), description.English())
    {
        m_shown = description.Shown();
        m_cause = std::move(cause);
    }

    qint32 number() const { return m_number; }
    const QString& source() const { return m_source; }
    const QString& description() const { return m_description; }
    // The description as a box shows it.
    const QString& shown() const { return m_shown.isEmpty() ? m_description : m_shown; }
    // The description in both languages, to be a place of another sentence.
    Sentence::Part said() const { return {m_description, shown()}; }
    // The first raiser's description (the description itself when nobody described it again).
    const QString& cause() const { return m_cause.isEmpty() ? m_description : m_cause; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    qint32 m_number;
    QString m_source;
    QString m_description;
    QString m_cause;
    QString m_shown;
    std::string m_what;
};

}  // namespace com
