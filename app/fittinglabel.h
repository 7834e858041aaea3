#pragma once

#include <QLabel>
#include <QString>

// A one-line label made of a lead and a tail, each given whole and in a compact form, that
// never makes its window wider. It shows the longest combination that fits, preferring a
// whole lead; when even both compact forms do not fit, the tail is cut short with "…" so
// that the lead stays whole, and only a label too narrow for the compact lead alone cuts the
// lead. Whatever is left out is in its tool tip.
class FittingLabel : public QLabel {
    Q_OBJECT

public:
    explicit FittingLabel(QWidget* parent = nullptr);

    void setParts(const QString& leadFull, const QString& leadCompact, const QString& tailFull,
                  const QString& tailCompact);
    // The whole text: the whole lead, a gap, the whole tail.
    QString fullText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int textWidth(const QString& text) const;
    void showFitting();

    QString leadFull_, leadCompact_, tailFull_, tailCompact_;
};
