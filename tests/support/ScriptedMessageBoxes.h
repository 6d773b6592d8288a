#pragma once
// The message-box service of the tests: every box must have been announced with expect(); the box
// that appears is checked against it (text, and title / buttons / icon when given) and answered. A
// box nobody expected, or one that differs from the announcement, fails the test. Installed for its
// lifetime; when it goes (at the latest when the test function ends) it fails the test if a box went
// wrong or an announced one never appeared, so no test has to remember to check. Without one, every
// box fails the test (UnscriptedBoxes.cpp, linked into each test program).
#include "platform/toolkit/MessageBox.h"

#include <QList>
#include <functional>
#include <optional>

namespace testsupport {

// Every member has a default, so that a designated initialiser names only what the test checks.
struct ExpectedBox {
    QString textContains;  // a part of the text (the whole text when exact is set)
    toolkit::Answer answer = toolkit::Answer::Ok;
    std::optional<QString> title = {};
    std::optional<toolkit::Buttons> buttons = {};
    std::optional<toolkit::Icon> icon = {};
    bool exact = false;
};

class ScriptedMessageBoxes : public toolkit::MessageBoxService {
public:
    ScriptedMessageBoxes();
    ~ScriptedMessageBoxes() override;

    ScriptedMessageBoxes& expect(const ExpectedBox& box);
    // Shorthand: a box whose text contains textContains, answered with answer.
    ScriptedMessageBoxes& expect(const QString& textContains, toolkit::Answer answer = toolkit::Answer::Ok);

    toolkit::Answer ask(const toolkit::MessageBoxRequest& request) override;

    const QList<toolkit::MessageBoxRequest>& seen() const { return m_seen; }
    int pending() const { return int(m_expected.size()); }
    // Failures met so far (unexpected or mismatched boxes); empty when all went as announced.
    const QStringList& failures() const { return m_failures; }
    // Runs before a box is answered, with the number of boxes seen so far (this one included): lets a
    // test change the world the way a person would before pressing a button.
    std::function<void(int)> onAsk;
    // QVERIFY-style check for the end of a test: nothing unexpected, nothing left unanswered.
    bool allAnswered(QString* why = nullptr) const;

private:
    QList<ExpectedBox> m_expected;
    QList<toolkit::MessageBoxRequest> m_seen;
    QStringList m_failures;
    toolkit::MessageBoxService* m_previous = nullptr;
};

}  // namespace testsupport

// Verifies at the end of a test that every announced box appeared and nothing else did.
#define VERIFY_BOXES(boxes)                                     \
    do {                                                        \
        QString why_;                                           \
        QVERIFY2((boxes).allAnswered(&why_), qPrintable(why_)); \
    } while (false)
