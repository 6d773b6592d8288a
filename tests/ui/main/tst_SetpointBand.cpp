// The set-point band's picture at any values and any size: what must hold is generated, not listed.
//   - from the smallest size it reports upwards, every mark read has its label, inside the band;
//   - no two texts of the picture (labels, the scale's numbers, its unit) overlap;
//   - a label away from its mark has a leader line to it;
//   - just below the smallest height nothing is shown (smaller letters before that: tst_fMainLayout).
// KR5M_SEED chooses the cases; a failure prints the seed and the case.
#include "device/ConfigModel.h"
#include "platform/base/Numbers.h"
#include "support/TestEnvironment.h"
#include "ui/main/SetpointBand.h"

#include <QImage>
#include <QRandomGenerator>
#include <QTest>

namespace {

using device::config::CrossFieldItems;

// A value of the kind a field holds or a person types: mostly near the usual set points, sometimes
// anywhere, equal to another field's, long, or missing.
QString GeneratedText(QRandomGenerator& random, qint16 units, const std::map<QString, QString>& others)
{
    const int kind = random.bounded(20);
    if (kind == 0)
        return QString();
    if (kind == 1 && !others.empty()) {
        auto other = others.begin();
        std::advance(other, random.bounded(int(others.size())));
        return other->second;
    }
    double value = 0;
    if (kind == 2)
        value = random.bounded(100000) / 10.0 - 500;
    else if (kind < 6)
        value = random.bounded(2000) / 10.0 - 50;
    else
        value = (units == 0 ? 15 : 59) + random.bounded(units == 0 ? 200 : 360) / 10.0;
    return numbers::ShortestNumber(std::round(value * 2) / 2);
}

QString Describe(const std::map<QString, QString>& texts, qint16 units, int pointSize, QSize size)
{
    QStringList values;
    for (const QString& name : CrossFieldItems())
        values << name + QLatin1Char('=') + texts.at(name);
    return QStringLiteral("units %1, font %2 pt, size %3x%4, %5")
        .arg(units)
        .arg(pointSize)
        .arg(size.width())
        .arg(size.height())
        .arg(values.join(QStringLiteral(" ")));
}

// Why the picture breaks what must hold; empty when it holds.
QString Broken(const SetpointBand& band, const SetpointBand::Picture& picture, QSize size)
{
    if (!picture.shown)
        return QStringLiteral("nothing shown");
    const QRectF area(0, 0, size.width(), size.height());
    std::vector<SetpointBand::Placed> texts = picture.labels;
    texts.insert(texts.end(), picture.numbers.begin(), picture.numbers.end());
    for (const SetpointBand::Mark& mark : band.model().marks) {
        const auto label = std::find_if(picture.labels.begin(), picture.labels.end(),
                                        [&](const SetpointBand::Placed& p) { return p.item == mark.item; });
        if (label == picture.labels.end())
            return mark.item + QStringLiteral(" has no label");
        const double x = picture.x(mark.value);
        if (x < 0 || x > size.width())
            return mark.item + QStringLiteral(" off the band");
        // Beside its mark (touching the mark's width) or joined to it by a line.
        if (!label->leader && (label->rect.right() < x - picture.markSize || label->rect.left() > x + picture.markSize))
            return label->text + QStringLiteral(" away from its mark without a leader");
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (!area.contains(texts[i].rect))
            return texts[i].text + QStringLiteral(" outside the band");
        for (std::size_t j = i + 1; j < texts.size(); ++j)
            if (texts[i].rect.intersects(texts[j].rect))
                return texts[i].text + QStringLiteral(" overlaps ") + texts[j].text;
    }
    return QString();
}

}  // namespace

class TestSetpointBand : public QObject {
    Q_OBJECT
private slots:
    void labelsNeverOverlapAndEveryMarkIsShown()
    {
        const quint64 seed = testsupport::GeneratedSeed();
        QRandomGenerator random(quint32(seed ^ (seed >> 32)));
        const int cases = 600;
        for (int n = 0; n < cases; ++n) {
            const auto units = qint16(random.bounded(2));
            std::map<QString, QString> texts;
            for (const QString& name : CrossFieldItems())
                texts[name] = GeneratedText(random, units, texts);
            const int pointSize = 6 + random.bounded(15);
            SetpointBand band;
            QFont font = band.font();
            font.setPointSize(pointSize);
            band.setFont(font);
            band.setValues(texts, units);
            if (band.model().empty())
                continue;
            const QSize smallest = band.smallestShown();
            const QSize preferred = band.sizeHint();
            // The smallest size itself, then anything up to well past the preferred size.
            const QSize size = n % 5 == 0 ? smallest
                                          : QSize(smallest.width() + random.bounded(smallest.width() * 2 + 1),
                                                  smallest.height() + random.bounded(preferred.height() + 1));
            const QString why = Broken(band, band.pictureAt(size), size);
            QVERIFY2(why.isEmpty(), qPrintable(QStringLiteral("seed %1, case %2: %3: %4 (KR5M_SEED=%1 reproduces it)")
                                                   .arg(seed)
                                                   .arg(n)
                                                   .arg(why, Describe(texts, units, pointSize, size))));
            // Below the smallest it gives its room up rather than squeeze the labels together.
            QVERIFY2(!band.pictureAt(smallest - QSize(0, 1)).shown,
                     qPrintable(QStringLiteral("seed %1, case %2: shown below the smallest height").arg(seed).arg(n)));
            // And painting follows the picture without tripping over anything.
            if (n % 10 == 0) {
                band.resize(size);
                QImage image(size, QImage::Format_ARGB32);
                image.fill(Qt::white);
                band.render(&image);
            }
        }
        qInfo("%d cases from seed %llu", cases, seed);
    }
};

QTEST_MAIN(TestSetpointBand)
#include "tst_SetpointBand.moc"
