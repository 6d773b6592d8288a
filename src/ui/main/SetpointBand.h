#pragma once
// The set-point band under the Heating - Cooling frames: one temperature scale in the display units
// with the four set points as marks, the heating maximum and cooling minimum limits as lines, and the
// occupied dead band (occupied heating to occupied cooling) as a band. It shows the texts of the fields
// as they are typed; a set point the configuration model judges out of its range, or part of a rule
// between the set points that the values break, is marked as such. A field that holds no number (not
// read) has no mark. It only shows: every value is still read from and typed into the fields.
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

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    Model m_model;
};
