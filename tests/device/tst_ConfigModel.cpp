// The configuration model on values: the Apply check of one value, the rules between the set points,
// their limits and the dead band, and the items each thermostat model switches off.
#include "device/ConfigModel.h"
#include "device/Global.h"
#include "platform/base/Numbers.h"
#include "support/Failures.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QRegularExpression>

#include <QTest>

using namespace device::config;
using testsupport::FailureOf;

namespace {

// "name=text;name=text" as a map of values.
std::map<QString, QString> ValuesOf(const QString& spec)
{
    std::map<QString, QString> values;
    for (const QString& pair : spec.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        values[pair.left(eq)] = pair.mid(eq + 1);
    }
    return values;
}

// The common values: heating 21/16, cooling 24/28, limits 30/15, dead band 2, overridden by spec.
std::map<QString, QString> SetPoints(const QString& spec)
{
    auto values = ValuesOf(QStringLiteral("nciSetPts.occ_heat=21;nciSetPts.unocc_heat=16;nciSetPts.occ_cool=24;"
                                          "nciSetPts.unocc_cool=28;HeatMax=30;CoolMin=15;DeadBand=2"));
    for (const auto& [name, text] : ValuesOf(spec))
        values[name] = text;
    return values;
}

QString Written(const std::vector<Adjustment>& adjustments)
{
    static const char* const notices[] = {"dead band", "heating limit", "cooling limit"};
    QStringList parts;
    for (const Adjustment& a : adjustments)
        parts << a.item + QLatin1Char('=') + a.text + QLatin1Char(' ') + QLatin1String(notices[a.notice]);
    return parts.join(QLatin1Char(';'));
}

}  // namespace

