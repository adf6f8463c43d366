#include "app/ui/resources/SymbolImage.hpp"
#include "app/ui/Appearance.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

#include <functional>
#include <map>

namespace vorla::app {

namespace {

constexpr double grid = 24.0;

// Every symbol is a filled path on the 24 x 24 grid; strokes are turned into outlines first so
// that cut-outs (the cross of "xmark.circle.fill", the flap of "mail.fill") can be subtracted.
QPainterPath outline(const QPainterPath& path, double width) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(path);
}

QPainterPath circle(QPointF centre, double radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath line(QPointF from, QPointF to) {
    QPainterPath path(from);
    path.lineTo(to);
    return path;
}

QPainterPath polyline(std::initializer_list<QPointF> points, bool closed) {
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    if (closed) {
        path.closeSubpath();
    }
    return path;
}

QPainterPath circleFill() {
    return circle({12, 12}, 10);
}

QPainterPath xmarkCircleFill() {
    QPainterPath cross = line({8.5, 8.5}, {15.5, 15.5});
    cross.addPath(line({15.5, 8.5}, {8.5, 15.5}));
    return circleFill().subtracted(outline(cross, 2.2));
}

QPainterPath infoCircle() {
    QPainterPath path = outline(circle({12, 12}, 9.5), 1.8);
    path.addPath(circle({12, 7.6}, 1.3));
    path.addPath(outline(line({12, 11}, {12, 17}), 2.0));
    return path;
}

QPainterPath map() {
    QPainterPath folds = polyline(
        {{3, 6}, {9, 3.5}, {15, 6}, {21, 3.5}, {21, 18}, {15, 20.5}, {9, 18}, {3, 20.5}}, true);
    folds.addPath(line({9, 3.5}, {9, 18}));
    folds.addPath(line({15, 6}, {15, 20.5}));
    return outline(folds, 1.7);
}

QPainterPath puzzlepieceExtension() {
    QPainterPath piece;
    piece.addRoundedRect(QRectF(3, 8, 14, 14), 2, 2);
    piece = piece.united(circle({10, 5.5}, 3.2)).united(circle({19.5, 15}, 3.2));
    // A notch on the left side, where the neighbouring piece's knob fits.
    return piece.subtracted(circle({3, 15}, 2.6));
}

QPainterPath ladybugFill() {
    QPainterPath legs;
    for (const double y : {10.0, 14.0, 18.0}) {
        legs.addPath(line({2.5, y - 1.5}, {6, y}));
        legs.addPath(line({21.5, y - 1.5}, {18, y}));
    }
    QPainterPath bug = outline(legs, 1.5);
    bug.addPath(circle({12, 6}, 3.5));
    QPainterPath body;
    body.addEllipse(QPointF(12, 14.5), 7, 7.5);
    body = body.subtracted(outline(line({12, 8}, {12, 22}), 1.2));
    for (const QPointF spot : {QPointF(9, 12), QPointF(15, 12), QPointF(9, 17), QPointF(15, 17)}) {
        body = body.subtracted(circle(spot, 1.3));
    }
    bug.addPath(body);
    return bug.simplified();
}

QPainterPath mailFill() {
    QPainterPath envelope;
    envelope.addRoundedRect(QRectF(2.5, 5, 19, 14), 2, 2);
    return envelope.subtracted(outline(polyline({{3.5, 6.5}, {12, 13}, {20.5, 6.5}}, false), 1.4));
}

// A shield that holds three log lines: what the app looks after.
QPainterPath vorlaMenu() {
    QPainterPath shield;
    shield.moveTo(12, 1.5);
    shield.lineTo(20.5, 4.5);
    shield.lineTo(20.5, 11);
    shield.cubicTo(20.5, 16.5, 16.5, 20.5, 12, 22.5);
    shield.cubicTo(7.5, 20.5, 3.5, 16.5, 3.5, 11);
    shield.lineTo(3.5, 4.5);
    shield.closeSubpath();
    QPainterPath lines = line({8, 8.5}, {16, 8.5});
    lines.addPath(line({8, 12}, {16, 12}));
    lines.addPath(line({9.5, 15.5}, {14.5, 15.5}));
    return shield.subtracted(outline(lines, 1.6));
}

const std::map<std::string_view, std::function<QPainterPath()>>& symbols() {
    static const std::map<std::string_view, std::function<QPainterPath()>> table{
        {"circle.fill", circleFill},
        {"xmark.circle.fill", xmarkCircleFill},
        {"info.circle", infoCircle},
        {"map", map},
        {"puzzlepiece.extension", puzzlepieceExtension},
        {"ladybug.fill", ladybugFill},
        {"mail.fill", mailFill},
        {"vorla.menu", vorlaMenu},
    };
    return table;
}

} // namespace

void drawSymbol(QPainter& painter, std::string_view name, const QRectF& box, const QColor& color) {
    const auto found = symbols().find(name);
    if (found == symbols().end()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.topLeft());
    painter.scale(box.width() / grid, box.height() / grid);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPath(found->second());
    painter.restore();
}

QPixmap symbolImage(std::string_view name, int size, const QColor& color, qreal devicePixelRatio) {
    const int pixels = qRound(size * devicePixelRatio);
    QPixmap image(pixels, pixels);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawSymbol(painter, name, QRectF(0, 0, pixels, pixels), color);
    painter.end();
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

QIcon menuBarImage() {
    // Blue keeps the shield readable on light and dark panels alike.
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0}) {
        icon.addPixmap(symbolImage("vorla.menu", 22, systemBlue(), ratio));
    }
    return icon;
}

} // namespace vorla::app
