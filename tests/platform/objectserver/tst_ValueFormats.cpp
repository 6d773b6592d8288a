// Formatting and parsing of raw values under format names, in both unit systems.
#include "ObjectServerWorld.h"
#include "platform/objectserver/ObjectServer.h"
#include "platform/objectserver/ValueFormats.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QJsonArray>
#include <QLocale>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>

using namespace objectservertest;

namespace {

// Big-endian 16-bit words, as the standard structured types store them.
QByteArray words(std::initializer_list<int> values)
{
    QByteArray raw;
    for (int v : values) {
        raw.append(static_cast<char>((v >> 8) & 0xFF));
        raw.append(static_cast<char>(v & 0xFF));
    }
    return raw;
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray raw;
    for (int v : values)
        raw.append(static_cast<char>(v & 0xFF));
    return raw;
}

const qint32 FormatFailed = lns::ObjectServerError(lns::ErrFormatFailed);

// Wide enough for any text's digits near the 64-bit limits.
__extension__ using Wide = __int128;
__extension__ using UWide = unsigned __int128;

QJsonObject field(const char* name, int size, std::initializer_list<QPair<QString, QJsonValue>> more = {})
{
    QJsonObject o{{QStringLiteral("name"), QString::fromLatin1(name)}, {QStringLiteral("bytes"), size}};
    for (const auto& [key, value] : more)
        o.insert(key, value);
    return o;
}

}  // namespace

class TestValueFormats : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTrip_data();
    void roundTrip();
    void parseRoundsToResolution_data();
    void parseRoundsToResolution();
    void refusedTexts_data();
    void refusedTexts();
    void refusedRawValues_data();
    void refusedRawValues();
    void localeDoesNotChangeNumbers();
    void userTypes_data();
    void userTypes();
    void userTypeRefusals_data();
    void userTypeRefusals();
    void decimalsRoundHalfAwayFromZeroOnTheirDigits();
    void changedResourceFilesAreSeen_data();
    void changedResourceFilesAreSeen();
    void aSettledDefinitionEditedIsSeenSoon();
    void heldDefinitionsAnswerAsTheFilesDo();

private:
    testsupport::TestEnvironment m_env;
    QTemporaryDir m_lonWorks;
};

void TestValueFormats::initTestCase()
{
    QVERIFY(m_lonWorks.isValid());
    const QJsonObject types{
        {QStringLiteral("UNVT_test_opts"),
         QJsonObject{
             {QStringLiteral("separator"), QStringLiteral(" ")},
             {QStringLiteral("fields"),
              QJsonArray{field("ControlType", 1,
                               {{QStringLiteral("enum"),
                                 QJsonObject{{QStringLiteral("ON_OFF"), 0}, {QStringLiteral("FLOATING"), 1}}}}),
                         field("DriveTime", 1, {{QStringLiteral("signed"), false}, {QStringLiteral("scale"), 0.1}}),
                         field("HeatMax", 2,
                               {{QStringLiteral("signed"), true},
                                {QStringLiteral("scale"), 0.01},
                                {QStringLiteral("unit"), QStringLiteral("temperature")}}),
                         field("DeadBand", 2,
                               {{QStringLiteral("signed"), false},
                                {QStringLiteral("scale"), 0.01},
                                {QStringLiteral("unit"), QStringLiteral("temperature-difference")}}),
                         field("Version", 1, {{QStringLiteral("signed"), false}, {QStringLiteral("scale"), 1}})}}}},
        {QStringLiteral("UNVT_model_info2"),
         QJsonObject{
             {QStringLiteral("fields"),
              QJsonArray{field("ModelCode", 1), field("SoftwareVersion", 1, {{QStringLiteral("scale"), 0.1}})}}}},
        {QStringLiteral("UNVT_cycles"),
         QJsonObject{{QStringLiteral("fields"),
                      QJsonArray{field("Cycles", 1,
                                       {{QStringLiteral("enum"), QJsonObject{{QStringLiteral("3"), 0},
                                                                             {QStringLiteral("4"), 1},
                                                                             {QStringLiteral("5"), 2},
                                                                             {QStringLiteral("6"), 3}}}})}}}},
        {QStringLiteral("UNVT_pair"),
         QJsonObject{{QStringLiteral("separator"), QStringLiteral(";")},
                     {QStringLiteral("fields"),
                      QJsonArray{field("Low", 1, {{QStringLiteral("signed"), true}}), field("High", 1)}}}}};
    QVERIFY(InstallUserTypes(m_lonWorks.path(), types));
}

