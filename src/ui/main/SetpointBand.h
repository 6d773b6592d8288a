#pragma once
// The set-point band under the Heating - Cooling frames: one temperature scale in the display units
// with the four set points as marks, the heating maximum and cooling minimum limits as lines, and the
// occupied dead band (occupied heating to occupied cooling) as a band. It shows the texts of the fields
// as they are typed; a set point the configuration model judges out of its range, or part of a rule
// between the set points that the values break, is marked as such. A field that holds no number (not
// read) has no mark. It only shows: every value is still read from and typed into the fields.
//
// When it has less room than it would like it draws with smaller letters and fewer numbers on the
// scale; below the smallest size that still shows every mark it draws nothing, so that a window made
// as small as it goes keeps its fields. Labels that would run into each other move apart along their
// row and are joined to their marks by a leader line.
#include <QFont>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <map>
#include <optional>
#include <vector>

class SetpointBand : public QWidget {
public:
    // What the band shows, worked out from the field texts without drawing anything.
    struct Mark {
        enum State { Ok, BrokenRule, OutOfLimit };
        QString item;  // the data item's name ("nciSetPts.occ_heat", "HeatMax", ...)
        double value = 0;
        State state = Ok;
        bool limit = false;    // HeatMax or CoolMin: drawn as a line across the scale
        bool heating = false;  // heating side (set point or maximum) or cooling side
        bool occupied = false;
    };
    struct Model {
        QString unit;  // "°C" / "°F"
        double low = 0;
        double high = 0;
        std::vector<Mark> marks;  // only the items read; in the order of Items()
        // Occupied heating to occupied cooling, when both were read; broken when the values break the
        // dead-band rule between them.
        std::optional<std::pair<double, double>> band;
        bool bandBroken = false;

        bool empty() const { return marks.empty(); }
        const Mark* find(const QString& item) const;
        // The whole picture in words, for the accessible description.
        QString description() const;

        // texts: field texts by item name (the items of Items() and DeadBand); units 0 metric, 1 imperial.
        static Model Of(const std::map<QString, QString>& texts, qint16 units);
    };

    // The items with a mark, heating maximum and cooling minimum included.
    static const std::vector<QString>& Items();

    explicit SetpointBand(QWidget* parent = nullptr);

    void setValues(const std::map<QString, QString>& texts, qint16 units);
    const Model& model() const { return m_model; }

    // One text of the picture and where it goes.
    struct Placed {
        QString text;
        QRectF rect;
        QString item;         // the mark it names; empty for the scale's numbers and its unit
        QPointF anchor;       // the point of the mark the label belongs to
        bool leader = false;  // moved away from its mark: a line joins them
    };
    // Where everything goes at a size, worked out without drawing: painting follows it exactly.
    struct Picture {
        bool shown = false;  // false: too small (or nothing read), nothing is drawn
        QFont font;
        double low = 0, high = 0;    // the values at the scale's ends
        double left = 0, right = 0;  // the scale's ends
        double top = 0;              // where the limit lines start
        double axisY = 0;
        double markSize = 0;
        std::vector<Placed> labels;   // one per mark
        std::vector<Placed> numbers;  // the scale's numbers, then its unit
        std::vector<double> ticks;
        double x(double value) const { return left + (value - low) / (high - low) * (right - left); }
    };
    Picture pictureAt(QSize size) const;
    // The smallest size at which every mark is shown, whatever the values (up to four digits before
    // the decimal point).
    QSize smallestShown() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    Model m_model;
};
