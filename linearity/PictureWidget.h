// A picture box on screen: paints a PictureModel's lines and circles on its user
// scale, which maps the whole widget (x from scaleLeft across, y from scaleTop
// down). Circles stay round: their radius is measured on the horizontal scale.
#pragma once

#include "linearity/ResultsControls.h"

#include <QPointF>
#include <QWidget>

namespace t720::linearity {

class PictureWidget final : public QWidget {
    Q_OBJECT
  public:
    explicit PictureWidget(QWidget* parent = nullptr);

    void Take(const PictureModel& model);
    const PictureModel& Shown() const { return shown_; }
    // A point of the user scale in widget pixels.
    QPointF ToPixels(double x, double y) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    PictureModel shown_;
};

}  // namespace t720::linearity