void TestValueFormats::roundTrip_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("text");

    const QByteArray setPoints = words({2300, 2500, 2700, 2100, 1900, 1700});
    QTest::newRow("set points, no suffix") << "SNVT_temp_setpt" << setPoints << "23,25,27,21,19,17";
    QTest::newRow("set points, metric") << "SNVT_temp_setpt#SI" << setPoints << "23,25,27,21,19,17";
    QTest::newRow("set points, imperial") << "SNVT_temp_setpt#US" << setPoints << "73.4,77,80.6,69.8,66.2,62.6";
    QTest::newRow("set points, hundredths")
        << "SNVT_temp_setpt#SI" << words({2155, 2105, -5, 0, 1, -27317}) << "21.55,21.05,-0.05,0,0.01,-273.17";
    QTest::newRow("set points, zero-padded hundredths")
        << "SNVT_temp_setpt#SI" << words({15, -25, 99, -10, 100, 2100}) << "0.15,-0.25,0.99,-0.1,1,21";
    QTest::newRow("set points, hundredths in F")
        << "SNVT_temp_setpt#US" << words({2155, 0, -1778, 10000, -500, 3700}) << "70.79,32,0,212,23,98.6";
    QTest::newRow("set points, invalid field")
        << "SNVT_temp_setpt#SI" << words({0x7FFF, 2500, 2700, 2100, 1900, 0x7FFF}) << "INVALID,25,27,21,19,INVALID";
    QTest::newRow("set points, invalid field in F")
        << "SNVT_temp_setpt#US" << words({0x7FFF, 0, 0, 0, 0, 0}) << "INVALID,32,32,32,32,32";
    QTest::newRow("absolute temperature in F") << "SNVT_temp_p#US" << words({100}) << "33.8";
    QTest::newRow("temperature difference in F") << "SNVT_temp_diff_p#US" << words({100}) << "1.8";
    QTest::newRow("negative difference in F") << "SNVT_temp_diff_p#US" << words({-250}) << "-4.5";
    QTest::newRow("time, zero") << "SNVT_time_sec" << words({0}) << "0";
    QTest::newRow("time, tenths") << "SNVT_time_sec" << words({25}) << "2.5";
    QTest::newRow("time, largest") << "SNVT_time_sec" << words({65534}) << "6553.4";
    QTest::newRow("time, invalid") << "SNVT_time_sec" << words({0xFFFF}) << "INVALID";
    QTest::newRow("time, imperial is the same") << "SNVT_time_sec#US" << words({600}) << "60";
    QTest::newRow("hvac type, none") << "SNVT_hvac_type" << bytes({0xFF}) << "HVT_NUL";
    QTest::newRow("hvac type, generic") << "SNVT_hvac_type" << bytes({0}) << "HVT_GENERIC";
    QTest::newRow("hvac type, fan coil") << "SNVT_hvac_type" << bytes({1}) << "HVT_FAN_COIL";
    QTest::newRow("hvac type, self contained") << "SNVT_hvac_type" << bytes({9}) << "HVT_SELF_CONT";
    // A value no member has is marked, so that it writes back as read while a plain number is refused.
    QTest::newRow("hvac type, not named") << "SNVT_hvac_type" << bytes({42}) << "#42";
    QTest::newRow("INT, one byte") << "INT" << bytes({7}) << "7";
    QTest::newRow("INT, one byte negative") << "INT" << bytes({0xFE}) << "-2";
    QTest::newRow("INT, two bytes") << "INT" << bytes({0x01, 0x02}) << "258";
    QTest::newRow("INT, four bytes") << "INT" << bytes({0x80, 0, 0, 0}) << "-2147483648";
    QTest::newRow("INT, eight bytes, smallest")
        << "INT" << bytes({0x80, 0, 0, 0, 0, 0, 0, 0}) << "-9223372036854775808";
    QTest::newRow("INT, eight bytes, largest")
        << "INT" << bytes({0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}) << "9223372036854775807";
    QTest::newRow("RAW") << "RAW" << bytes({41, 16}) << "41\t16";
    QTest::newRow("RAW, extremes") << "RAW" << bytes({0, 255, 128}) << "0\t255\t128";
    QTest::newRow("names ignore case") << "snvt_TIME_sec#si" << words({10}) << "1";
    // Members named by numbers: a value without a member is marked here too, also where its number
    // names another one.
    QTest::newRow("numeric name") << "UNVT_cycles" << bytes({3}) << "6";
    QTest::newRow("no member, its number a name") << "UNVT_cycles" << bytes({6}) << "#6";
    QTest::newRow("no member, its number no name") << "UNVT_cycles" << bytes({9}) << "#9";
}

