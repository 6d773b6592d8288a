#pragma once
// A text for a person: an English template marked for translation (QT_TRANSLATE_NOOP) with its places
// filled. What is data (the activity log, reports, standard error, automation errors) keeps the English;
// a window or a box shows it in the user's language. A value that has a translation of its own (an
// item's description, a reason inside a message) is shown translated with it.
#include <QList>
#include <QString>

class Sentence {
public:
    // What fills one place: the same text in every language, or an English text and its translation.
    struct Part {
        Part(const QString& text) : english(text), shown(text) {}  // NOLINT(google-explicit-constructor)
        Part(QString englishText, QString shownText) : english(std::move(englishText)), shown(std::move(shownText)) {}
        Part(const Sentence& s) : english(s.English()), shown(s.Shown()) {}  // NOLINT(google-explicit-constructor)
        QString english;
        QString shown;
    };

    Sentence() = default;
    Sentence(const char* context, const char* source, const QList<Part>& parts = {});

    const QString& English() const { return m_english; }
    const QString& Shown() const { return m_shown; }
    bool isEmpty() const { return m_english.isEmpty(); }

    // The sentences one per line, in English or as shown.
    static QString JoinEnglish(const QList<Sentence>& sentences, const QString& separator);
    static QString JoinShown(const QList<Sentence>& sentences, const QString& separator);

private:
    QString m_english;
    QString m_shown;
};