class TestConfigModel : public QObject {
    Q_OBJECT

private slots:
    void itemTable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("settable");
        QTest::addColumn<bool>("temperature");
        QTest::addColumn<int>("choices");
        QTest::addColumn<int>("control");  // index of its text box or combo box
        QTest::newRow("set point") << "nciSetPts.occ_heat" << true << true << 0 << 0;
        QTest::newRow("dead band") << "DeadBand" << true << true << 0 << 16;
        QTest::newRow("actuator timing, same in both units") << "DriveTime" << true << false << 0 << 14;
        QTest::newRow("sequence of operations") << "SeqOpera" << true << false << 6 << 15;
        QTest::newRow("model, shown only") << "thermostat_model" << false << false << 0 << 0;
        QTest::newRow("major version, shown only") << "MajorVersion" << false << false << 0 << 0;
        QTest::newRow("HVAC type, shown only") << "nciHvacType" << false << false << 0 << 0;
        QTest::newRow("unknown") << "Humidity" << false << false << 0 << 0;
    }
    void itemTable()
    {
        QFETCH(QString, name);
        QFETCH(bool, settable);
        QFETCH(bool, temperature);
        QFETCH(int, choices);
        QFETCH(int, control);
        QCOMPARE(Items().size(), size_t(41));
        const Item* item = FindSettable(name);
        QCOMPARE(item != nullptr, settable);
        if (item) {
            QCOMPARE(item->temperature, temperature);
            QCOMPARE(item->choices.size(), choices);
            QCOMPARE(item->kind, choices ? ItemKind::Choice : ItemKind::Number);
            QCOMPARE(ItemOfControl(item->binding, control), item);
            if (item->kind == ItemKind::Choice)
                QCOMPARE(ChoicesOfComboBox(control), item->choices);
        }
    }

    void checkValue_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("units");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("bound");
        const int ok = Verdict::Accepted, adj = Verdict::Adjusted, no = Verdict::Refused;
        const int none = Verdict::NoBound, max = Verdict::Maximum, min = Verdict::Minimum;
        QTest::newRow("within") << "nciSetPts.occ_heat"
                                << "21.5" << 0 << ok << "21.5"
                                << "21.5" << none;
        QTest::newRow("on the maximum, metric") << "HeatMax"
                                                << "32" << 0 << ok << "32"
                                                << "31.95" << none;
        QTest::newRow("on the minimum, metric") << "HeatMax"
                                                << "4.5" << 0 << ok << "4.5"
                                                << "4.55" << none;
        QTest::newRow("on the maximum, imperial") << "CoolMin"
                                                  << "100" << 1 << ok << "100"
                                                  << "99.975" << none;
        QTest::newRow("on the minimum, imperial") << "CoolMin"
                                                  << "54" << 1 << ok << "54"
                                                  << "54.025" << none;
        QTest::newRow("above, metric") << "nciSetPts.occ_cool"
                                       << "40" << 0 << adj << "37.5"
                                       << "37.45" << max;
        QTest::newRow("below, imperial") << "nciSetPts.occ_heat"
                                         << "30" << 1 << adj << "40"
                                         << "40.025" << min;
        QTest::newRow("metric limit in imperial") << "DeadBand"
                                                  << "2.5" << 1 << ok << "2.5"
                                                  << "2.5" << none;
        QTest::newRow("on a limit, no offset") << "DriveTime"
                                               << "9" << 0 << ok << "9"
                                               << "9" << none;
        QTest::newRow("above, no offset") << "DriveTime"
                                          << "12" << 0 << adj << "9"
                                          << "9" << max;
        QTest::newRow("written as the device writes it") << "CalibRS"
                                                         << "+1." << 0 << ok << "1"
                                                         << "1" << none;
        QTest::newRow("whole number") << "RHsetpoint"
                                      << "55" << 0 << ok << "55"
                                      << "55" << none;
        QTest::newRow("fraction in a whole-number item") << "RHsetpoint"
                                                         << "55.5" << 0 << no << "55.5"
                                                         << "55.5" << none;
        QTest::newRow("whole number with a point") << "TOccTime"
                                                   << "3.0" << 0 << no << "3"
                                                   << "3" << none;
        QTest::newRow("not a number") << "CalibRS"
                                      << "abc" << 0 << no << "abc"
                                      << "abc" << none;
        QTest::newRow("empty, below the minimum") << "DoorTime"
                                                  << "" << 0 << no << "1"
                                                  << "1" << min;
        QTest::newRow("a choice") << "SetpointType"
                                  << "TEMPORARY" << 0 << ok << "TEMPORARY"
                                  << "TEMPORARY" << none;
        QTest::newRow("not a choice") << "SetpointType"
                                      << "SOMETIMES" << 0 << no << "SOMETIMES"
                                      << "SOMETIMES" << none;
    }
    void checkValue()
    {
        QFETCH(QString, item);
        QFETCH(QString, text);
        QFETCH(int, units);
        QFETCH(int, kind);
        QFETCH(QString, shown);
        QFETCH(QString, stored);
        QFETCH(int, bound);
        const Item* found = FindSettable(item);
        QVERIFY(found);
        const Verdict v = CheckValue(*found, text, qint16(units));
        QCOMPARE(int(v.kind), kind);
        QCOMPARE(v.shown, shown);
        QCOMPARE(v.stored, stored);
        QCOMPARE(int(v.bound), bound);
        // Every verdict but acceptance says why, naming the item.
        QCOMPARE(v.reason.isEmpty(), kind == Verdict::Accepted);
        if (kind != Verdict::Accepted)
            QVERIFY(v.reason.English().contains(found->description.isEmpty() ? found->name : found->description));
    }

    void stepped_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<double>("requested");
        QTest::addColumn<bool>("up");
        QTest::addColumn<QString>("expected");  // empty: not stepped
        QTest::newRow("half up") << "21.5" << false << 0.5 << true << "22";
        QTest::newRow("half down below zero") << "0.1" << false << 0.5 << false << "-0.4";
        QTest::newRow("ten up") << "20" << false << 10.0 << true << "30";
        QTest::newRow("to a tenth") << "21.26" << false << 0.5 << true << "21.8";
        QTest::newRow("no step") << "21" << false << 0.0 << true << "21";
        QTest::newRow("whole numbers step by one") << "50" << true << 0.5 << true << "51";
        QTest::newRow("whole numbers, ten down") << "50" << true << 10.0 << false << "40";
        QTest::newRow("whole numbers, no step") << "50" << true << 0.0 << false << "50";
        QTest::newRow("not a number") << "abc" << false << 0.5 << true << "";
        QTest::newRow("fraction in a whole-number item") << "50.5" << true << 0.5 << true << "";
    }
    void stepped()
    {
        QFETCH(QString, text);
        QFETCH(bool, whole);
        QFETCH(double, requested);
        QFETCH(bool, up);
        QFETCH(QString, expected);
        QCOMPARE(Stepped(text, whole, requested, up).value_or(QString()), expected);
    }

    void rulesOnLeaving_data()
    {
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("values");  // over the common set points
        QTest::addColumn<QString>("adjusted");
        QTest::newRow("heating into the dead band moves cooling up") << "nciSetPts.occ_heat"
                                                                     << "nciSetPts.occ_heat=23"
                                                                     << "nciSetPts.occ_cool=25 dead band";
        QTest::newRow("heating exactly a dead band below cooling stays") << "nciSetPts.occ_heat"
                                                                         << "nciSetPts.occ_heat=22"
                                                                         << "";
        QTest::newRow("imperial, exactly a dead band apart in decimals")
            << "nciSetPts.occ_cool"
            << "DeadBand=3.6;nciSetPts.occ_heat=70.7;nciSetPts.occ_cool=74.3"
            << "";
        QTest::newRow("unoccupied heating") << "nciSetPts.unocc_heat"
                                            << "nciSetPts.unocc_heat=27.5"
                                            << "nciSetPts.unocc_cool=29.5 dead band";
        QTest::newRow("cooling into the dead band moves heating down") << "nciSetPts.occ_cool"
                                                                       << "nciSetPts.occ_cool=22"
                                                                       << "nciSetPts.occ_heat=20 dead band";
        QTest::newRow("unoccupied cooling") << "nciSetPts.unocc_cool"
                                            << "nciSetPts.unocc_cool=17"
                                            << "nciSetPts.unocc_heat=15 dead band";
        QTest::newRow("wider dead band moves both heatings, in order")
            << "DeadBand"
            << "DeadBand=4.5;nciSetPts.unocc_heat=25"
            << "nciSetPts.occ_heat=19.5 dead band;nciSetPts.unocc_heat=23.5 dead band";
        QTest::newRow("wider dead band, one pair broken") << "DeadBand"
                                                          << "DeadBand=3.5"
                                                          << "nciSetPts.occ_heat=20.5 dead band";
        QTest::newRow("heating limit lowered below both heatings, its text copied")
            << "HeatMax"
            << "HeatMax=15.0"
            << "nciSetPts.occ_heat=15.0 heating limit;nciSetPts.unocc_heat=15.0 heating limit";
        QTest::newRow("heating limit equal to a heating") << "HeatMax"
                                                          << "HeatMax=16"
                                                          << "nciSetPts.occ_heat=16 heating limit";
        QTest::newRow("cooling limit raised above both coolings")
            << "CoolMin"
            << "CoolMin=30"
            << "nciSetPts.occ_cool=30 cooling limit;nciSetPts.unocc_cool=30 cooling limit";
        QTest::newRow("cooling limit equal to a cooling") << "CoolMin"
                                                          << "CoolMin=24"
                                                          << "";
        QTest::newRow("another item has no rule") << "DriveTime"
                                                  << "nciSetPts.occ_heat=40"
                                                  << "";
    }
    void rulesOnLeaving()
    {
        QFETCH(QString, left);
        QFETCH(QString, values);
        QFETCH(QString, adjusted);
        auto all = SetPoints(values);
        std::vector<Adjustment> seen;
        const auto made = RulesOnLeaving(left, all, [&](const Adjustment& a) { seen.push_back(a); });
        QCOMPARE(Written(made), adjusted);
        QCOMPARE(Written(seen), adjusted);
        for (const Adjustment& a : made)
            QCOMPARE(all.at(a.item), a.text);
    }

    // An overflowing rule stops the rules; what was adjusted before it was reported and stays.
    void rulesOnLeavingOverflow()
    {
        auto values = SetPoints(QStringLiteral("DeadBand=3.5;nciSetPts.unocc_heat=-1e308;nciSetPts.unocc_cool=1e308"));
        std::vector<Adjustment> seen;
        QCOMPARE(FailureOf([&] {
                     RulesOnLeaving(QStringLiteral("DeadBand"), values,
                                    [&](const Adjustment& a) { seen.push_back(a); });
                 }),
                 Global::ErrOverflow);
        QCOMPARE(Written(seen), QStringLiteral("nciSetPts.occ_heat=20.5 dead band"));
        QCOMPARE(values.at(QStringLiteral("nciSetPts.occ_heat")), QStringLiteral("20.5"));
    }

    void crossFieldViolations_data()
    {
        QTest::addColumn<QString>("values");
        QTest::addColumn<QStringList>("named");  // the items each message starts with
        QTest::newRow("all hold") << "" << QStringList{};
        QTest::newRow("exactly a dead band apart, on both limits")
            << "nciSetPts.occ_heat=22;HeatMax=22;CoolMin=24" << QStringList{};
        QTest::newRow("imperial, exactly a dead band apart in decimals")
            << "DeadBand=3.6;nciSetPts.occ_heat=70.7;nciSetPts.occ_cool=74.3;nciSetPts.unocc_heat=60.7;"
               "nciSetPts.unocc_cool=64.3;HeatMax=90;CoolMin=54"
            << QStringList{};
        QTest::newRow("dead band, occupied") << "nciSetPts.occ_cool=22.5" << QStringList{"nciSetPts.occ_cool"};
        QTest::newRow("dead band, unoccupied")
            << "DeadBand=2.5;nciSetPts.unocc_heat=26" << QStringList{"nciSetPts.unocc_cool"};
        QTest::newRow("heating above its limit") << "HeatMax=20" << QStringList{"nciSetPts.occ_heat"};
        QTest::newRow("coolings below their limit")
            << "CoolMin=30" << QStringList{"nciSetPts.occ_cool", "nciSetPts.unocc_cool"};
        QTest::newRow("several at once") << "DeadBand=5;HeatMax=18"
                                         << QStringList{"nciSetPts.occ_cool", "nciSetPts.occ_heat"};
    }
    void crossFieldViolations()
    {
        QFETCH(QString, values);
        QFETCH(QStringList, named);
        const QList<Sentence> broken = CrossFieldViolations(SetPoints(values));
        QCOMPARE(broken.size(), named.size());
        for (int i = 0; i < named.size(); ++i)
            QVERIFY2(broken[i].English().startsWith(named[i] + QStringLiteral(" (")), qPrintable(broken[i].English()));
    }

    // A rule on an item the values lack is not checked.
    void crossFieldViolationsOnPartialValues()
    {
        QVERIFY(CrossFieldViolations(ValuesOf(QStringLiteral("nciSetPts.occ_heat=30;nciSetPts.occ_cool=20"))).empty());
        QCOMPARE(CrossFieldViolations(ValuesOf(QStringLiteral("nciSetPts.occ_heat=30;HeatMax=25"))).size(), 1);
    }

    void modelOptions_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<bool>("rh");
        QTest::addColumn<QStringList>("disabled");
        const QStringList rh{"RHdisplay", "RHsetpoint", "DehumHyst", "DehumCool", "RHcalib"};
        QTest::newRow("30 has everything") << 30 << true << QStringList{};
        QTest::newRow("41") << 41 << false << rh + QStringList{"ControlType", "DriveTime", "ReverseAOut"};
        QTest::newRow("45") << 45 << true << QStringList{"ReverseAOut"};
        QTest::newRow("51") << 51 << false << rh + QStringList{"ControlType", "DriveTime", "CyclePerHour",
                                                               "AutoMode",    "FanMenu",   "SeqOpera"};
        QTest::newRow("60") << 60 << false << rh + QStringList{"ReverseAOut", "AutoMode", "FanMenu"};
        QTest::newRow("61") << 61 << false
                            << rh + QStringList{"ControlType", "DriveTime", "CyclePerHour", "AutoMode", "FanMenu"};
    }
    void modelOptions()
    {
        QFETCH(int, model);
        QFETCH(bool, rh);
        QFETCH(QStringList, disabled);
        QCOMPARE(RhOptionsEnabled(qint16(model)), rh);
        QCOMPARE(DisabledItems(qint16(model)), QSet<QString>(disabled.begin(), disabled.end()));
    }

    // Where the model codes are written for a person (the director's manual page, its completion), they
    // are the catalog's, no more, no fewer.
    void modelCodesAreTheCatalogsEverywhere()
    {
        QList<int> catalog;
        for (const Model& model : KnownModels())
            catalog << model.code;
        const auto read = [](const QString& file) {
            QFile f(testsupport::SourceDir() + QLatin1Char('/') + file);
            return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
        };
        const auto codes = [](const QString& text) {
            QList<int> found;
            for (const QString& word : text.split(QRegularExpression(QStringLiteral("[^0-9]+")), Qt::SkipEmptyParts))
                found << word.toInt();
            return found;
        };
        const QString page = read(QStringLiteral("packaging/man/lnsdirector.1"));
        const QRegularExpressionMatch inPage =
            QRegularExpression(QStringLiteral("takes a model code of the family: ([0-9, or\\n]+)\\)")).match(page);
        QVERIFY2(inPage.hasMatch(), "the manual page names no model codes");
        QCOMPARE(codes(inPage.captured(1)), catalog);
        const QString completion = read(QStringLiteral("packaging/bash-completion/lnsdirector"));
        const QRegularExpressionMatch inCompletion =
            QRegularExpression(QStringLiteral("--model \\]; then\\s+COMPREPLY=\\(\\$\\(compgen -W \"([0-9 ]+)\""))
                .match(completion);
        QVERIFY2(inCompletion.hasMatch(), "the completion offers no model codes");
        QCOMPARE(codes(inCompletion.captured(1)), catalog);
    }

    // The texts the model and the profiles write numbers in: 15 significant digits at most, no exponent.
    void numberTexts_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("set point") << 21.5 << "21.5";
        QTest::newRow("negative") << -2.5 << "-2.5";
        QTest::newRow("binary sum") << 0.1 + 0.2 << "0.3";
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("small") << 0.0001 << "0.0001";
        QTest::newRow("large") << 1e20 << "100000000000000000000";
        QTest::newRow("fifteen digits") << 1.0 / 3 << "0.333333333333333";
        QTest::newRow("tie at the 15th digit rounds up") << 3.000030517578125 << "3.00003051757813";
        QTest::newRow("large with many digits")
            << 2.6317500308555149e+48 << "2631750030855510000000000000000000000000000000000";
    }
    void numberTexts()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(numbers::ShortestNumber(value), text);
    }
};

QTEST_GUILESS_MAIN(TestConfigModel)
#include "tst_ConfigModel.moc"
