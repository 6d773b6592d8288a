// Procedures go from step to step by name: a step added anywhere leaves every jump where it was,
// on the way a step runs and on Ignore after it failed; a name given twice or never is a mistake.
#include "framework/StepRunner.h"
#include "support/ScriptedMessageBoxes.h"

#include <QTest>
#include <stdexcept>

using framework::Go;
using framework::Step;
using framework::StepFailurePolicy;

namespace {

// A step that adds its letter to the trace, then goes where it is told.
Step Traced(const QString& name, QString& trace, Go then = Step::Next)
{
    return Step::Named(name, [name, &trace, then] {
        trace += name;
        return then;
    });
}

}  // namespace

class TestStepRunner : public QObject {
    Q_OBJECT
private slots:
    void jumpsLandOnTheNamedStep_data()
    {
        QTest::addColumn<int>("insertAt");  // where a step "x" is added; -1: none
        QTest::addColumn<bool>("aFails");   // "a" fails once and is ignored: its Ignore goes to "c"
        QTest::addColumn<QString>("trace");
        QTest::newRow("as written") << -1 << false << "ac";
        QTest::newRow("added first") << 0 << false << "xac";
        QTest::newRow("added after the jump") << 1 << false << "ac";
        QTest::newRow("added just before the target") << 2 << false << "ac";
        QTest::newRow("added after the target") << 3 << false << "acx";
        QTest::newRow("ignored, as written") << -1 << true << "c";
        QTest::newRow("ignored, added just before the target") << 2 << true << "c";
        QTest::newRow("ignored, added first") << 0 << true << "xc";
    }
    void jumpsLandOnTheNamedStep()
    {
        QFETCH(int, insertAt);
        QFETCH(bool, aFails);
        QFETCH(QString, trace);
        QString ran;
        std::vector<Step> steps{
            Step::Named(
                QStringLiteral("a"),
                [&] {
                    if (aFails)
                        throw com::ComError(5, QStringLiteral("a"), QStringLiteral("a failed"));
                    ran += QLatin1Char('a');
                    return Go::To(QStringLiteral("c"));
                },
                [](const com::ComError&) { return Go::To(QStringLiteral("c")); }),
            Traced(QStringLiteral("b"), ran),
            Traced(QStringLiteral("c"), ran),
        };
        if (insertAt >= 0)
            steps.insert(steps.begin() + insertAt, Traced(QStringLiteral("x"), ran));
        testsupport::ScriptedMessageBoxes boxes;
        if (aFails)
            boxes.expect(QStringLiteral("a failed"), toolkit::Answer::Ignore);
        QVERIFY(framework::RunSteps(steps,
                                    StepFailurePolicy{QStringLiteral("Procedure"), toolkit::Icon::Critical, {}, {}}));
        QCOMPARE(ran, trace);
    }

    void mistakenNamesAreRefused_data()
    {
        QTest::addColumn<QString>("secondName");
        QTest::addColumn<QString>("target");
        QTest::newRow("two steps of one name") << "a"
                                               << "a";
        QTest::newRow("a name no step has") << "b"
                                            << "z";
    }
    void mistakenNamesAreRefused()
    {
        QFETCH(QString, secondName);
        QFETCH(QString, target);
        QString ran;
        const std::vector<Step> steps{Traced(QStringLiteral("a"), ran, Go::To(target)), Traced(secondName, ran)};
        QVERIFY_THROWS_EXCEPTION(
            std::logic_error,
            framework::RunSteps(steps,
                                StepFailurePolicy{QStringLiteral("Procedure"), toolkit::Icon::Critical, {}, {}}));
    }
};

QTEST_GUILESS_MAIN(TestStepRunner)
#include "test_step_runner.moc"