void TestValueFormats::roundTrip()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, raw);
    QFETCH(QString, text);
    QCOMPARE(lns::formats::Format(format, raw, m_lonWorks.path()), text);
    QCOMPARE(lns::formats::Parse(format, text, static_cast<qint32>(raw.size()), m_lonWorks.path()), raw);
}

void TestValueFormats::parseRoundsToResolution_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("shownAgain");

    QTest::newRow("F that is no whole hundredth of C")
        << "SNVT_temp_setpt#US"
        << "70,70,70,70,70,70" << words({2111, 2111, 2111, 2111, 2111, 2111}) << "70,70,70,70,70,70";
    QTest::newRow("C beyond the resolution") << "SNVT_temp_p#SI"
                                             << "21.004" << words({2100}) << "21";
    QTest::newRow("C rounded up") << "SNVT_temp_p#SI"
                                  << "21.006" << words({2101}) << "21.01";
    QTest::newRow("leading plus and zeros") << "SNVT_temp_p"
                                            << "+021.50" << words({2150}) << "21.5";
    QTest::newRow("time to tenths") << "SNVT_time_sec"
                                    << "2.54" << words({25}) << "2.5";
    QTest::newRow("halfway between tenths") << "SNVT_time_sec"
                                            << "1.25" << words({13}) << "1.3";
    QTest::newRow("halfway between tenths, above") << "SNVT_time_sec"
                                                   << "1.35" << words({14}) << "1.4";
    QTest::newRow("halfway between hundredths") << "SNVT_temp_p#SI"
                                                << "21.005" << words({2101}) << "21.01";
    QTest::newRow("the lowest temperature") << "SNVT_temp_p#SI"
                                            << "-273.17" << words({-27317}) << "-273.17";
    QTest::newRow("difference in F") << "SNVT_temp_diff_p#US"
                                     << "1" << words({56}) << "1.01";
    QTest::newRow("enum by number") << "SNVT_hvac_type"
                                    << "3" << bytes({3}) << "HVT_HEAT_PUMP";
}

void TestValueFormats::parseRoundsToResolution()
{
    QFETCH(QString, format);
    QFETCH(QString, text);
    QFETCH(QByteArray, raw);
    QFETCH(QString, shownAgain);
    const QByteArray parsed = lns::formats::Parse(format, text, static_cast<qint32>(raw.size()), m_lonWorks.path());
    QCOMPARE(parsed, raw);
    QCOMPARE(lns::formats::Format(format, parsed, m_lonWorks.path()), shownAgain);
}

