#include "linearity/GridWidget.h"

#include "app/QtText.h"
#include "linearity/WindowActions.h"
#include "link/NumberText.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <array>
#include <vector>

namespace t720::linearity {

namespace {

// Room between a cell's edge and its text, pixels.
constexpr int kTextMargin = 2;

// The widest texts each column holds: its headings and its numbers in the width
// their patterns give a calibrator's divider (readings and sums near 0.1 and 1 V,
// deviations of some ppm). The digit 0 is as wide as any other.
const std::array<std::vector<const char*>, GridModel::kCols> kColumnTexts{{
    {"copy", "R 116"},
    {"1.MW in V", "modMW V", "0.0000000"},
    {"2.MW in V", "0.0000000"},
    {"R Shunt", "  750 kOhm", "  301 KOhm", "2.0 MOhm", "1,0 MOhm"},
    {" 100 ... 90"},
    {"0.0000000", "-00.0 ppm"},
    {"dR ppm", "-000"},
    {"dRS ppm", "-00.0"},
    {"d% ppm", "-00.0"},
    {"d% tst", "-00.0"},
}};

// A column's font is as large as it can be: smaller than the widget's font, or
// narrowed (down to 65 % of its width), whichever keeps it more readable; a glyph's
// height counts for more than its width.
constexpr std::array kStretches{100, 95, 90, 85, 80, 75, 70, 65};
constexpr double kSmallest = 0.5;

double Readability(double points, int stretch) {
    return points * (1.0 + stretch / 100.0) / 2.0;
}

QFont Sized(QFont font, double points, int stretch) {
    font.setPointSizeF(points);
    font.setStretch(stretch);
    return font;
}

int TextWidth(const QFont& font, const QString& text) {
    return QFontMetrics(font).horizontalAdvance(text);
}

}  // namespace

QColor ScreenColour(Colour colour, const QPalette& palette) {
    if (!IsSystemColour(colour)) return QColor::fromRgb(ArgbOf(colour));
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
    setFocusPolicy(Qt::StrongFocus);
    ChooseFonts();
}

bool GridWidget::Take(const GridModel& model, bool now) {
    if (!model.redraw) return false;
    if (model == shown_) return true;
    const bool sameLayout = model.rowHeight == shown_.rowHeight &&
                            model.colWidth == shown_.colWidth &&
                            model.backgroundColour == shown_.backgroundColour;
    const QRegion changed = sameLayout ? Changed(shown_, model) : QRegion(rect());
    shown_ = model;
    if (!sameLayout) ChooseFonts();
    if (now)
        repaint(changed);
    else
        update(changed);
    return true;
}

QRegion GridWidget::Changed(const GridModel& before, const GridModel& after) const {
    QRegion region;
    for (int row = 0; row < GridModel::kRows; ++row)
        for (int col = 0; col < GridModel::kCols; ++col)
            if (!(before.Cell(row, col) == after.Cell(row, col))) region += CellRect(row, col);
    if (before.currentRow != after.currentRow || before.currentCol != after.currentCol) {
        region += CellRect(before.currentRow, before.currentCol);
        region += CellRect(after.currentRow, after.currentCol);
    }
    return region;
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

void GridWidget::ChooseFonts() {
    QFont base = font();
    if (base.pointSizeF() <= 0) base.setPointSizeF(9);
    const double size = base.pointSizeF();
    const int height = CellRect(1, 1).height();
    for (int col = 0; col < GridModel::kCols; ++col) {
        const int room = CellRect(1, col).width() - 2 * kTextMargin;
        // Widths scale with the size and the stretch, nearly: measure only the
        // candidates whose estimate fits.
        int widest = 0;
        for (const char* text : kColumnTexts[static_cast<size_t>(col)])
            widest = std::max(widest, TextWidth(Sized(base, size, 100), QString::fromUtf8(text)));
        const auto fits = [&](const QFont& f) {
            if (widest * f.pointSizeF() / size * f.stretch() / 100.0 > room + 1) return false;
            if (QFontMetrics(f).height() > height) return false;
            for (const char* text : kColumnTexts[static_cast<size_t>(col)])
                if (TextWidth(f, QString::fromUtf8(text)) > room) return false;
            return true;
        };
        std::vector<std::pair<double, int>> candidates;  // points, stretch
        for (double points = size; points >= size * kSmallest; points -= 0.25)
            for (const int stretch : kStretches) candidates.emplace_back(points, stretch);
        std::stable_sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) {
            return Readability(a.first, a.second) > Readability(b.first, b.second);
        });
        QFont chosen = Sized(base, size * kSmallest, kStretches.back());  // a tiny window
        for (const auto& [points, stretch] : candidates)
            if (fits(Sized(base, points, stretch))) {
                chosen = Sized(base, points, stretch);
                break;
            }
        columnFont_[static_cast<size_t>(col)] = chosen;
    }
}

