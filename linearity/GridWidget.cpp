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
// A text is shrunk to fit its cell down to this share of the grid's font size;
// down to the first share it stays on one line, beyond it a text with blanks is
// broken into lines if they fit the cell's height.
constexpr double kSlightlySmaller = 0.85;
constexpr double kSmallestText = 0.7;

QFont Scaled(QFont font, double factor) {
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * factor);
    else
        font.setPixelSize(std::max(1, int(font.pixelSize() * factor)));
    return font;
}

// Whether `text`, broken at blanks, fits `room` in `font`.
bool FitsWrapped(const QFont& font, const QRect& room, const QString& text) {
    const QRect needed = QFontMetrics(font).boundingRect(QRect(0, 0, room.width(), 100000),
                                                         Qt::TextWordWrap | Qt::AlignCenter, text);
    return needed.width() <= room.width() && needed.height() <= room.height();
}

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

GridWidget::TextLayout GridWidget::LayOut(int row, int col) const {
    const QString text = CellText(row, col);
    const QRect inner = CellRect(row, col).adjusted(kTextMargin, 0, -kTextMargin, 0);
    const int align = static_cast<int>(CellAlignment(row, col));
    TextLayout layout{font(), align | Qt::TextSingleLine, text, true};
    const int needed = fontMetrics().horizontalAdvance(text);
    if (needed <= inner.width() || inner.width() <= 0) return layout;
    // A text wider than its column is drawn a little smaller, or on two lines, or
    // smaller still, rather than cut.
    const double factor = double(inner.width()) / needed;
    const QString words = text.trimmed();
    if (factor < kSlightlySmaller && words.contains(u' ')) {
        for (const double size : {1.0, kSlightlySmaller}) {
            const QFont f = Scaled(font(), size);
            if (FitsWrapped(f, inner, words)) return {f, align | Qt::TextWordWrap, words, true};
        }
    }
    // A font's size moves in whole pixels: shrink until it fits, or as far as allowed.
    for (double f = std::max(kSmallestText, factor);; f = std::max(kSmallestText, f - 0.03)) {
        layout.font = Scaled(font(), f);
        layout.fits = QFontMetrics(layout.font).horizontalAdvance(text) <= inner.width();
        if (layout.fits || f <= kSmallestText) return layout;
    }
}

bool GridWidget::CellTextFits(int row, int col) const {
    return CellText(row, col).isEmpty() || LayOut(row, col).fits;
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

            if (!CellText(row, col).isEmpty()) {
                p.setPen(CellForeground(row, col));
                const QRect inner = cell.adjusted(kTextMargin, 0, -kTextMargin, 0);
                p.save();
                p.setClipRect(cell.adjusted(0, 0, -1, -1));
                const TextLayout layout = LayOut(row, col);
                p.setFont(layout.font);
                p.drawText(inner, layout.flags, layout.text);
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