void TestValueFormats::refusedTexts_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("size");

    QTest::newRow("five set points") << "SNVT_temp_setpt"
                                     << "23,25,27,21,19" << 12;
    QTest::newRow("seven set points") << "SNVT_temp_setpt"
                                      << "23,25,27,21,19,17,15" << 12;
    QTest::newRow("doubled separator") << "SNVT_temp_setpt"
                                       << "23,,25,27,21,19" << 12;
    QTest::newRow("trailing separator") << "SNVT_temp_setpt"
                                        << "23,25,27,21,19,17," << 12;
    QTest::newRow("leading separator") << "SNVT_temp_setpt"
                                       << ",23,25,27,21,19,17" << 12;
    QTest::newRow("blank after separator") << "SNVT_temp_setpt"
                                           << "23, 25,27,21,19,17" << 12;
    QTest::newRow("blank separators") << "SNVT_temp_setpt"
                                      << "23 25 27 21 19 17" << 12;
    QTest::newRow("not a number") << "SNVT_temp_setpt"
                                  << "23,abc,27,21,19,17" << 12;
    QTest::newRow("decimal comma") << "SNVT_temp_p"
                                   << "21,5" << 2;
    QTest::newRow("point without digits after") << "SNVT_temp_p"
                                                << "21." << 2;
    QTest::newRow("point without digits before") << "SNVT_temp_p"
                                                 << ".5" << 2;
    QTest::newRow("exponent") << "SNVT_temp_p"
                              << "2e1" << 2;
    QTest::newRow("hexadecimal") << "INT"
                                 << "0x10" << 1;
    QTest::newRow("empty text") << "SNVT_time_sec"
                                << "" << 2;
    QTest::newRow("above the range") << "SNVT_temp_setpt"
                                     << "400,25,27,21,19,17" << 12;
    QTest::newRow("the invalid value as a number") << "SNVT_temp_p"
                                                   << "327.67" << 2;
    QTest::newRow("below absolute zero") << "SNVT_temp_p"
                                         << "-273.18" << 2;
    QTest::newRow("above the range in F") << "SNVT_temp_p#US"
                                          << "700" << 2;
    QTest::newRow("negative time") << "SNVT_time_sec"
                                   << "-1" << 2;
    QTest::newRow("time above the range") << "SNVT_time_sec"
                                          << "6553.5" << 2;
    QTest::newRow("huge number") << "SNVT_time_sec"
                                 << "99999999999999999999999999999" << 2;
    QTest::newRow("very long number") << "INT" << QString(300, QLatin1Char('9')) << 2;
    QTest::newRow("non-ASCII") << "SNVT_temp_p" << QStringLiteral("21\u00BA") << 2;
    QTest::newRow("non-ASCII digits") << "INT" << QStringLiteral("\u0661\u0662") << 1;
    QTest::newRow("unknown enumeration name") << "SNVT_hvac_type"
                                              << "HVT_SPACESHIP" << 1;
    QTest::newRow("enumeration name in lower case") << "SNVT_hvac_type"
                                                    << "hvt_vav" << 1;
    QTest::newRow("enumeration number out of range") << "SNVT_hvac_type"
                                                     << "200" << 1;
    QTest::newRow("enumeration number no member has") << "SNVT_hvac_type"
                                                      << "50" << 1;
    QTest::newRow("number no member has, among numeric names") << "UNVT_cycles"
                                                               << "9" << 1;
    QTest::newRow("INVALID where there is none") << "INT"
                                                 << "INVALID" << 1;
    QTest::newRow("INT fraction") << "INT"
                                  << "1.5" << 1;
    QTest::newRow("INT out of range") << "INT"
                                      << "128" << 1;
    QTest::newRow("INT, eight bytes, beyond the smallest") << "INT"
                                                           << "-9223372036854775809" << 8;
    QTest::newRow("INT of no size") << "INT"
                                    << "0" << 0;
    QTest::newRow("RAW byte out of range") << "RAW"
                                           << "41\t256" << 2;
    QTest::newRow("RAW negative byte") << "RAW"
                                       << "41\t-1" << 2;
    QTest::newRow("RAW too few bytes") << "RAW"
                                       << "41" << 2;
    QTest::newRow("RAW blank separated") << "RAW"
                                         << "41 16" << 2;
    QTest::newRow("unknown format") << "SNVT_nothing_like_it"
                                    << "1" << 1;
    QTest::newRow("unknown unit variant") << "SNVT_temp_setpt#XX"
                                          << "23,25,27,21,19,17" << 12;
    QTest::newRow("two unit variants") << "SNVT_temp_p#SI#US"
                                       << "21" << 2;
    QTest::newRow("empty format name") << ""
                                       << "1" << 1;
    QTest::newRow("size of another type") << "SNVT_temp_setpt"
                                          << "23,25,27,21,19,17" << 10;
    QTest::newRow("user type, too few fields") << "UNVT_test_opts"
                                               << "FLOATING 4.5 26 1.5" << 7;
    QTest::newRow("user type, doubled blank") << "UNVT_test_opts"
                                              << "FLOATING  4.5 26 1.5 3" << 7;
    QTest::newRow("user type, unknown name") << "UNVT_test_opts"
                                             << "STEAM 4.5 26 1.5 3" << 7;
    QTest::newRow("user type, unsigned below zero") << "UNVT_test_opts"
                                                    << "FLOATING -0.1 26 1.5 3" << 7;
    QTest::newRow("user type, byte overflow") << "UNVT_test_opts"
                                              << "FLOATING 25.6 26 1.5 3" << 7;
}