QFont GridWidget::CellFont(int row, int col) const {
    QFont f = ColumnFont(col);
    const QString text = CellText(row, col);
    const int room = CellRect(row, col).width() - 2 * kTextMargin;
    const int needed = TextWidth(f, text);
    // A text beyond the column's widest (an unexpected reading) is drawn smaller
    // rather than cut.
    if (room > 0 && needed > room && f.pointSizeF() > 0) {
        for (double points = f.pointSizeF() * room / needed; points > 2; points -= 0.25) {
            f.setPointSizeF(points);
            if (TextWidth(f, text) <= room) break;
        }
    }
    return f;
}

bool GridWidget::CellTextFits(int row, int col) const {
    const QString text = CellText(row, col);
    return text.isEmpty() ||
           TextWidth(CellFont(row, col), text) <= CellRect(row, col).width() - 2 * kTextMargin;
}

void GridWidget::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRegion dirty = event->region();
    p.setClipRegion(dirty);
    p.fillRect(dirty.boundingRect(), ScreenColour(shown_.backgroundColour, palette()));

    const QColor line = palette().color(QPalette::Mid);
    const QColor fixedLine = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    for (int row = 0; row < GridModel::kRows; ++row) {
        for (int col = 0; col < GridModel::kCols; ++col) {
            const QRect cell = CellRect(row, col);
            if (cell.width() <= 0 || cell.height() <= 0 || !dirty.intersects(cell)) continue;
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
                p.save();
                p.setClipRect(cell.adjusted(0, 0, -1, -1), Qt::IntersectClip);
                p.setPen(CellForeground(row, col));
                p.setFont(CellFont(row, col));
                p.drawText(cell.adjusted(kTextMargin, 0, -kTextMargin, 0),
                           static_cast<int>(CellAlignment(row, col)) | Qt::TextSingleLine, text);
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
    // The keyboard's cursor, while the grid has the focus.
    const QRect cursor = CellRect(cursorRow_, cursorCol_);
    if (hasFocus() && cursor.isValid()) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.drawRect(cursor.adjusted(1, 1, -1, -1));
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

bool GridWidget::event(QEvent* event) {
    // The context-menu key arrives as a context menu of the keyboard (from the
    // window system) or as the key itself; the menu opens once.
    if (event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        MenuOnCursor();
        return true;
    }
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        update(CellRect(cursorRow_, cursorCol_));
    return QWidget::event(event);
}

void GridWidget::keyPressEvent(QKeyEvent* event) {
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (key == Qt::Key_Menu || (key == Qt::Key_F10 && mods == Qt::ShiftModifier)) {
        MenuOnCursor();
        return;
    }
    // Where each key moves the cursor: rows and columns by one, Home and End to the
    // first and last column, Page Up and Page Down to the first and last row.
    const int last = GridModel::kRows - 1, right = GridModel::kCols - 1;
    const int r = cursorRow_, c = cursorCol_;
    const std::array<std::array<int, 3>, 8> moves{{{Qt::Key_Up, r - 1, c},
                                                   {Qt::Key_Down, r + 1, c},
                                                   {Qt::Key_Left, r, c - 1},
                                                   {Qt::Key_Right, r, c + 1},
                                                   {Qt::Key_Home, r, 0},
                                                   {Qt::Key_End, r, right},
                                                   {Qt::Key_PageUp, 0, c},
                                                   {Qt::Key_PageDown, last, c}}};
    for (const auto& [moveKey, row, col] : moves)
        if (key == moveKey && mods == Qt::NoModifier) {
            MoveCursor(row, col);
            return;
        }
    QWidget::keyPressEvent(event);
}

void GridWidget::MoveCursor(int row, int col) {
    row = std::clamp(row, 0, GridModel::kRows - 1);
    col = std::clamp(col, 0, GridModel::kCols - 1);
    update(CellRect(cursorRow_, cursorCol_));
    cursorRow_ = row;
    cursorCol_ = col;
    update(CellRect(row, col));
    // What a screen reader says of the cell: its headings and its text.
    const QString rowName = row > 0 ? CellText(row, 0) : QStringLiteral("heading");
    const QString colName =
        col > 0 && !CellText(0, col).isEmpty() ? CellText(0, col) : QString::number(col);
    setAccessibleDescription(
        QStringLiteral("%1, %2: %3").arg(rowName, colName, CellText(row, col).trimmed()));
}

void GridWidget::MenuOnCursor() {
    const QRect cell = CellRect(cursorRow_, cursorCol_);
    if (!cell.isValid()) return;
    // The centre of the cell in the model's twips, where a mouse would be.
    const QPointF centre = QRectF(cell).center();
    const double x = centre.x() / ScaleX() * 1440.0 / logicalDpiX();
    const double y = centre.y() / ScaleY() * 1440.0 / logicalDpiY();
    emit buttonPressed(kRightButton, x, y, mapToGlobal(cell.bottomLeft()));
}

void GridWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ChooseFonts();
}

void GridWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) ChooseFonts();
    QWidget::changeEvent(event);
}

}  // namespace t720::linearity
