// The grid `Results` on screen: paints a GridModel cell by cell (texts, colours,
// alignment, row heights and column widths in twips) and reports mouse buttons in
// the grid's own coordinates (twips from its top left corner). Each column has one
// font, chosen from the column's size for the widest texts it holds, so that every
// cell of a column looks alike; only the cells that changed are painted again.
// From the keyboard: the arrow keys (Home, End, Page Up, Page Down) move a cell
// cursor, and the context-menu key or Shift+F10 on a cell is the right button there.
#pragma once

#include "linearity/ResultsControls.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QSizeF>
#include <QWidget>
#include <array>

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
    // grid keeps showing what it showed before. Returns whether it was taken. Only
    // the cells that changed are painted again: later, or `now`.
    bool Take(const GridModel& model, bool now = false);

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
    // The font a cell's text is painted in: its column's, unless the text is wider
    // than anything the column was sized for.
    QFont CellFont(int row, int col) const;
    QFont ColumnFont(int col) const { return columnFont_.at(static_cast<size_t>(col)); }
    // Whether the cell's text is shown whole, on one line, in its font.
    bool CellTextFits(int row, int col) const;
    // The keyboard's cell cursor.
    int CursorRow() const { return cursorRow_; }
    int CursorCol() const { return cursorCol_; }
    const GridModel& Shown() const { return shown_; }

  signals:
    // button: 1 left, 2 right; x, y in twips; global: where a pop-up menu goes.
    void buttonPressed(int button, double x, double y, QPoint global);

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // One font per column, for the column's widths and the texts it may hold.
    void ChooseFonts();
    // The cells whose look differs between two models of the same layout.
    QRegion Changed(const GridModel& before, const GridModel& after) const;
    void MoveCursor(int row, int col);
    // The right button on the cursor's cell, as the keyboard gives it.
    void MenuOnCursor();
    double ScaleX() const;
    double ScaleY() const;
    double ColumnLeft(int col) const;  // pixels, fractional
    double RowTop(int row) const;
    static bool Fixed(int row, int col) { return row == 0 || col == 0; }

    GridModel shown_;
    QSize layoutSize_;
    std::array<QFont, GridModel::kCols> columnFont_;
    int cursorRow_ = 0;
    int cursorCol_ = 0;
};

}  // namespace t720::linearity
