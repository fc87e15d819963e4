#include "main/widgets/RatingControl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {
constexpr int kStars = 5;
constexpr int kStarSize = 20;
}

RatingControl::RatingControl(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setToolTip(tr("Rate the device app"));
}

QSize RatingControl::sizeHint() const {
    return {kStars * (kStarSize + 2), kStarSize + 4};
}

void RatingControl::setIntValue(int stars) {
    value = std::clamp(stars, 0, kStars);
    update();
}

int RatingControl::starAt(int x) const {
    return std::clamp(x / (kStarSize + 2) + 1, 1, kStars);
}

void RatingControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int star = 0; star < kStars; ++star) {
        QPainterPath path;
        const QPointF centre(star * (kStarSize + 2) + kStarSize / 2.0, height() / 2.0);
        for (int point = 0; point < 10; ++point) {
            const double radius = point % 2 == 0 ? kStarSize / 2.0 : kStarSize / 4.5;
            const double angle = -M_PI / 2 + point * M_PI / 5;
            const QPointF at = centre + QPointF(std::cos(angle) * radius, std::sin(angle) * radius);
            point == 0 ? path.moveTo(at) : path.lineTo(at);
        }
        path.closeSubpath();
        painter.setPen(palette().color(QPalette::WindowText));
        painter.setBrush(star < value ? QColor(0xf5, 0xb3, 0x01) : palette().color(QPalette::Base));
        painter.drawPath(path);
    }
}

void RatingControl::mouseReleaseEvent(QMouseEvent* event) {
    setIntValue(starAt(static_cast<int>(event->position().x())));
    emit clicked(value);
}

void RatingControl::keyPressEvent(QKeyEvent* event) {
    if (event->key() >= Qt::Key_1 && event->key() <= Qt::Key_5) {
        setIntValue(event->key() - Qt::Key_0);
        emit clicked(value);
        return;
    }
    QWidget::keyPressEvent(event);
}
