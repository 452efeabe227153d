#include "gui/print_output.h"

#include <QBuffer>
#include <QFile>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "gui/painter_canvas.h"
#include "gui/qt_ui.h"
#include "platform/files.h"

namespace kvt::gui {

int DrawReport(Report& report, QPainter& painter, QPagedPaintDevice& device, int from, int to) {
  // The device's pixels are the printable page: the painter's origin is its top-left corner.
  PainterCanvas canvas(painter, device.width(), device.height(), device.logicalDpiX());
  int pages = report.Layout(canvas);
  from = std::max(from, 1);
  to = to <= 0 ? pages : std::min(to, pages);
  for (int page = from; page <= to; ++page) {
    if (page > from) device.newPage();
    report.DrawPage(canvas, page);
  }
  return std::max(0, to - from + 1);
}

QPageLayout DefaultPdfLayout(bool landscape) {
  return QPageLayout(QPageSize(QPageSize::A4),
                     landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                     QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter);
}

bool WantsLandscape(Report& report, const QPageLayout& layout, int dpi) {
  switch (report.Orientation()) {
    case PageOrientation::Portrait:
      return false;
    case PageOrientation::Landscape:
      return true;
    case PageOrientation::Automatic:
      break;
  }
  QBuffer scratch;
  scratch.open(QIODevice::WriteOnly);
  QPdfWriter trial(&scratch);
  trial.setResolution(dpi);
  QPageLayout portrait = layout;
  portrait.setOrientation(QPageLayout::Portrait);
  trial.setPageLayout(portrait);
  QPainter painter;
  if (!painter.begin(&trial)) return false;
  PainterCanvas canvas(painter, trial.width(), trial.height(), trial.logicalDpiX());
  report.Layout(canvas);
  painter.end();
  return report.WiderThanPage();
}

PdfResult WritePdf(Report& report, const std::string& path, const QPageLayout& layout, int dpi) {
  PdfResult result;
  OutputFile out;
  if (!out.Open(path)) {
    result.error = "Impossibile creare il file " + path + ": " + std::strerror(errno);
    return result;
  }
  QFile file;
  if (!file.open(out.get(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
    result.error = "Impossibile scrivere il file " + path;
    return result;
  }
  QPdfWriter writer(&file);
  writer.setResolution(dpi);
  writer.setPageLayout(layout);
  writer.setTitle(ToQ(report.Title()));
  writer.setCreator(QStringLiteral("KVT-BASE2"));
  QPainter painter;
  if (!painter.begin(&writer)) {
    result.error = "Impossibile scrivere il file " + path;
    return result;
  }
  result.pages = DrawReport(report, painter, writer, 1, 0);
  const bool ended = painter.end();
  file.close();  // writes what Qt still holds into the stream
  if (result.pages == 0) {  // nothing to print: no file (out discards it)
    result.ok = true;
    return result;
  }
  if (!ended || file.error() != QFileDevice::NoError || !out.Commit()) {
    result.error = "Impossibile scrivere il file " + path + ": " + std::strerror(errno);
    return result;
  }
  result.ok = true;
  return result;
}

PdfResult WriteDefaultPdf(Report& report, const std::string& path) {
  return WritePdf(report, path, DefaultPdfLayout(WantsLandscape(report, DefaultPdfLayout())));
}

}  // namespace kvt::gui
