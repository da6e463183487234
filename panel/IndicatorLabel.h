// A one-line label for a text that changes many times a second (the "Data
// transfer:" indicator moves on every pass, 33 times a second): of fixed size (set
// by its owner), so a new text never lays out the status bar again; opaque, so only its own pixels
// are painted; and each of its few texts drawn once into a picture that a paint copies.
#pragma once

#include <QEvent>
#include <QHash>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

namespace t720 {

class IndicatorLabel final : public QLabel {
  public:
    // As wide as the widest of the texts it is to show.
    explicit IndicatorLabel(const QStringList& widest) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setTextFormat(Qt::PlainText);
        int width = 0;
        for (const QString& text : widest)
            width = std::max(width, fontMetrics().horizontalAdvance(text));
        setFixedSize(width + fontMetrics().averageCharWidth(), sizeHint().height());
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        auto shown = drawn_.find(text());
        if (shown == drawn_.end()) {
            if (drawn_.size() > 16) drawn_.clear();  // the indicator has four texts
            QPixmap picture(size() * devicePixelRatio());
            picture.setDevicePixelRatio(devicePixelRatio());
            picture.fill(palette().color(QPalette::Window));
            QPainter p(&picture);
            p.setPen(palette().color(QPalette::WindowText));
            p.setFont(font());
            // On the bottom line of a label made taller beside a note of several lines.
            const QRect line = contentsRect().adjusted(0, height() - sizeHint().height(), 0, 0);
            p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
            shown = drawn_.insert(text(), picture);
        }
        QPainter(this).drawPixmap(0, 0, *shown);
    }
    void resizeEvent(QResizeEvent* event) override {
        drawn_.clear();
        QLabel::resizeEvent(event);
    }
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange ||
            event->type() == QEvent::StyleChange)
            drawn_.clear();
        QLabel::changeEvent(event);
    }

  private:
    QHash<QString, QPixmap> drawn_;
};

}  // namespace t720
