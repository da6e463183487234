// Drawing a report: the PDF of a run (ReportContent), the plot alone as SVG or
// PNG, and the plot itself on any painter, which the window's picture box uses
// too. Everything is drawn as vector graphics, so the PDF prints sharp.
#pragma once

#include "linearity/ReportContent.h"
#include "linearity/ResultsControls.h"

#include <QRectF>
#include <QString>
#include <string>

class QPainter;
class QPalette;

namespace t720::linearity {

// The picture's lines, circles and key on its user scale, filling `area`.
// Circles stay round: their radius is measured on the horizontal scale.
// `palette` (the screen's) gives system colours; without it they print black.
void PaintPicture(QPainter& painter, const QRectF& area, const PictureModel& picture,
                  double penWidth, const QPalette* palette = nullptr);

// The paper of this computer's locale: Letter where the US measurement system is
// used, else A4.
bool LetterPaper();

// Writes the report as a PDF at `path`, through a temporary file: a report that
// cannot be written leaves no file behind. The error, "" when written.
std::string WriteReportPdf(const ReportContent& report, const QString& path);

// Writes the run's plot alone (with the earlier run's curve if compared), as SVG
// when `path` ends in ".svg", as PNG when it ends in ".png". The error, "" when
// written.
std::string WritePlotFile(const ReportRun& run, const QString& path);

}  // namespace t720::linearity
