#include "ui/main/SetpointBand.h"

#include "device/ConfigModel.h"
#include "device/Units.h"
#include "framework/PlugInSettings.h"
#include "platform/base/Numbers.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

using namespace device::config::names;

// The text of a field that holds a value of its item; nothing for an empty or refused text.
std::optional<double> ReadValue(const std::map<QString, QString>& texts, const QString& name)
{
    const auto found = texts.find(name);
    const device::config::Item* item = device::config::FindSettable(name);
    if (found == texts.end() || !item || !device::config::AcceptsText(found->second, item->wholeNumbers))
        return std::nullopt;
    return numbers::ToNumber(found->second);
}

QString Caption(const QString& item)
{
    const device::config::Item* found = device::config::FindSettable(item);
    return found && !found->description.isEmpty() ? found->description : item;
}

// A scale step of 1, 2 or 5 times a power of ten that keeps the labels apart, whatever was typed.
double TickStep(double span, int room)
{
    const double raw = span / std::max(room, 1);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0})
        if (raw <= factor * power)
            return factor * power;
    return 10 * power;
}

}  // namespace

const std::vector<QString>& SetpointBand::Items()
{
    static const std::vector<QString> items{HeatMax, OccHeat, UnoccHeat, OccCool, UnoccCool, CoolMin};
    return items;
}

const SetpointBand::Mark* SetpointBand::Model::find(const QString& item) const
{
    const auto found = std::find_if(marks.begin(), marks.end(), [&](const Mark& m) { return m.item == item; });
    return found == marks.end() ? nullptr : &*found;
}

SetpointBand::Model SetpointBand::Model::Of(const std::map<QString, QString>& texts, qint16 units)
{
    Model model;
    model.unit = device::UnitSymbol(units);
    // The rules see only what was read: a rule on a field without a value is not checked.
    std::map<QString, QString> read;
    for (const QString& name : device::config::CrossFieldItems())
        if (ReadValue(texts, name))
            read[name] = texts.at(name);
    const auto brokenWith = [](const std::map<QString, QString>& values) {
        return device::config::CrossFieldViolations(values).size();
    };
    const std::size_t broken = brokenWith(read);

    for (const QString& name : Items()) {
        const std::optional<double> value = ReadValue(texts, name);
        if (!value)
            continue;
        Mark mark;
        mark.item = name;
        mark.value = *value;
        mark.limit = name == HeatMax || name == CoolMin;
        mark.heating = name == HeatMax || name == OccHeat || name == UnoccHeat;
        mark.occupied = name == OccHeat || name == OccCool;
        const device::config::Verdict verdict =
            device::config::CheckValue(*device::config::FindSettable(name), texts.at(name), units);
        if (verdict.bound != device::config::Verdict::NoBound) {
            mark.state = Mark::OutOfLimit;
        } else if (!mark.limit) {
            // A set point takes part in a broken rule when the rules without it break fewer.
            std::map<QString, QString> without = read;
            without.erase(name);
            if (brokenWith(without) < broken)
                mark.state = Mark::BrokenRule;
        }
        model.marks.push_back(mark);
    }
    if (model.marks.empty())
        return model;

    const auto heat = ReadValue(texts, OccHeat);
    const auto cool = ReadValue(texts, OccCool);
    if (heat && cool) {
        model.band = std::pair{*heat, *cool};
        std::map<QString, QString> pair;
        for (const QString& name : {OccHeat, OccCool, DeadBand})
            if (read.count(name))
                pair[name] = read.at(name);
        model.bandBroken = brokenWith(pair) != 0;
    }

    const auto [lowest, highest] = std::minmax_element(model.marks.begin(), model.marks.end(),
                                                       [](const Mark& a, const Mark& b) { return a.value < b.value; });
    // A little room beyond the outer marks, in whole degrees, and never narrower than a few degrees.
    const double margin = units == 0 ? 1 : 2;
    model.low = std::floor(lowest->value) - margin;
    model.high = std::ceil(highest->value) + margin;
    const double least = units == 0 ? 6 : 10;
    if (model.high - model.low < least) {
        const double grow = std::ceil((least - (model.high - model.low)) / 2);
        model.low -= grow;
        model.high += grow;
    }
    return model;
}