void TestValueFormats::refusedTexts()
{
    QFETCH(QString, format);
    QFETCH(QString, text);
    QFETCH(int, size);
    try {
        const QByteArray raw = lns::formats::Parse(format, text, size, m_lonWorks.path());
        QFAIL(qPrintable(QStringLiteral("accepted as %1 bytes").arg(raw.size())));
    } catch (const com::ComError& e) {
        QCOMPARE(e.number(), FormatFailed);
        QVERIFY(!e.description().isEmpty());
    }
}

void TestValueFormats::refusedRawValues_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("raw");

    QTest::newRow("set points too short") << "SNVT_temp_setpt" << words({1, 2, 3, 4, 5});
    QTest::newRow("time too long") << "SNVT_time_sec" << bytes({0, 1, 2});
    QTest::newRow("hvac type empty") << "SNVT_hvac_type" << QByteArray();
    QTest::newRow("INT nine bytes") << "INT" << QByteArray(9, '\1');
    QTest::newRow("user type of another size") << "UNVT_test_opts" << bytes({1, 2, 3});
    QTest::newRow("type nobody defines") << "UNVT_nobody" << bytes({1});
}

void TestValueFormats::refusedRawValues()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, raw);
    QCOMPARE(ErrorOf([&] { lns::formats::Format(format, raw, m_lonWorks.path()); }), FormatFailed);
}

void TestValueFormats::localeDoesNotChangeNumbers()
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString text =
        lns::formats::Format(QStringLiteral("SNVT_temp_setpt#US"), words({2155, 0, 0, 0, 0, 0}), m_lonWorks.path());
    const QByteArray raw =
        lns::formats::Parse(QStringLiteral("SNVT_time_sec"), QStringLiteral("2.5"), 2, m_lonWorks.path());
    QLocale::setDefault(saved);
    QCOMPARE(text, QStringLiteral("70.79,32,32,32,32,32"));
    QCOMPARE(raw, words({25}));
}

void TestValueFormats::userTypes_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("text");

    // ControlType, DriveTime (0.1), HeatMax (0.01 °C), DeadBand (0.01 K), Version
    const QByteArray options = bytes({1, 45, 0x0A, 0x28, 0x00, 0x96, 3});
    QTest::newRow("options, metric") << "UNVT_test_opts" << options << "FLOATING 4.5 26 1.5 3";
    QTest::newRow("options, SI") << "UNVT_test_opts#SI" << options << "FLOATING 4.5 26 1.5 3";
    QTest::newRow("options, US: absolute and difference each converted")
        << "UNVT_test_opts#US" << options << "FLOATING 4.5 78.8 2.7 3";
    QTest::newRow("options, negative heat maximum in F")
        << "UNVT_test_opts#US" << bytes({0, 0, 0xFF, 0x38, 0, 0, 0}) << "ON_OFF 0 28.4 0 0";
    QTest::newRow("model and version") << "UNVT_model_info2" << bytes({41, 12}) << "41 1.2";
    QTest::newRow("own separator, signed byte") << "UNVT_pair" << bytes({0xF6, 200}) << "-10;200";
}

void TestValueFormats::userTypes()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, raw);
    QFETCH(QString, text);
    QCOMPARE(lns::formats::Format(format, raw, m_lonWorks.path()), text);
    QCOMPARE(lns::formats::Parse(format, text, static_cast<qint32>(raw.size()), m_lonWorks.path()), raw);
}

void TestValueFormats::userTypeRefusals_data()
{
    QTest::addColumn<QString>("installation");
    QTest::addColumn<QString>("format");

    QTest::newRow("installation without a catalog") << "empty"
                                                    << "UNVT_test_opts";
    QTest::newRow("type not in any file set") << "tests"
                                              << "UNVT_missing";
}

void TestValueFormats::userTypeRefusals()
{
    QFETCH(QString, installation);
    QFETCH(QString, format);
    QTemporaryDir empty;
    const QString path = installation == QLatin1String("empty") ? empty.path() : m_lonWorks.path();
    QCOMPARE(ErrorOf([&] {
                 lns::formats::Format(format, bytes({1, 45, 0x0A, 0x28, 0, 0x96, 3}), path);
             }),
             FormatFailed);
    QCOMPARE(ErrorOf([&] { lns::formats::Parse(format, QStringLiteral("FLOATING 4.5 26 1.5 3"), 7, path); }),
             FormatFailed);
}

