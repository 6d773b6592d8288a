// Linked into every test program (kr5m_add_test): from the start, a message box that no test
// announced fails the running test instead of opening a window that nobody will ever close. A
// ScriptedMessageBoxes replaces this for its lifetime and puts it back when it goes.
#include "platform/toolkit/MessageBox.h"

#include <QTest>

namespace {

class UnscriptedBoxes : public toolkit::MessageBoxService {
public:
    UnscriptedBoxes() { toolkit::SetMessageBoxService(this); }

    toolkit::Answer ask(const toolkit::MessageBoxRequest& request) override
    {
        const QString shown = toolkit::RecordLine(request, toolkit::Answer::None, false);
        QTest::qFail(qPrintable(QStringLiteral("a message box nobody scripted: %1").arg(shown)), __FILE__, __LINE__);
        // The answer that changes least: Cancel where there is one.
        const QList<toolkit::Answer> offered = toolkit::AnswersOf(request.buttons);
        return offered.contains(toolkit::Answer::Cancel) ? toolkit::Answer::Cancel : offered.last();
    }
};

UnscriptedBoxes installed;

}  // namespace
