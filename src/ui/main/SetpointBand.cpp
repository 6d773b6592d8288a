#include "ui/main/SetpointBand.h"

#include "device/ConfigModel.h"
#include "device/Units.h"
#include "platform/base/Numbers.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <iterator>

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

// The band's texts, in the user's language.
struct Words {
    Q_DECLARE_TR_FUNCTIONS(SetpointBand)
};

QString Caption(const QString& item)
{
    const device::config::Item* found = device::config::FindSettable(item);
    return found && !found->description.isEmpty()
               ? QCoreApplication::translate("fMain", found->description.toLatin1().constData())
               : item;
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

// The step after this one in the 1, 2, 5 sequence.
double NextStep(double step)
{
    const double power = std::pow(10.0, std::floor(std::log10(step)));
    const double factor = step / power;
    return factor < 1.5 ? 2 * power : factor < 3.5 ? 5 * power : 10 * power;
}

// The letter sizes the band tries, from its own font down to the smallest that still reads.
constexpr double LetterScales[] = {1.0, 0.85, 0.7};

QFont Scaled(const QFont& font, double scale)
{
    QFont scaled = font;
    if (font.pointSizeF() > 0)
        scaled.setPointSizeF(font.pointSizeF() * scale);
    else
        scaled.setPixelSize(std::max(1, qRound(font.pixelSize() * scale)));
    return scaled;
}

// The picture's rows for one letter size, from the top: the labels of the occupied set points and
// the limits, the occupied marks pointing down onto the scale, the scale, the unoccupied marks
// pointing up at it, their labels, the scale's numbers.
struct Rows {
    explicit Rows(const QFontMetricsF& fm)
        : line(fm.height()),
          pad(std::max(1.0, std::ceil(line / 8))),
          gap(std::max(2.0, std::ceil(line / 6))),
          mark(std::round(line * 0.7)),
          above(pad),
          axis(above + line + gap + mark + 1),
          below(axis + 1 + mark + gap),
          numbers(below + line),
          height(numbers + line + pad)
    {
    }
    double line, pad, gap, mark;
    double above, axis, below, numbers, height;
};

// Room between two labels of a row.
double LabelGap(const QFontMetricsF& fm)
{
    return std::max(2.0, fm.averageCharWidth() / 2);
}

QString LabelOf(const SetpointBand::Mark& mark)
{
    if (mark.limit)
        return mark.heating ? Words::tr("max") : Words::tr("min");
    QString label = mark.occupied ? (mark.heating ? Words::tr("occ heat") : Words::tr("occ cool"))
                                  : (mark.heating ? Words::tr("unocc heat") : Words::tr("unocc cool"));
    if (mark.state == SetpointBand::Mark::OutOfLimit)
        label += QStringLiteral(" !");
    else if (mark.state == SetpointBand::Mark::BrokenRule)
        label += QStringLiteral(" ?");
    return label;
}

// An item's mark as the table of set-point pairs places it: which side, occupied or not, a limit.
SetpointBand::Mark MarkOf(const QString& item)
{
    SetpointBand::Mark mark;
    mark.item = item;
    mark.limit = item == HeatMax || item == CoolMin;
    mark.heating = item == HeatMax;
    for (const device::config::SetpointPair& pair : device::config::SetpointPairs()) {
        if (item == pair.heat || item == pair.cool)
            mark.occupied = pair.occupied;
        if (item == pair.heat)
            mark.heating = true;
    }
    return mark;
}

// The occupied pair: the band is drawn between its two set points.
const device::config::SetpointPair& OccupiedPair()
{
    const auto& pairs = device::config::SetpointPairs();
    return *std::find_if(pairs.begin(), pairs.end(), [](const auto& pair) { return pair.occupied; });
}

// The widest the label of each item can be, whatever its state.
double WidestLabel(const QFontMetricsF& fm, const QString& item)
{
    SetpointBand::Mark mark = MarkOf(item);
    double widest = 0;
    for (const auto state : {SetpointBand::Mark::Ok, SetpointBand::Mark::BrokenRule, SetpointBand::Mark::OutOfLimit}) {
        mark.state = state;
        widest = std::max(widest, fm.horizontalAdvance(LabelOf(mark)));
    }
    return widest;
}

// The narrowest width at which the labels always fit in their rows and the scale has its numbers.
double NarrowestWidth(const QFontMetricsF& fm)
{
    const double gap = LabelGap(fm);
    // The occupied set points and the limits are labelled above the scale, the others below.
    double above = -gap, below = -gap;
    for (const QString& item : SetpointBand::Items()) {
        const SetpointBand::Mark mark = MarkOf(item);
        (mark.occupied || mark.limit ? above : below) += WidestLabel(fm, item) + gap;
    }
    const double unit =
        std::max(fm.horizontalAdvance(device::UnitSymbol(0)), fm.horizontalAdvance(device::UnitSymbol(1)));
    const double scale = 3 * fm.horizontalAdvance(QStringLiteral("-0000")) + unit + 2 * gap + 2;
    return std::max({above, below, scale});
}

// A label and the left edge it would have beside its mark.
struct Wanted {
    std::size_t label;
    double left;
};

// Puts the labels of one row in the order of the places they want, each as near its place as the
// others leave room for, `gap` apart and inside the width. False when they do not fit.
bool FitRow(std::vector<SetpointBand::Placed>& labels, std::vector<Wanted> row, double width, double gap)
{
    std::stable_sort(row.begin(), row.end(), [](const Wanted& a, const Wanted& b) { return a.left < b.left; });
    const auto widthOf = [&](std::size_t i) { return labels[row[i].label].rect.width(); };
    std::vector<double> at(row.size());
    for (std::size_t i = 0; i < row.size(); ++i)
        at[i] = std::max(row[i].left, i ? at[i - 1] + widthOf(i - 1) + gap : 0.0);
    for (std::size_t i = row.size(); i-- > 0;)
        at[i] = std::min(at[i], i + 1 < row.size() ? at[i + 1] - gap - widthOf(i) : width - widthOf(i));
    if (!row.empty() && at[0] < 0)
        return false;
    for (std::size_t i = 0; i < row.size(); ++i) {
        SetpointBand::Placed& label = labels[row[i].label];
        label.rect.moveLeft(at[i]);
        label.leader = std::abs(at[i] - row[i].left) > 0.5;
    }
    return true;
}

// The picture in one letter size; not shown when it does not fit the size.
SetpointBand::Picture Arrange(const SetpointBand::Model& model, const QFont& font, QSize size, QPaintDevice* device)
{
    SetpointBand::Picture p;
    p.font = font;
    const QFontMetricsF fm(font, device);
    const Rows rows(fm);
    if (rows.height > size.height())
        return p;
    const double width = size.width();
    const double gap = LabelGap(fm);
    p.low = model.low;
    p.high = model.high;
    p.top = rows.above;
    p.axisY = rows.axis;
    p.markSize = rows.mark;

    // The scale: its numbers centred under their ticks, the unit after the last; without them when
    // the numbers typed are too long for the room.
    const double number = std::max(fm.horizontalAdvance(numbers::ShortestNumber(model.low)),
                                   fm.horizontalAdvance(numbers::ShortestNumber(model.high)));
    const double unit = fm.horizontalAdvance(model.unit);
    p.left = std::max(number, rows.mark) / 2 + 1;
    p.right = width - std::max(unit + gap + number / 2, rows.mark / 2) - 1;
    const bool numbers = p.right - p.left >= 2 * number + gap;
    if (!numbers) {
        p.left = rows.mark / 2 + 1;
        p.right = width - rows.mark / 2 - 1;
    }
    if (p.right <= p.left)
        return p;
    if (numbers) {
        const double span = model.high - model.low;
        double step = std::max(1.0, TickStep(span, int((p.right - p.left) / (number * 2))));
        for (;;) {
            p.ticks.clear();
            p.numbers.clear();
            double widest = 0;
            for (double tick = std::ceil(model.low / step) * step; tick <= model.high; tick += step) {
                SetpointBand::Placed text;
                text.text = numbers::ShortestNumber(tick);
                const double w = fm.horizontalAdvance(text.text);
                text.rect = QRectF(p.x(tick) - w / 2, rows.numbers, w, rows.line);
                text.anchor = QPointF(p.x(tick), rows.axis);
                widest = std::max(widest, w);
                p.ticks.push_back(tick);
                p.numbers.push_back(text);
            }
            // Fewer numbers until neighbours keep apart.
            if (p.ticks.size() < 2 || step / span * (p.right - p.left) >= widest + gap)
                break;
            step = NextStep(step);
        }
        SetpointBand::Placed unitText;
        unitText.text = model.unit;
        unitText.rect = QRectF(p.right + number / 2 + gap, rows.numbers, unit, rows.line);
        p.numbers.push_back(unitText);
    }

    // Labels of the occupied set points and the limits above the scale, of the unoccupied ones below.
    std::vector<Wanted> above, below;
    for (const SetpointBand::Mark& mark : model.marks) {
        SetpointBand::Placed label;
        label.item = mark.item;
        label.text = LabelOf(mark);
        const double w = fm.horizontalAdvance(label.text);
        const double at = p.x(mark.value);
        const bool up = mark.limit || mark.occupied;
        const double top = up ? rows.above : rows.below;
        label.rect = QRectF(0, top, w, rows.line);
        double wanted = 0;
        if (mark.limit) {
            // Outside the range it bounds, where the set points' own labels seldom are.
            wanted = mark.heating ? at + gap : at - gap - w;
            label.anchor = QPointF(at, top + rows.line / 2);
        } else {
            // Heating labels end at their mark and cooling labels start at theirs: a narrow dead band
            // keeps both beside their marks.
            wanted = mark.heating ? at + rows.mark / 2 - w : at - rows.mark / 2;
            label.anchor = QPointF(at, mark.occupied ? rows.axis - 1 - rows.mark : rows.axis + 1 + rows.mark);
        }
        (up ? above : below).push_back({p.labels.size(), wanted});
        p.labels.push_back(label);
    }
    p.shown = FitRow(p.labels, above, width, gap) && FitRow(p.labels, below, width, gap);
    return p;
}

}  // namespace

