// The grid `Results` on screen: paints a GridModel cell by cell (texts, colours,
// alignment, row heights and column widths in twips) and reports mouse buttons in
// the grid's own coordinates (twips from its top left corner).
#pragma once

#include "linearity/ResultsControls.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRect>
#include <QSize>
#include <QSizeF>
#include <QWidget>

namespace t720::linearity {

// A model colour as the screen shows it: system colours from the palette (window
// background → Base, window text → Text, button face → Button, application
// workspace → Mid, 3-D light → Light), plain ones as they are.
QColor ScreenColour(Colour colour, const QPalette& palette);

class GridWidget final : public QWidget {
    Q_OBJECT
  public:
    explicit GridWidget(QWidget* parent = nullptr);

    // Takes the model for painting, unless its painting is switched off: then the
    // grid keeps showing what it showed before. Returns whether it was taken.
    bool Take(const GridModel& model);

    // The widget's size, in twips, as the model's outer size takes it.
    QSizeF SizeInTwips() const;
    // The size (pixels) for which the grid was laid out; a widget resized later
    // stretches the layout to its new size. An invalid size means no stretching.
    void SetLayoutSize(QSize pixels) { layoutSize_ = pixels; }
    // Twips of the model's vertical lengths to pixels on screen (stretch included).
    double TwipsToPixelsY(double twips) const;

    // What is painted, for the window's tests.
    QString CellText(int row, int col) const;
    QColor CellBackground(int row, int col) const;
    QColor CellForeground(int row, int col) const;
    Qt::Alignment CellAlignment(int row, int col) const;
    QRect CellRect(int row, int col) const;
    // Whether the cell's text is shown whole (smaller or on two lines if need be).
    bool CellTextFits(int row, int col) const;
    const GridModel& Shown() const { return shown_; }

  signals:
    // button: 1 left, 2 right; x, y in twips; global: where a pop-up menu goes.
    void buttonPressed(int button, double x, double y, QPoint global);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    struct TextLayout {
        QFont font;
        int flags;
        QString text;
        bool fits;
    };
    // How a cell's text is drawn in its cell.
    TextLayout LayOut(int row, int col) const;
    double ScaleX() const;
    double ScaleY() const;
    double ColumnLeft(int col) const;  // pixels, fractional
    double RowTop(int row) const;
    static bool Fixed(int row, int col) { return row == 0 || col == 0; }

    GridModel shown_;
    QSize layoutSize_;
};

}  // namespace t720::linearity
