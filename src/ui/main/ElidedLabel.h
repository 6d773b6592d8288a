#pragma once
// A label for a text that may be longer than the room it gets (the configured object's path in the
// status bar): what does not fit is left out in the middle, where a path is least telling, and the
// whole text is the label's tooltip. text() and the accessible name stay the whole text.
#include <QLabel>

class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;

    // The text as drawn at the label's present width.
    QString shownText() const;

    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QRect textArea() const;
};