const std::vector<QString>& SetpointBand::Items()
{
    // Heating maximum, the heating set points, the cooling ones, cooling minimum: from warm to cool.
    static const std::vector<QString> items = [] {
        std::vector<QString> all{HeatMax};
        for (const auto& pair : device::config::SetpointPairs())
            all.push_back(pair.heat);
        for (const auto& pair : device::config::SetpointPairs())
            all.push_back(pair.cool);
        all.push_back(CoolMin);
        return all;
    }();
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
    const qsizetype broken = brokenWith(read);

    for (const QString& name : Items()) {
        const std::optional<double> value = ReadValue(texts, name);
        if (!value)
            continue;
        Mark mark = MarkOf(name);
        mark.value = *value;
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

    const device::config::SetpointPair& occupied = OccupiedPair();
    const auto heat = ReadValue(texts, occupied.heat);
    const auto cool = ReadValue(texts, occupied.cool);
    if (heat && cool) {
        model.band = std::pair{*heat, *cool};
        std::map<QString, QString> pair;
        for (const QString& name : {occupied.heat, occupied.cool, DeadBand})
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
        return Words::tr("Set-point scale: no set point read.");
    const auto number = [this](double value) { return numbers::ShortestNumber(value) + QLatin1Char(' ') + unit; };
    QStringList parts;
    parts << Words::tr("Set-point scale from %1 to %2.").arg(number(low), number(high));
    for (const Mark& mark : marks) {
        const QString text = mark.state == Mark::OutOfLimit ? Words::tr("%1: %2, out of its range.")
                             : mark.state == Mark::BrokenRule
                                 ? Words::tr("%1: %2, breaks a rule between the set points.")
                                 : Words::tr("%1: %2.");
        parts << text.arg(Caption(mark.item), number(mark.value));
    }
    if (band)
        parts << (bandBroken ? Words::tr("Occupied dead band from %1 to %2, narrower than the dead band allows.")
                             : Words::tr("Occupied dead band from %1 to %2."))
                     .arg(number(band->first), number(band->second));
    return parts.join(QLatin1Char(' '));
}

SetpointBand::SetpointBand(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("SetpointBand"));
    setAccessibleName(Words::tr("Set-point scale"));
    setAccessibleDescription(m_model.description());
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
}

void SetpointBand::setValues(const std::map<QString, QString>& texts, qint16 units)
{
    m_model = Model::Of(texts, units);
    setAccessibleDescription(m_model.description());
    update();
}

SetpointBand::Picture SetpointBand::pictureAt(QSize size) const
{
    // A typed number too large for arithmetic has no scale to stand on.
    if (m_model.empty() || !std::isfinite(m_model.high - m_model.low) || m_model.high <= m_model.low)
        return {};
    Picture picture;
    for (const double scale : LetterScales) {
        picture = Arrange(m_model, Scaled(font(), scale), size, const_cast<SetpointBand*>(this));
        if (picture.shown)
            break;
    }
    return picture;
}

QSize SetpointBand::smallestShown() const
{
    const QFontMetricsF fm(Scaled(font(), LetterScales[std::size(LetterScales) - 1]), const_cast<SetpointBand*>(this));
    return {int(std::ceil(NarrowestWidth(fm))) + 1, int(std::ceil(Rows(fm).height))};
}

QSize SetpointBand::sizeHint() const
{
    // In lines of text, so it scales with the font and the screen.
    const QFontMetricsF fm(font(), const_cast<SetpointBand*>(this));
    const double width = std::max(fm.averageCharWidth() * 30, NarrowestWidth(fm));
    return {int(std::ceil(width)) + 1, int(std::ceil(Rows(fm).height))};
}

QSize SetpointBand::minimumSizeHint() const
{
    // No height of its own: in a window made as small as it goes, the fields keep their room and the
    // band is left out.
    return {smallestShown().width(), 0};
}

void SetpointBand::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        update();
    QWidget::changeEvent(event);
}

