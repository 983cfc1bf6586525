// Icon 128, the program's icon: a sheet of paper with a folded corner and a bold letter A on
// it, and an arrow in the lower right corner: a font on its way to the web. Drawn at whatever
// size is asked for, so every size is sharp.
#include "Shell.h"
#include "resource.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {


void DrawPaper(QPainter& p)
{
    // In a 64 × 64 design grid.
    QPainterPath sheet;
    sheet.moveTo(10, 4);
    sheet.lineTo(40, 4);
    sheet.lineTo(54, 18);
    sheet.lineTo(54, 60);
    sheet.lineTo(10, 60);
    sheet.closeSubpath();
    QLinearGradient paper(0, 4, 0, 60);
    paper.setColorAt(0, QColor(255, 255, 255));
    paper.setColorAt(1, QColor(226, 232, 240));
    p.setPen(QPen(QColor(71, 85, 105), 2.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(paper);
    p.drawPath(sheet);

    QPolygonF fold;
    fold << QPointF(40, 4) << QPointF(40, 18) << QPointF(54, 18);
    p.setBrush(QColor(203, 213, 225));
    p.drawPolygon(fold);
}

void DrawLetter(QPainter& p)
{
    // A heavy sans-serif A: two strokes and a bar, with the counter cut out.
    QPainterPath outer;
    outer.moveTo(15, 52);
    outer.lineTo(26, 17);
    outer.lineTo(34, 17);
    outer.lineTo(45, 52);
    outer.lineTo(37, 52);
    outer.lineTo(34.6, 44);
    outer.lineTo(25.4, 44);
    outer.lineTo(23, 52);
    outer.closeSubpath();
    QPainterPath counter;
    counter.moveTo(27.3, 37.5);
    counter.lineTo(32.7, 37.5);
    counter.lineTo(30, 27.5);
    counter.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 64, 175));
    p.drawPath(outer.subtracted(counter));
}

void DrawArrow(QPainter& p)
{
    QPainterPath disc;
    disc.addEllipse(QPointF(49, 49), 13, 13);
    p.setPen(QPen(QColor(255, 255, 255), 2.0));
    p.setBrush(QColor(234, 88, 12));
    p.drawPath(disc);

    QPolygonF arrow;
    arrow << QPointF(42, 46) << QPointF(49, 46) << QPointF(49, 41) << QPointF(57, 49) << QPointF(49, 57)
          << QPointF(49, 52) << QPointF(42, 52);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255));
    p.drawPolygon(arrow);
}


void DrawMainIcon(QPainter& p, int size)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    DrawPaper(p);
    DrawLetter(p);
    DrawArrow(p);
    p.restore();
}

const IconResourceEntry kMainIcon(IDR_MAINFRAME, &DrawMainIcon);

} // namespace
