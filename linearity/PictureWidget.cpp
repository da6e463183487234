#include "linearity/PictureWidget.h"

#include "linearity/ReportWriter.h"

#include <QPainter>

namespace t720::linearity {

PictureWidget::PictureWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureWidget::Take(const PictureModel& model) {
    if (model == shown_) return;
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

    PaintPicture(p, QRectF(rect()), shown_, 1.5, &palette());
}

}  // namespace t720::linearity
