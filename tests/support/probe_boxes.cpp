// Run by CTest one function at a time, each expected to FAIL with the shared check's own message: a
// box nobody scripted fails the test without any check in it, and so does an announced box that
// never appeared, once its script goes.
#include "support/ScriptedMessageBoxes.h"

#include <QTest>

class ProbeBoxes : public QObject {
    Q_OBJECT
private slots:
    void unscriptedBox()
    {
        const toolkit::Answer answer =
            toolkit::MsgBox(QStringLiteral("Nobody said this would appear"), toolkit::Buttons::OkCancel);
        QCOMPARE(answer, toolkit::Answer::Cancel);
    }
    void announcedBoxNeverShown()
    {
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect(QStringLiteral("A box that never comes"));
    }
    void announcedBoxShown()
    {
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect(QStringLiteral("A box that comes"));
        toolkit::MsgBox(QStringLiteral("A box that comes"));
    }
};

QTEST_GUILESS_MAIN(ProbeBoxes)
#include "probe_boxes.moc"