// Any decimal text comes to the stored value its digits round to (half away from zero), or is refused
// exactly when that value cannot be stored: checked against whole-number arithmetic on the digits.
void TestValueFormats::decimalsRoundHalfAwayFromZeroOnTheirDigits()
{
    const quint64 seed = testsupport::GeneratedSeed();
    QRandomGenerator random(seed);
    struct Case {
        const char* format;
        int places;  // of the stored resolution
        qint64 lowest, highest;
        int bytes;
    };
    const Case cases[] = {{"SNVT_temp_p#SI", 2, -27317, 0x7FFE, 2},
                          {"SNVT_time_sec", 1, 0, 0xFFFE, 2},
                          {"INT", 0, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(), 8}};
    for (int n = 0; n < 3000; ++n) {
        const Case& c = cases[n % 3];
        // Digits written after the point, and a magnitude around the type's limits or well inside them.
        const int written = c.places == 0 ? 0 : int(random.bounded(c.places + 4));
        const Wide scale = [&] {
            Wide p = 1;
            for (int i = 0; i < written; ++i)
                p *= 10;
            return p;
        }();
        const Wide edge = random.bounded(2) ? c.highest : c.lowest;
        const int spread = random.bounded(2) ? 10 : 1000;
        Wide units = (edge + Wide(random.bounded(2 * spread + 1)) - spread) * scale;  // in written digits
        for (int i = 0; i < c.places; ++i)
            units /= 10;
        if (random.bounded(3) == 0)
            units = Wide(qint64(random.generate64() >> random.bounded(64))) * (random.bounded(2) ? 1 : -1);
        const bool negative = units < 0;
        const UWide magnitude = negative ? 0 - static_cast<UWide>(units) : static_cast<UWide>(units);
        QString digits;
        for (UWide m = magnitude; digits.size() <= written || m; m /= 10)
            digits.prepend(QChar(char('0' + int(m % 10))));
        QString text = (negative ? QStringLiteral("-") : QString()) + digits.left(digits.size() - written);
        if (written)
            text += QLatin1Char('.') + digits.right(written);
        // Expected: the magnitude in stored steps, rounded on the first digit beyond them.
        Wide expected = 0;
        if (written <= c.places) {
            expected = Wide(magnitude);
            for (int i = written; i < c.places; ++i)
                expected *= 10;
        } else {
            Wide drop = 1;
            for (int i = c.places; i < written; ++i)
                drop *= 10;
            expected = Wide(magnitude) / drop + ((Wide(magnitude) % drop) * 2 >= drop ? 1 : 0);
        }
        expected = negative ? -expected : expected;
        const bool fits = expected >= c.lowest && expected <= c.highest;
        QByteArray parsed;
        try {
            parsed = lns::formats::Parse(QString::fromLatin1(c.format), text, c.bytes, m_lonWorks.path());
        } catch (const com::ComError&) {
        }
        QByteArray wanted;
        for (int i = c.bytes - 1; fits && i >= 0; --i)
            wanted.append(char((quint64(qint64(expected)) >> (8 * i)) & 0xFF));
        // And what was stored reads back as its shortest decimal text.
        QString shown;
        if (fits) {
            const UWide stored = expected < 0 ? 0 - static_cast<UWide>(expected) : static_cast<UWide>(expected);
            QString storedDigits;
            for (UWide m = stored; storedDigits.size() <= c.places || m; m /= 10)
                storedDigits.prepend(QChar(char('0' + int(m % 10))));
            const QString fraction = storedDigits.right(c.places);
            shown =
                (expected < 0 ? QStringLiteral("-") : QString()) + storedDigits.left(storedDigits.size() - c.places);
            for (qsizetype end = fraction.size(); end > 0; --end)
                if (fraction[end - 1] != QLatin1Char('0')) {
                    shown += QLatin1Char('.') + fraction.left(end);
                    break;
                }
        }
        const QString formatted = parsed.isEmpty()
                                      ? QString()
                                      : lns::formats::Format(QString::fromLatin1(c.format), parsed, m_lonWorks.path());
        if (parsed != wanted || formatted != shown)
            QFAIL(
                qPrintable(QStringLiteral("seed %1, case %2: %3 '%4' parsed to %5, expected %6")
                               .arg(seed)
                               .arg(n)
                               .arg(QString::fromLatin1(c.format), text,
                                    QString::fromLatin1(parsed.toHex(' ')) + QStringLiteral(" shown as ") + formatted,
                                    fits ? QString::fromLatin1(wanted.toHex(' ')) + QStringLiteral(" shown as ") + shown
                                         : QStringLiteral("a refusal"))));
    }
}

