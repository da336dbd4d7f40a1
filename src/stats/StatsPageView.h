#pragma once

#include "ReportModel.h"

#include <QWidget>

// The pages of a prepared report one below the other, as wide as the view
// allows, drawn by the report engine's renderer.  A click on a part of a
// chart that stands for records (a named area or slice) reports its name.
class StatsPageView : public QWidget
{
    Q_OBJECT
public:
    explicit StatsPageView(QWidget* parent = nullptr);

    void SetReport(const Report::PreparedReport& report);
    const Report::PreparedReport& Prepared() const { return m_report; }
    // Fits the pages into this width (the scroll area's viewport).
    void FitWidth(int width);
    // The named part under a point of the view, empty for none.
    QString PartAt(const QPointF& point) const;
    // Where a part is drawn (its first primitive), in view pixels; for tests.
    QRectF PartRect(const QString& name) const;

signals:
    void PartClicked(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    double Scale() const; // pixels per millimetre
    double PageTop(int page) const;

    Report::PreparedReport m_report;
    int m_width = 800;
};
