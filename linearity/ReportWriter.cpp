#include "linearity/ReportWriter.h"

#include "app/PrivateFiles.h"
#include "app/QtText.h"
#include "linearity/RunHistory.h"
#include "link/NumberText.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPalette>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <cmath>
#include <functional>
#include <vector>

namespace t720::linearity {

namespace {

// A model colour on paper: system colours as a light desktop theme shows them.
QColor PrintColour(Colour c, const QPalette* palette, bool background) {
    if (!IsSystemColour(c)) return QColor::fromRgb(ArgbOf(c));
    if (palette) {
        switch (c) {
            case kSysWindowBackground:
                return palette->color(QPalette::Base);
            case kSysWindowText:
                return palette->color(QPalette::Text);
            case kSysButtonFace:
                return palette->color(QPalette::Button);
            default:
                return palette->color(background ? QPalette::Window : QPalette::WindowText);
        }
    }
    switch (c) {
        case kSysButtonFace:
            return QColor(0xEE, 0xEE, 0xEE);
        case kSysAppWorkspace:
            return QColor(0xC0, 0xC0, 0xC0);
        default:
            return background ? QColor(Qt::white) : QColor(Qt::black);
    }
}

QFont Font(const char* family, double points, bool bold = false) {
    QFont f(QString::fromLatin1(family));
    f.setStyleHint(QString::fromLatin1(family).contains("Mono") ? QFont::Monospace
                                                                  : QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

struct Fonts {
    QFont title = Font("DejaVu Sans", 15, true);
    QFont heading = Font("DejaVu Sans", 10.5, true);
    QFont body = Font("DejaVu Sans", 9);
    QFont small = Font("DejaVu Sans", 7.5);
    QFont grid = Font("DejaVu Sans", 7);
    QFont mono = Font("DejaVu Sans Mono", 7.5);
};

// A text that does not fit `width` is drawn smaller, down to 70 %.
QFont Fitted(QFont font, const QString& text, double width, QPaintDevice* device) {
    const double needed = QFontMetricsF(font, device).horizontalAdvance(text);
    if (needed > width && needed > 0)
        font.setPointSizeF(font.pointSizeF() * std::max(0.7, width / needed));
    return font;
}

// The run's plot as a figure: the percent of each tap at the left, the picture
// in a frame, the smallest and largest deviation below it (as the window's
// labels). `unit` is one point in the painter's units.
void PaintFigure(QPainter& p, const QRectF& box, const ReportRun& run, const Fonts& fonts,
                 double unit) {
    const PictureModel& pic = run.state.controls.Picture1;
    p.save();
    p.setFont(fonts.small);
    const QFontMetricsF fm(fonts.small, p.device());
    const double labels = fm.horizontalAdvance(QStringLiteral("100 %")) + 4 * unit;
    const double captions = fm.height() + 2 * unit;
    const QRectF area(box.left() + labels, box.top(), box.width() - labels,
                      box.height() - captions);
    p.fillRect(area, Qt::white);
    p.setPen(QPen(QColor(0x90, 0x90, 0x90), 0.5 * unit));
    p.drawRect(area);
    const double h = pic.scaleHeight != 0.0 ? pic.scaleHeight : 1.0;
    p.setPen(Qt::black);
    for (int k = 0; k <= 10; ++k) {
        const double y = area.top() + ((10 - k) - pic.scaleTop) / h * area.height();
        p.drawText(QRectF(box.left(), y - fm.height() / 2, labels - 3 * unit, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, QString::number(10 * k) + " %");
    }
    p.setFont(fonts.body);
    PaintPicture(p, area, pic, 0.9 * unit);
    p.setFont(fonts.small);
    const QRectF below(area.left(), area.bottom() + 2 * unit, area.width(), fm.height());
    p.drawText(below, Qt::AlignLeft | Qt::AlignVCenter,
               "min " + Text(run.state.controls.minppm.caption) + " ppm");
    p.drawText(below, Qt::AlignRight | Qt::AlignVCenter,
               "max " + Text(run.state.controls.maxppm.caption) + " ppm");
    p.drawText(below, Qt::AlignHCenter | Qt::AlignVCenter,
               QStringLiteral("linearity deviation, ppm of the total"));
    p.restore();
}

// ------------------------------------------------------------------ the PDF

// A piece of a page: its height, and how to draw it with its top at y.
struct Block {
    double height = 0;
    std::function<void(QPainter&, double top)> draw;
    bool newPage = false;
};

class ReportLayout {
  public:
    ReportLayout(QPdfWriter& writer, const ReportContent& report)
        : writer_(writer), report_(report), u_(writer.resolution() / 72.0) {
        left_ = 42 * u_;
        width_ = writer.width() - 2 * left_;
        top_ = 40 * u_;
        bottom_ = writer.height() - 48 * u_;
    }

    std::vector<Block> Blocks() {
        std::vector<Block> b;
        const ReportRun& run = report_.run;
        const bool compared = report_.asFound.has_value();
        Title(b, compared ? "T720 linearity report: as found, as left" : "T720 linearity report");
        Fields(b, {{"Calibrator serial number", run.record.serialNumber},
                   {"Identification", run.record.identification},
                   {compared ? "Run (as left)" : "Run", When(run.record.utcTime)},
                   {"Record", QFileInfo(run.recordPath).fileName().toStdString()},
                   {"Recorded by", "t720 " + Or(run.record.programVersion)},
                   {"DMM port", Or(run.record.dmmPort)},
                   {"DMM", Or(report_.dmm)},
                   {"Operator", Or(report_.operatorName)},
                   {"Report made", When(report_.madeUtc) + ", t720 " + report_.programVersion}});
        if (!report_.note.empty()) Paragraph(b, "Note", report_.note);
        Heading(b, "Readings and deviations");
        Grid(b, run.state.controls.Results);
        Heading(b, compared ? "Linearity, as found and as left" : "Linearity");
        Figure(b, run);
        Heading(b, "Shunt optimisation");
        Lines(b, run.summary, fonts_.mono);
        Heading(b, "Shunts chosen");
        Lines(b, run.shunts.empty() ? std::vector<std::string>{"none"} : run.shunts, fonts_.body);
        if (compared) {
            const ReportRun& found = *report_.asFound;
            Title(b, "As found", true);
            Fields(b, {{"Calibrator serial number", found.record.serialNumber},
                       {"Run (as found)", When(found.record.utcTime)},
                       {"Record", QFileInfo(found.recordPath).fileName().toStdString()},
                       {"Recorded by", "t720 " + Or(found.record.programVersion)}});
            Heading(b, "Readings and deviations, as found");
            Grid(b, found.state.controls.Results);
            Heading(b, "Linearity, as found");
            Figure(b, found);
            Heading(b, "As found and as left compared, ppm");
            if (report_.comparison) ComparisonTable(b, *report_.comparison);
        }
        return b;
    }

    // Places the blocks on pages; returns the page of each block.
    std::vector<int> Paginate(const std::vector<Block>& blocks, int& pages) const {
        std::vector<int> page;
        double y = top_;
        pages = 1;
        for (const Block& b : blocks) {
            if ((b.newPage && y > top_) || (y + b.height > bottom_ && y > top_)) {
                ++pages;
                y = top_;
            }
            page.push_back(pages);
            y += b.height;
        }
        return page;
    }

    std::string Draw(QPainter& p) {
        const std::vector<Block> blocks = Blocks();
        int pages = 1;
        const std::vector<int> page = Paginate(blocks, pages);
        int current = 1;
        double y = top_;
        Footer(p, current, pages);
        for (size_t i = 0; i < blocks.size(); ++i) {
            if (page[i] != current) {
                if (!writer_.newPage()) return "cannot start page " + std::to_string(page[i]);
                current = page[i];
                y = top_;
                Footer(p, current, pages);
            }
            blocks[i].draw(p, y);
            y += blocks[i].height;
        }
        return {};
    }

  private:
    static std::string Or(const std::string& text) { return text.empty() ? "-" : text; }

    static std::string When(const std::string& utc) {
        const std::string local = LocalTimeText(utc);
        if (local.empty()) return Or(utc);
        return local + " (UTC " + utc + ")";
    }

    double LineHeight(const QFont& f) const { return QFontMetricsF(f, &writer_).height(); }

    void Title(std::vector<Block>& b, const std::string& text, bool newPage = false) {
        const double h = LineHeight(fonts_.title) + 8 * u_;
        b.push_back({h,
                     [this, text](QPainter& p, double y) {
                         p.setFont(fonts_.title);
                         p.setPen(Qt::black);
                         p.drawText(QRectF(left_, y, width_, LineHeight(fonts_.title)),
                                    Qt::AlignLeft | Qt::AlignVCenter, Text(text));
                     },
                     newPage});
    }

    void Heading(std::vector<Block>& b, const std::string& text) {
        const double h = LineHeight(fonts_.heading) + 8 * u_;
        b.push_back({h, [this, text](QPainter& p, double y) {
                         p.setFont(fonts_.heading);
                         p.setPen(Qt::black);
                         p.drawText(QRectF(left_, y + 6 * u_, width_, LineHeight(fonts_.heading)),
                                    Qt::AlignLeft | Qt::AlignVCenter, Text(text));
                     }});
    }

    void Fields(std::vector<Block>& b, std::vector<std::pair<std::string, std::string>> fields) {
        const double line = LineHeight(fonts_.body) + 1.5 * u_;
        b.push_back({line * fields.size() + 4 * u_, [this, fields, line](QPainter& p, double y) {
                         p.setFont(fonts_.body);
                         p.setPen(Qt::black);
                         const double labels = 130 * u_;
                         const QFontMetricsF fm(fonts_.body, &writer_);
                         for (const auto& [label, value] : fields) {
                             p.drawText(QRectF(left_, y, labels, line),
                                        Qt::AlignLeft | Qt::AlignVCenter, Text(label) + ":");
                             p.drawText(QRectF(left_ + labels, y, width_ - labels, line),
                                        Qt::AlignLeft | Qt::AlignVCenter,
                                        fm.elidedText(Text(value), Qt::ElideRight,
                                                      width_ - labels));
                             y += line;
                         }
                     }});
    }

    void Paragraph(std::vector<Block>& b, const std::string& label, const std::string& text) {
        const double labels = 130 * u_;
        const QRectF room(0, 0, width_ - labels, 1e9);
        const double h =
            QFontMetricsF(fonts_.body, &writer_)
                .boundingRect(room, Qt::TextWordWrap | Qt::AlignLeft, Text(text))
                .height();
        b.push_back({h + 4 * u_, [this, label, text, labels, h](QPainter& p, double y) {
                         p.setFont(fonts_.body);
                         p.setPen(Qt::black);
                         p.drawText(QRectF(left_, y, labels, LineHeight(fonts_.body)),
                                    Qt::AlignLeft | Qt::AlignTop, Text(label) + ":");
                         p.drawText(QRectF(left_ + labels, y, width_ - labels, h),
                                    Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, Text(text));
                     }});
    }

    // The grid with the window's texts, colours and alignment. Columns 0 and 4
    // (names and intervals) narrower, the rest alike.
    void Grid(std::vector<Block>& b, const GridModel& grid) {
        const double row = LineHeight(fonts_.grid) + 2.5 * u_;
        b.push_back({row * GridModel::kRows + 2 * u_, [this, grid, row](QPainter& p, double y) {
                         static constexpr double kShare[GridModel::kCols] = {
                             0.07, 0.104, 0.104, 0.104, 0.10, 0.104, 0.104, 0.104, 0.104, 0.104};
                         const std::string separator = LocaleDecimalSeparator();
                         p.setPen(Qt::black);
                         double top = y;
                         for (int r = 0; r < GridModel::kRows; ++r, top += row) {
                             double x = left_;
                             for (int c = 0; c < GridModel::kCols; ++c) {
                                 const double w = kShare[c] * width_;
                                 const QRectF cell(x, top, w, row);
                                 x += w;
                                 const GridCell& g = grid.Cell(r, c);
                                 Colour back = g.backColour;
                                 if ((r == 0 || c == 0) && back == kSysWindowBackground)
                                     back = kSysButtonFace;
                                 p.fillRect(cell, PrintColour(back, nullptr, true));
                                 p.setPen(QPen(QColor(0xA0, 0xA0, 0xA0), 0.4 * u_));
                                 p.drawRect(cell);
                                 if (g.text.empty()) continue;
                                 const QString text = Text(g.text);
                                 const QRectF inner = cell.adjusted(2 * u_, 0, -2 * u_, 0);
                                 int align = Qt::AlignLeft | Qt::AlignVCenter;
                                 switch (ResolveAlignment(g, separator)) {
                                     case Align::Right:
                                         align = Qt::AlignRight | Qt::AlignVCenter;
                                         break;
                                     case Align::Centre:
                                         align = Qt::AlignCenter;
                                         break;
                                     default:
                                         break;
                                 }
                                 p.setFont(Fitted(fonts_.grid, text, inner.width(), &writer_));
                                 p.setPen(PrintColour(g.foreColour, nullptr, false));
                                 p.drawText(inner, align, text);
                             }
                         }
                     }});
    }

    void Figure(std::vector<Block>& b, const ReportRun& run) {
        const double h = 215 * u_;
        b.push_back({h + 4 * u_, [this, &run, h](QPainter& p, double y) {
                         PaintFigure(p, QRectF(left_, y, width_, h), run, fonts_, u_);
                     }});
    }

    void Lines(std::vector<Block>& b, const auto& lines, const QFont& font) {
        std::vector<std::string> copy(lines.begin(), lines.end());
        const double line = LineHeight(font) + 1 * u_;
        b.push_back({line * copy.size() + 2 * u_, [this, copy, line, font](QPainter& p, double y) {
                         p.setFont(font);
                         p.setPen(Qt::black);
                         for (const std::string& text : copy) {
                             p.drawText(QRectF(left_, y, width_, line),
                                        Qt::AlignLeft | Qt::AlignVCenter, Text(text));
                             y += line;
                         }
                     }});
    }

    void ComparisonTable(std::vector<Block>& b, const Comparison& comparison) {
        const double row = LineHeight(fonts_.body) + 3 * u_;
        b.push_back({row * 12 + 4 * u_, [this, comparison, row](QPainter& p, double y) {
                         static constexpr const char* kHeads[] = {"Tap", "as found", "as left",
                                                                  "difference"};
                         const double w = 95 * u_;
                         p.setFont(fonts_.heading);
                         p.setPen(Qt::black);
                         for (int c = 0; c < 4; ++c)
                             p.drawText(QRectF(left_ + c * w, y, w - 6 * u_, row),
                                        Qt::AlignRight | Qt::AlignVCenter, kHeads[c]);
                         p.setPen(QPen(QColor(0x90, 0x90, 0x90), 0.5 * u_));
                         p.drawLine(QPointF(left_, y + row), QPointF(left_ + 4 * w, y + row));
                         p.setFont(fonts_.body);
                         p.setPen(Qt::black);
                         for (int i = 10; i >= 0; --i) {
                             y += row;
                             const TapComparison& t = comparison[i];
                             const QString cells[] = {
                                 QString::number(t.percent) + " %",
                                 Text(FormatLocal(t.asFound, "#0.0")),
                                 Text(FormatLocal(t.asLeft, "#0.0")),
                                 Text(FormatLocal(t.difference, "#0.0"))};
                             for (int c = 0; c < 4; ++c)
                                 p.drawText(QRectF(left_ + c * w, y, w - 6 * u_, row),
                                            Qt::AlignRight | Qt::AlignVCenter, cells[c]);
                         }
                     }});
    }

    void Footer(QPainter& p, int page, int pages) {
        p.save();
        p.setFont(fonts_.small);
        p.setPen(Qt::black);
        const double h = LineHeight(fonts_.small);
        const QRectF line(left_, writer_.height() - 30 * u_, width_, h);
        p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                   Text("T720 " + report_.run.record.serialNumber + ", " +
                        QFileInfo(report_.run.recordPath).fileName().toStdString()));
        p.drawText(line, Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("page %1 of %2").arg(page).arg(pages));
        p.restore();
    }

    QPdfWriter& writer_;
    const ReportContent& report_;
    Fonts fonts_;
    double u_;  // one point in device units
    double left_ = 0, width_ = 0, top_ = 0, bottom_ = 0;
};

// The folder of a file to be written: "" when it can take the file.
std::string FolderOf(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    const QFileInfo info(folder);
    if (!info.isDir()) return "the folder " + QDir::toNativeSeparators(folder).toStdString() +
                              " is not there";
    if (!info.isWritable())
        return "the folder " + QDir::toNativeSeparators(folder).toStdString() +
               " is not writable";
    return {};
}

std::string FileError(const QSaveFile& file) {
    return "cannot write " + QDir::toNativeSeparators(file.fileName()).toStdString() + ": " +
           file.errorString().toStdString();
}

}  // namespace

void PaintPicture(QPainter& p, const QRectF& area, const PictureModel& m, double penWidth,
                  const QPalette* palette) {
    const double w = m.scaleWidth != 0.0 ? m.scaleWidth : 1.0;
    const double h = m.scaleHeight != 0.0 ? m.scaleHeight : 1.0;
    auto at = [&](double x, double y) {
        return QPointF(area.left() + (x - m.scaleLeft) / w * area.width(),
                       area.top() + (y - m.scaleTop) / h * area.height());
    };
    p.save();
    p.setClipRect(area);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    for (const PlotPrimitive& primitive : m.primitives) {
        if (const auto* line = std::get_if<PlotLine>(&primitive)) {
            p.setPen(QPen(PrintColour(line->colour, palette, false), penWidth));
            p.drawLine(at(line->x1, line->y1), at(line->x2, line->y2));
        } else if (const auto* circle = std::get_if<PlotCircle>(&primitive)) {
            p.setPen(QPen(PrintColour(circle->colour, palette, false), penWidth));
            const double r = circle->r / std::fabs(w) * area.width();
            p.drawEllipse(at(circle->x, circle->y), r, r);
        }
    }
    // The key, top left: a stroke of each curve's colour and its name.
    const QFontMetricsF fm(p.font(), p.device());
    const double pad = fm.height() * 0.4;
    double y = area.top() + pad;
    for (const PlotLegend& entry : m.legend) {
        const QColor colour = PrintColour(entry.colour, palette, false);
        p.setPen(QPen(colour, penWidth * 2));
        const double mid = y + fm.height() / 2;
        p.drawLine(QPointF(area.left() + pad, mid), QPointF(area.left() + pad + fm.height(), mid));
        p.setPen(palette ? palette->color(QPalette::Text) : QColor(Qt::black));
        p.drawText(QRectF(area.left() + 2 * pad + fm.height(), y, area.width(), fm.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, Text(entry.text));
        y += fm.height();
    }
    p.restore();
}

bool LetterPaper() {
    return QLocale().measurementSystem() == QLocale::ImperialUSSystem;
}

std::string WriteReportPdf(const ReportContent& report, const QString& path) {
    if (std::string why = FolderOf(path); !why.empty()) return why;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !KeepShareable(file)) return FileError(file);
    std::string drawn;
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(LetterPaper() ? QPageSize::Letter : QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setTitle(Text("T720 linearity report " + report.run.record.serialNumber));
        writer.setCreator(Text("t720 " + report.programVersion));
        QPainter painter;
        if (!painter.begin(&writer)) return "cannot start the PDF: " + FileError(file);
        ReportLayout layout(writer, report);
        drawn = layout.Draw(painter);
        painter.end();
    }
    if (!drawn.empty()) return drawn;
    if (file.error() != QFileDevice::NoError || !file.commit()) return FileError(file);
    return {};
}

std::string WritePlotFile(const ReportRun& run, const QString& path) {
    const bool svg = path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive);
    if (!svg && !path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive))
        return "a plot file ends in .svg or .png";
    if (std::string why = FolderOf(path); !why.empty()) return why;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !KeepShareable(file)) return FileError(file);
    const QSize size(800, 600);
    const Fonts fonts;
    const std::string title = "T720 " + run.record.serialNumber + ", " +
                              LocalTimeText(run.record.utcTime) + ", " +
                              QFileInfo(run.recordPath).fileName().toStdString();
    auto paint = [&](QPainter& p, double unit) {
        const QRectF page(0, 0, size.width(), size.height());
        p.fillRect(page, Qt::white);
        p.setFont(fonts.body);
        p.setPen(Qt::black);
        const double line = QFontMetricsF(fonts.body, p.device()).height();
        const double margin = 12 * unit;
        p.drawText(QRectF(margin, margin, page.width() - 2 * margin, line),
                   Qt::AlignLeft | Qt::AlignVCenter, Text(title));
        PaintFigure(p, page.adjusted(margin, margin + line + 6 * unit, -margin, -margin), run,
                    fonts, unit);
    };
    if (svg) {
        QSvgGenerator generator;
        generator.setOutputDevice(&file);
        generator.setSize(size);
        generator.setViewBox(QRect(QPoint(0, 0), size));
        generator.setResolution(72);
        generator.setTitle(Text(title));
        QPainter p;
        if (!p.begin(&generator)) return "cannot start the SVG: " + FileError(file);
        paint(p, 1.0);
        p.end();
    } else {
        QImage image(size, QImage::Format_RGB32);
        image.setDotsPerMeterX(3780);  // 96 dpi
        image.setDotsPerMeterY(3780);
        QPainter p(&image);
        paint(p, image.logicalDpiX() / 72.0);
        p.end();
        if (!image.save(&file, "PNG")) return FileError(file);
    }
    if (file.error() != QFileDevice::NoError || !file.commit()) return FileError(file);
    return {};
}

}  // namespace t720::linearity
