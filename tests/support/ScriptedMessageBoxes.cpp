#include "support/ScriptedMessageBoxes.h"

#include <QTest>

using toolkit::Answer;

namespace testsupport {

ScriptedMessageBoxes::ScriptedMessageBoxes()
{
    m_previous = toolkit::SetMessageBoxService(this);
}

ScriptedMessageBoxes::~ScriptedMessageBoxes()
{
    // A test that has failed already says why; the boxes it then left unanswered are a consequence.
    QString why;
    if (!QTest::currentTestFailed() && !allAnswered(&why))
        QTest::qFail(qPrintable(why), __FILE__, __LINE__);
    toolkit::SetMessageBoxService(m_previous);
}

ScriptedMessageBoxes& ScriptedMessageBoxes::expect(const ExpectedBox& box)
{
    m_expected << box;
    return *this;
}

ScriptedMessageBoxes& ScriptedMessageBoxes::expect(const QString& textContains, Answer answer)
{
    ExpectedBox box;
    box.textContains = textContains;
    box.answer = answer;
    return expect(box);
}

Answer ScriptedMessageBoxes::ask(const toolkit::MessageBoxRequest& request)
{
    m_seen << request;
    if (onAsk)
        onAsk(int(m_seen.size()));
    const QString shown = toolkit::RecordLine(request, Answer::None, true);
    const QList<Answer> offered = toolkit::AnswersOf(request.buttons);
    if (m_expected.isEmpty()) {
        m_failures << QStringLiteral("unexpected box: %1").arg(shown);
        return offered.contains(Answer::Cancel) ? Answer::Cancel : offered.last();
    }
    const ExpectedBox box = m_expected.takeFirst();
    QStringList mismatches;
    if (box.exact ? request.text != box.textContains : !request.text.contains(box.textContains))
        mismatches << QStringLiteral("text \"%1\"").arg(box.textContains);
    if (box.title && request.title != *box.title)
        mismatches << QStringLiteral("title \"%1\"").arg(*box.title);
    if (box.buttons && request.buttons != *box.buttons)
        mismatches << QStringLiteral("buttons %1").arg(toolkit::ButtonsName(*box.buttons));
    if (box.icon && request.icon != *box.icon)
        mismatches << QStringLiteral("icon %1").arg(toolkit::IconName(*box.icon));
    if (!offered.contains(box.answer))
        mismatches << QStringLiteral("answer %1 among the buttons").arg(toolkit::AnswerName(box.answer));
    if (!mismatches.isEmpty()) {
        m_failures
            << QStringLiteral("box %1 differs from the expected %2").arg(shown, mismatches.join(QStringLiteral(", ")));
        return offered.contains(box.answer) ? box.answer : offered.last();
    }
    return box.answer;
}

bool ScriptedMessageBoxes::allAnswered(QString* why) const
{
    QStringList problems = m_failures;
    for (const ExpectedBox& box : m_expected)
        problems << QStringLiteral("expected box never shown: \"%1\"").arg(box.textContains);
    if (why)
        *why = problems.join(QLatin1Char('\n'));
    return problems.isEmpty();
}

}  // namespace testsupport
