#include "ui/main/ElidedLabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

QRect ElidedLabel::textArea() const
{
    return contentsRect().adjusted(margin(), margin(), -margin(), -margin());
}

QString ElidedLabel::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, textArea().width());
}

QSize ElidedLabel::minimumSizeHint() const
{
    // A few letters either side of the ellipsis: a long path must not make the window wider.
    const int frame = 2 * (frameWidth() + margin());
    return {fontMetrics().horizontalAdvance(QStringLiteral("MM\u2026MM")) + frame, QLabel::minimumSizeHint().height()};
}

bool ElidedLabel::event(QEvent* event)
{
    // The whole text where part of it is left out; no tooltip repeating what is shown.
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (shownText() != text())
            QToolTip::showText(help->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, textArea(), int(QStyle::visualAlignment(layoutDirection(), alignment())), palette(),
                          isEnabled(), shownText(), foregroundRole());
}