void SetpointBand::paintEvent(QPaintEvent*)
{
    const Picture picture = pictureAt(size());
    if (!picture.shown)
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(picture.font);
    const QFontMetricsF fm(picture.font, this);
    const double line = fm.height();
    const double size = picture.markSize;
    const QPalette& pal = palette();
    const QColor text = pal.color(QPalette::WindowText);
    // Heating warm, cooling cool, both readable on light and dark windows; a judged mark in the
    // palette's own attention colour would vanish in some themes, so it is a fixed red, drawn hollow.
    const QColor heatColour(224, 110, 20);
    const QColor coolColour(40, 130, 220);
    const QColor wrongColour(220, 30, 30);
    const auto colourOf = [&](const Mark& mark) {
        return mark.state != Mark::Ok ? wrongColour : mark.heating ? heatColour : coolColour;
    };

    // Lines pass behind the labels, never through their letters.
    QRegion free(rect());
    for (const Placed& label : picture.labels)
        free -= label.rect.toAlignedRect();
    p.setClipRegion(free);

    // The band first: marks and lines are drawn over it.
    if (m_model.band) {
        const double from = picture.x(std::min(m_model.band->first, m_model.band->second));
        const double to = picture.x(std::max(m_model.band->first, m_model.band->second));
        QColor fill = m_model.bandBroken ? wrongColour : pal.color(QPalette::Highlight);
        fill.setAlpha(m_model.bandBroken ? 90 : 70);
        const QRectF area(from, picture.axisY - size * 0.6, std::max(to - from, 2.0), size * 1.2);
        p.fillRect(area, fill);
        if (m_model.bandBroken) {
            p.setPen(QPen(wrongColour, 1.5, Qt::DashLine));
            p.drawRect(area);
        }
    }

    // The scale, its ticks and numbers.
    p.setPen(QPen(text, 1));
    p.drawLine(QPointF(picture.left, picture.axisY), QPointF(picture.right, picture.axisY));
    for (const double tick : picture.ticks) {
        const double at = picture.x(tick);
        p.drawLine(QPointF(at, picture.axisY - line / 4), QPointF(at, picture.axisY + line / 4));
    }
    for (const Placed& number : picture.numbers)
        p.drawText(number.rect, Qt::AlignLeft | Qt::AlignTop, number.text);

    for (std::size_t i = 0; i < m_model.marks.size(); ++i) {
        const Mark& mark = m_model.marks[i];
        const Placed& label = picture.labels[i];
        const QColor own = colourOf(mark);
        const bool wrong = mark.state != Mark::Ok;
        const double at = picture.x(mark.value);
        if (mark.limit) {
            p.setPen(QPen(own, 2, Qt::DashLine));
            p.drawLine(QPointF(at, picture.top), QPointF(at, picture.axisY + size));
        } else {
            // Occupied marks point down onto the scale from above, unoccupied ones up from below.
            const double tip = mark.occupied ? picture.axisY - 1.0 : picture.axisY + 1.0;
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
        }
        if (label.leader) {
            // From the mark to the nearest point of its label.
            const QRectF& r = label.rect;
            const double edgeY = mark.limit ? label.anchor.y() : mark.occupied ? r.bottom() : r.top();
            const QPointF to(std::clamp(label.anchor.x(), r.left(), r.right()), edgeY);
            p.setPen(QPen(own, 1));
            p.drawLine(label.anchor, to);
        }
    }

    p.setClipping(false);
    for (std::size_t i = 0; i < m_model.marks.size(); ++i) {
        p.setPen(colourOf(m_model.marks[i]));
        p.drawText(picture.labels[i].rect, Qt::AlignLeft | Qt::AlignTop, picture.labels[i].text);
    }
}