QString SetpointBand::Model::description() const
{
    if (empty())
        return QStringLiteral("Set-point scale: no set point read.");
    const auto number = [this](double value) { return numbers::ShortestNumber(value) + QLatin1Char(' ') + unit; };
    QStringList parts;
    parts << QStringLiteral("Set-point scale from %1 to %2.").arg(number(low), number(high));
    for (const Mark& mark : marks) {
        QString text = Caption(mark.item) + QStringLiteral(": ") + number(mark.value);
        if (mark.state == Mark::OutOfLimit)
            text += QStringLiteral(", out of its range");
        else if (mark.state == Mark::BrokenRule)
            text += QStringLiteral(", breaks a rule between the set points");
        parts << text + QLatin1Char('.');
    }
    if (band)
        parts << QStringLiteral("Occupied dead band from %1 to %2%3.")
                     .arg(number(band->first), number(band->second),
                          bandBroken ? QStringLiteral(", narrower than the dead band allows") : QString());
    return parts.join(QLatin1Char(' '));
}

SetpointBand::SetpointBand(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("SetpointBand"));
    setAccessibleName(QStringLiteral("Set-point scale"));
    setAccessibleDescription(m_model.description());
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
}

void SetpointBand::setValues(const std::map<QString, QString>& texts, qint16 units)
{
    m_model = Model::Of(texts, units);
    setAccessibleDescription(m_model.description());
    update();
}

QSize SetpointBand::sizeHint() const
{
    // Labels, marks over and under the scale, labels, numbers: in lines of text, so it scales with the
    // font and the screen.
    const QFontMetrics metrics(font());
    return {metrics.averageCharWidth() * 30, metrics.height() * 19 / 4};
}

QSize SetpointBand::minimumSizeHint() const
{
    // No height of its own: in a window made as small as it goes, the fields keep their room and the
    // band is left out.
    return {sizeHint().width(), 0};
}

void SetpointBand::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        update();
    QWidget::changeEvent(event);
}