void TestValueFormats::changedResourceFilesAreSeen_data()
{
    QTest::addColumn<bool>("rebuild");
    QTest::newRow("file set edited, catalog rebuilt") << true;
    QTest::newRow("file set edited in place") << false;
}

namespace {

// A user type of one field, Level, of the given scale, and the file set that defines it once installed.
QJsonObject levelTypes(double scale)
{
    return QJsonObject{
        {QStringLiteral("UNVT_level"),
         QJsonObject{{QStringLiteral("fields"), QJsonArray{field("Level", 2, {{QStringLiteral("scale"), scale}})}}}}};
}

QString levelFileSet(const QTemporaryDir& installation)
{
    return installation.path() + QStringLiteral("/types/User/Test/Test.fset.json");
}

QByteArray contentsOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

void TestValueFormats::changedResourceFilesAreSeen()
{
    QFETCH(bool, rebuild);
    QTemporaryDir installation;
    QVERIFY(InstallUserTypes(installation.path(), levelTypes(0.1)));
    // An apply holds the definitions it read first until it ends.
    auto fixed = std::make_unique<lns::formats::FixedDefinitions>();
    const auto read = [&] {
        return lns::formats::Read(QStringLiteral("UNVT_level"), words({125}), installation.path()).value(0).text;
    };
    const auto parsed = [&] {
        return lns::formats::Parse(QStringLiteral("UNVT_level"), QStringLiteral("1"), 2, installation.path());
    };
    QCOMPARE(lns::formats::Format(QStringLiteral("UNVT_level"), words({125}), installation.path()),
             QStringLiteral("12.5"));
    QCOMPARE(read(), QStringLiteral("12.5"));
    QCOMPARE(parsed(), words({10}));
    // Same size of file, later time: only the stamp tells the change.
    QTest::qWait(20);
    if (rebuild) {
        QVERIFY(InstallUserTypes(installation.path(), levelTypes(0.5)));
    } else {
        const QString file = levelFileSet(installation);
        QByteArray text = contentsOf(file);
        QVERIFY(text.contains("0.1"));
        text.replace("0.1", "0.5");
        WriteFile(file, text);
    }
    QCOMPARE(lns::formats::Format(QStringLiteral("UNVT_level"), words({125}), installation.path()),
             QStringLiteral("12.5"));
    QCOMPARE(read(), QStringLiteral("12.5"));
    QCOMPARE(parsed(), words({10}));
    fixed.reset();
    QCOMPARE(lns::formats::Format(QStringLiteral("UNVT_level"), words({125}), installation.path()),
             QStringLiteral("62.5"));
    QCOMPARE(parsed(), words({2}));
    // The next apply reads with the new definition, not with the answers of the last.
    fixed = std::make_unique<lns::formats::FixedDefinitions>();
    QCOMPARE(read(), QStringLiteral("62.5"));
    QCOMPARE(parsed(), words({2}));
}

// A definition found unchanged is trusted for a moment without asking its files; an edit after that is
// still seen within moments, in place or by a file renamed over it.
void TestValueFormats::aSettledDefinitionEditedIsSeenSoon()
{
    QTemporaryDir installation;
    const QString file = levelFileSet(installation);
    const auto shown = [&] {
        return lns::formats::Format(QStringLiteral("UNVT_level"), words({125}), installation.path());
    };
    QVERIFY(InstallUserTypes(installation.path(), levelTypes(0.1)));
    QTest::qSleep(1100);  // files changed in the last second are read on every look-up
    QCOMPARE(shown(), QStringLiteral("12.5"));
    QCOMPARE(shown(), QStringLiteral("12.5"));  // found unchanged: trusted from now on for a moment
    QByteArray text = contentsOf(file);
    WriteFile(file, text.replace("0.1", "0.5"));
    QTRY_COMPARE_WITH_TIMEOUT(shown(), QStringLiteral("62.5"), 300);
    QTest::qSleep(1100);
    QCOMPARE(shown(), QStringLiteral("62.5"));
    QCOMPARE(shown(), QStringLiteral("62.5"));
    WriteFile(file + QStringLiteral(".new"), text.replace("0.5", "0.25"));
    QVERIFY(std::rename(QFile::encodeName(file + QStringLiteral(".new")).constData(),
                        QFile::encodeName(file).constData()) == 0);
    QTRY_COMPARE_WITH_TIMEOUT(shown(), QStringLiteral("31.25"), 300);
}

// While an apply holds the definitions, every reading and parse answers what it answers without
// them, whatever came before: same bytes in other formats or units, same text at other sizes.
void TestValueFormats::heldDefinitionsAnswerAsTheFilesDo()
{
    const quint64 seed = testsupport::GeneratedSeed();
    QRandomGenerator random(seed);
    struct Kind {
        const char* format;
        int bytes;
    };
    const Kind kinds[] = {{"SNVT_temp_setpt#SI", 12},
                          {"SNVT_temp_setpt#US", 12},
                          {"SNVT_temp_setpt", 12},
                          {"SNVT_time_sec", 2},
                          {"INT", 1},
                          {"INT", 2},
                          {"INT", 4},
                          {"RAW", 2},
                          {"UNVT_test_opts#SI", 7},
                          {"UNVT_test_opts#US", 7},
                          {"UNVT_pair", 2},
                          {"UNVT_model_info2", 2}};
    const QStringList texts = {"21",   "300",     "-2", "73.4,77,80.6,69.8,66.2,62.6", "1;2", "FLOATING 2.5 30 1.5 4",
                               "0\t1", "INVALID", "4,1"};
    struct Step {
        const Kind* kind;
        QByteArray raw;  // read, then its text parsed back; or, when empty, text parsed
        QString text;
    };
    std::vector<Step> steps;
    for (int n = 0; n < 600; ++n) {
        const Kind& kind = kinds[random.bounded(int(std::size(kinds)))];
        QByteArray raw;
        // Few distinct bytes, so that the same ones come back in other formats.
        if (random.bounded(3) != 0)
            for (int i = 0; i < kind.bytes; ++i)
                raw.append(char(random.bounded(3) * 0x40));
        steps.push_back({&kind, raw, texts[random.bounded(int(texts.size()))]});
    }
    const auto answer = [&](const Step& step) {
        const QString format = QString::fromLatin1(step.kind->format);
        QString said;
        try {
            if (step.raw.isEmpty())
                return QString::fromLatin1(
                    lns::formats::Parse(format, step.text, step.kind->bytes, m_lonWorks.path()).toHex(' '));
            for (const lns::formats::FieldReading& f : lns::formats::Read(format, step.raw, m_lonWorks.path()))
                said += QStringLiteral("%1@%2+%3=%4/%5/%6; ")
                            .arg(f.name)
                            .arg(f.offset)
                            .arg(f.bytes)
                            .arg(f.text, f.number ? QString::number(*f.number, 'g', 17) : QStringLiteral("-"))
                            .arg(f.step);
            said += QString::fromLatin1(lns::formats::Parse(format,
                                                            lns::formats::Format(format, step.raw, m_lonWorks.path()),
                                                            step.kind->bytes, m_lonWorks.path())
                                            .toHex(' '));
        } catch (const com::ComError& e) {
            said += QStringLiteral("refused: ") + e.description();
        }
        return said;
    };
    std::vector<QString> expected;
    expected.reserve(steps.size());
    for (const Step& step : steps)
        expected.push_back(answer(step));
    const lns::formats::FixedDefinitions fixed;
    for (int pass = 0; pass < 2; ++pass)
        for (size_t n = 0; n < steps.size(); ++n)
            if (const QString got = answer(steps[n]); got != expected[n])
                QFAIL(qPrintable(
                    QStringLiteral("seed %1, pass %2, step %3 (%4, bytes %5, text '%6'): %7, expected %8")
                        .arg(seed)
                        .arg(pass)
                        .arg(n)
                        .arg(QString::fromLatin1(steps[n].kind->format))
                        .arg(QString::fromLatin1(steps[n].raw.toHex(' ')), steps[n].text, got, expected[n])));
}

QTEST_GUILESS_MAIN(TestValueFormats)
#include "tst_ValueFormats.moc"
