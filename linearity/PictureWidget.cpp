#include "linearity/PictureWidget.h"

#include "linearity/GridWidget.h"

#include <QPainter>
#include <cmath>

namespace t720::linearity {

PictureWidget::PictureWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureWidget::Take(const PictureModel& model) {
    shown_ = model;
    update();
}

QPointF PictureWidget::ToPixels(double x, double y) const {
    const double w = shown_.scaleWidth != 0.0 ? shown_.scaleWidth : 1.0;
    const double h = shown_.scaleHeight != 0.0 ? shown_.scaleHeight : 1.0;
    return {(x - shown_.scaleLeft) / w * width(), (y - shown_.scaleTop) / h * height()};
}

void PictureWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(rect().adjusted(0, 0, -1, -1));

    p.setRenderHint(QPainter::Antialiasing);
    p.setClipRect(rect().adjusted(1, 1, -1, -1));
    p.setBrush(Qt::NoBrush);
    const double unitsAcross = shown_.scaleWidth != 0.0 ? std::fabs(shown_.scaleWidth) : 1.0;
    for (const PlotPrimitive& primitive : shown_.primitives) {
        if (const auto* line = std::get_if<PlotLine>(&primitive)) {
            p.setPen(QPen(ScreenColour(line->colour, palette()), 1.5));
            p.drawLine(ToPixels(line->x1, line->y1), ToPixels(line->x2, line->y2));
        } else if (const auto* circle = std::get_if<PlotCircle>(&primitive)) {
            p.setPen(QPen(ScreenColour(circle->colour, palette()), 1.5));
            const double r = circle->r / unitsAcross * width();
            p.drawEllipse(ToPixels(circle->x, circle->y), r, r);
        }
    }
}

}  // namespace t720::linearity