void SetpointBand::paintEvent(QPaintEvent*)
{
    // A typed number too large for arithmetic has no scale to stand on.
    if (m_model.empty() || height() < sizeHint().height() || !std::isfinite(m_model.high - m_model.low))
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics fm(font());
    const int line = fm.height();
    const QPalette& pal = palette();
    const QColor text = pal.color(QPalette::WindowText);
    // Heating warm, cooling cool, both readable on light and dark windows; a judged mark in the
    // palette's own attention colour would vanish in some themes, so it is a fixed red, drawn hollow.
    const QColor heatColour(224, 110, 20);
    const QColor coolColour(40, 130, 220);
    const QColor wrongColour(220, 30, 30);

    const int left = fm.horizontalAdvance(QStringLiteral("000.0")) / 2 + line / 2;
    // The unit follows the scale on its right.
    const int right = width() - fm.horizontalAdvance(QStringLiteral(" 000 ") + m_model.unit);
    const int axisY = line * 7 / 4;
    const auto x = [&](double value) {
        return left + (value - m_model.low) / (m_model.high - m_model.low) * (right - left);
    };

    // The band first: marks and lines are drawn over it.
    if (m_model.band) {
        const double from = x(std::min(m_model.band->first, m_model.band->second));
        const double to = x(std::max(m_model.band->first, m_model.band->second));
        QColor fill = m_model.bandBroken ? wrongColour : pal.color(QPalette::Highlight);
        fill.setAlpha(m_model.bandBroken ? 90 : 70);
        const QRectF area(from, axisY - line / 2.0, std::max(to - from, 2.0), line);
        p.fillRect(area, fill);
        if (m_model.bandBroken) {
            p.setPen(QPen(wrongColour, 1.5, Qt::DashLine));
            p.drawRect(area);
        }
    }

    // The scale and its numbers.
    p.setPen(QPen(text, 1));
    p.drawLine(QPointF(left, axisY), QPointF(right, axisY));
    const double span = m_model.high - m_model.low;
    const double step = TickStep(span, std::max(1, (right - left) / (fm.horizontalAdvance(QStringLiteral("000")) * 2)));
    const double first = std::ceil(m_model.low / step) * step;
    for (int n = 0; n <= span / step + 1e-9; ++n) {
        const double tick = first + n * step;
        if (tick > m_model.high)
            break;
        const double at = x(tick);
        p.drawLine(QPointF(at, axisY - line / 4.0), QPointF(at, axisY + line / 4.0));
        const QString label = numbers::ShortestNumber(tick);
        const int w = fm.horizontalAdvance(label);
        p.drawText(QPointF(at - w / 2.0, line * 9 / 2.0 - fm.descent()), label);
    }
    const QString unit = m_model.unit;
    p.drawText(QPointF(right + fm.horizontalAdvance(QStringLiteral("00 ")), line * 9 / 2.0 - fm.descent()), unit);

    for (const SetpointBand::Mark& mark : m_model.marks) {
        const QColor own = mark.heating ? heatColour : coolColour;
        const bool wrong = mark.state != SetpointBand::Mark::Ok;
        const double at = x(mark.value);
        QString label;
        if (mark.limit) {
            p.setPen(QPen(wrong ? wrongColour : own, 2, Qt::DashLine));
            p.drawLine(QPointF(at, line / 4.0), QPointF(at, axisY + line));
            // Outside the range it bounds, where the set points' own labels seldom are.
            label = mark.heating ? QStringLiteral("max") : QStringLiteral("min");
            p.setPen(wrong ? wrongColour : own);
            const int w = fm.horizontalAdvance(label);
            const double labelX = std::clamp(mark.heating ? at + 3 : at - w - 3, 0.0, double(width() - w));
            p.drawText(QPointF(labelX, line - fm.descent()), label);
            continue;
        }
        // Occupied marks point down onto the scale from above, unoccupied ones up from below.
        const double size = line * 0.7;
        const double tip = mark.occupied ? axisY - 1.0 : axisY + 1.0;
        const double base = mark.occupied ? tip - size : tip + size;
        QPainterPath triangle;
        triangle.moveTo(at, tip);
        triangle.lineTo(at - size / 2, base);
        triangle.lineTo(at + size / 2, base);
        triangle.closeSubpath();
        if (wrong) {
            p.setPen(QPen(wrongColour, 2));
            p.setBrush(Qt::NoBrush);
        } else {
            p.setPen(QPen(own.darker(130), 1));
            p.setBrush(own);
        }
        p.drawPath(triangle);
        p.setBrush(Qt::NoBrush);
        label = (mark.occupied ? QStringLiteral("occ ") : QStringLiteral("unocc ")) +
                (mark.heating ? QStringLiteral("heat") : QStringLiteral("cool"));
        if (mark.state == SetpointBand::Mark::OutOfLimit)
            label += QStringLiteral(" !");
        else if (wrong)
            label += QStringLiteral(" ?");
        const int w = fm.horizontalAdvance(label);
        // Heating labels end at their mark and cooling labels start at theirs: a narrow dead band
        // keeps both readable.
        const double labelX = std::clamp(mark.heating ? at + size / 2 - w : at - size / 2, 0.0, double(width() - w));
        const double labelY = mark.occupied ? base - fm.descent() - 1 : base + fm.ascent() + 1;
        p.setPen(wrong ? wrongColour : own);
        p.drawText(QPointF(labelX, labelY), label);
    }
}
