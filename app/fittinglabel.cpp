#include "app/fittinglabel.h"

#include <QFontMetrics>

namespace {

const QString gap = QStringLiteral("   ");

} // namespace

FittingLabel::FittingLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void FittingLabel::setParts(const QString& leadFull, const QString& leadCompact,
                            const QString& tailFull, const QString& tailCompact) {
    leadFull_ = leadFull;
    leadCompact_ = leadCompact;
    tailFull_ = tailFull;
    tailCompact_ = tailCompact;
    updateGeometry();
    showFitting();
}

QString FittingLabel::fullText() const {
    return leadFull_ + gap + tailFull_;
}

int FittingLabel::textWidth(const QString& text) const {
    const QMargins margins = contentsMargins();
    // A pixel to spare, so that a text measured to fit is not elided by rounding.
    return fontMetrics().horizontalAdvance(text) + margins.left() + margins.right() + 2;
}

QSize FittingLabel::sizeHint() const {
    return QSize(textWidth(fullText()), QLabel::minimumSizeHint().height());
}

QSize FittingLabel::minimumSizeHint() const {
    return QSize(textWidth(QStringLiteral("Mm…")), QLabel::minimumSizeHint().height());
}

void FittingLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    showFitting();
}

void FittingLabel::showFitting() {
    QString shown;
    for (const QString& candidate :
         {fullText(), leadFull_ + gap + tailCompact_, leadCompact_ + gap + tailFull_,
          leadCompact_ + gap + tailCompact_}) {
        if (textWidth(candidate) <= width()) {
            shown = candidate;
            break;
        }
    }
    if (shown.isEmpty()) {
        // The guidance is what a user reads first: it stays whole while there is room for it
        // and the beginning of the tail.
        const QString lead = leadCompact_ + gap;
        const int room = width() - textWidth(lead);
        shown = room >= textWidth(QStringLiteral("Mm…"))
                    ? lead + fontMetrics().elidedText(tailCompact_, Qt::ElideRight, room)
                    : fontMetrics().elidedText(leadCompact_ + gap + tailCompact_, Qt::ElideRight,
                                               width());
    }
    setText(shown);
    setToolTip(shown == fullText() ? QString() : fullText());
}
