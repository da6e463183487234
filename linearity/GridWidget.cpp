#include "linearity/GridWidget.h"

#include "linearity/WindowActions.h"
#include "link/NumberText.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace t720::linearity {

namespace {

QString Text(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Room between a cell's edge and its text, pixels.
constexpr int kTextMargin = 2;
// A text is shrunk to fit its cell down to this share of the grid's font size.
constexpr double kSmallestText = 0.7;

}  // namespace

QColor ScreenColour(Colour colour, const QPalette& palette) {
    if (!IsSystemColour(colour)) return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour));
    switch (colour) {
        case kSysWindowBackground:
            return palette.color(QPalette::Base);
        case kSysWindowText:
            return palette.color(QPalette::Text);
        case kSysButtonFace:
            return palette.color(QPalette::Button);
        case kSysAppWorkspace:
            return palette.color(QPalette::Mid);
        case kSys3DLight:
            return palette.color(QPalette::Light);
        default:
            return palette.color(QPalette::Window);
    }
}

GridWidget::GridWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
}

bool GridWidget::Take(const GridModel& model) {
    if (!model.redraw) return false;
    shown_ = model;
    update();
    return true;
}

QSizeF GridWidget::SizeInTwips() const {
    return {width() * 1440.0 / logicalDpiX(), height() * 1440.0 / logicalDpiY()};
}

double GridWidget::ScaleX() const {
    return layoutSize_.width() > 0 ? static_cast<double>(width()) / layoutSize_.width() : 1.0;
}

double GridWidget::ScaleY() const {
    return layoutSize_.height() > 0 ? static_cast<double>(height()) / layoutSize_.height() : 1.0;
}

double GridWidget::TwipsToPixelsY(double twips) const {
    return twips * logicalDpiY() / 1440.0 * ScaleY();
}

double GridWidget::ColumnLeft(int col) const {
    double twips = 0;
    for (int c = 0; c < col; ++c) twips += std::max(0, shown_.colWidth[c]);
    return twips * logicalDpiX() / 1440.0 * ScaleX();
}

double GridWidget::RowTop(int row) const {
    double twips = 0;
    for (int r = 0; r < row; ++r) twips += std::max(0, shown_.rowHeight[r]);
    return TwipsToPixelsY(twips);
}

QRect GridWidget::CellRect(int row, int col) const {
    if (row < 0 || row >= GridModel::kRows || col < 0 || col >= GridModel::kCols) return {};
    const int left = qRound(ColumnLeft(col));
    const int right = qRound(ColumnLeft(col + 1));
    const int top = qRound(RowTop(row));
    const int bottom = qRound(RowTop(row + 1));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

QString GridWidget::CellText(int row, int col) const {
    return Text(shown_.Cell(row, col).text);
}

QColor GridWidget::CellBackground(int row, int col) const {
    Colour back = shown_.Cell(row, col).backColour;
    // Heading cells left at the plain window background look like headings.
    if (Fixed(row, col) && back == kSysWindowBackground) back = kSysButtonFace;
    return ScreenColour(back, palette());
}

QColor GridWidget::CellForeground(int row, int col) const {
    return ScreenColour(shown_.Cell(row, col).foreColour, palette());
}

Qt::Alignment GridWidget::CellAlignment(int row, int col) const {
    switch (ResolveAlignment(shown_.Cell(row, col), LocaleDecimalSeparator())) {
        case Align::Centre:
            return Qt::AlignCenter;
        case Align::Right:
            return Qt::AlignRight | Qt::AlignVCenter;
        case Align::Left:
        case Align::General:
            break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

void GridWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), ScreenColour(shown_.backgroundColour, palette()));

    const QColor line = palette().color(QPalette::Mid);
    const QColor fixedLine = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    for (int row = 0; row < GridModel::kRows; ++row) {
        for (int col = 0; col < GridModel::kCols; ++col) {
            const QRect cell = CellRect(row, col);
            if (cell.width() <= 0 || cell.height() <= 0) continue;
            p.fillRect(cell, CellBackground(row, col));
            if (Fixed(row, col)) {
                // Raised like the heading cells of a grid control.
                p.setPen(light);
                p.drawLine(cell.topLeft(), cell.topRight());
                p.drawLine(cell.topLeft(), cell.bottomLeft());
            }
            p.setPen(Fixed(row, col) ? fixedLine : line);
            p.drawLine(cell.topRight(), cell.bottomRight());
            p.drawLine(cell.bottomLeft(), cell.bottomRight());

            const QString text = CellText(row, col);
            if (!text.isEmpty()) {
                p.setPen(CellForeground(row, col));
                const QRect inner = cell.adjusted(kTextMargin, 0, -kTextMargin, 0);
                p.save();
                p.setClipRect(cell.adjusted(0, 0, -1, -1));
                // A text wider than its column is drawn smaller rather than cut.
                const int needed = fontMetrics().horizontalAdvance(text);
                if (needed > inner.width() && inner.width() > 0) {
                    QFont small = font();
                    const double factor = std::max(kSmallestText, double(inner.width()) / needed);
                    if (small.pointSizeF() > 0)
                        small.setPointSizeF(small.pointSizeF() * factor);
                    else
                        small.setPixelSize(std::max(1, int(small.pixelSize() * factor)));
                    p.setFont(small);
                }
                p.drawText(inner, static_cast<int>(CellAlignment(row, col)) | Qt::TextSingleLine,
                           text);
                p.restore();
            }
        }
    }

    // The current cell, marked without hiding its colours.
    const QRect current = CellRect(shown_.currentRow, shown_.currentCol);
    if (!Fixed(shown_.currentRow, shown_.currentCol) && current.isValid()) {
        QPen pen(palette().color(QPalette::Text));
        pen.setStyle(Qt::DotLine);
        p.setPen(pen);
        p.drawRect(current.adjusted(1, 1, -2, -2));
    }
}

void GridWidget::mousePressEvent(QMouseEvent* event) {
    int button = 0;
    if (event->button() == Qt::LeftButton) button = kLeftButton;
    if (event->button() == Qt::RightButton) button = kRightButton;
    if (button == 0) return;
    const QPointF pos = event->position();
    const double x = pos.x() / ScaleX() * 1440.0 / logicalDpiX();
    const double y = pos.y() / ScaleY() * 1440.0 / logicalDpiY();
    emit buttonPressed(button, x, y, event->globalPosition().toPoint());
}

}  // namespace t720::linearity
